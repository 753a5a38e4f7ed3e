#include "framework/device_handler.h"

#include "base/utils.h"
#include "base/xml_utils.h"
#include "framework/channel_registry.h"
#include "framework/io_handler.h"
#include "platform/error.h"

namespace qv::framework {

namespace {

using base::tQV_XMLUtils;

// The connection types by the names the device XML writes; reading accepts any letter case.
struct ConnectionTypeName {
  const char* name;
  qvConnectionType value;
};

constexpr ConnectionTypeName kConnectionTypes[] = {
    {"OPOS", qvConnectionType::OPOS},  {"TCP", qvConnectionType::TCP},
    {"HTTP", qvConnectionType::HTTP},  {"SERIAL", qvConnectionType::Serial},
    {"DLL", qvConnectionType::DLL},    {"COM", qvConnectionType::Com},
    {"SPOOL", qvConnectionType::Spool}};

bool IsNameStartChar(unsigned char aChar) {
  // Bytes of multi-byte UTF-8 sequences are letters of other scripts as far as this check
  // goes; the ASCII part follows the XML name rules.
  return (aChar >= 'A' && aChar <= 'Z') || (aChar >= 'a' && aChar <= 'z') || aChar == '_' ||
         aChar == ':' || aChar >= 0x80;
}

bool IsNameChar(unsigned char aChar) {
  return IsNameStartChar(aChar) || (aChar >= '0' && aChar <= '9') || aChar == '-' || aChar == '.';
}

// pugixml writes any name it is given; a document with a bad element name would be
// unreadable for the receipt-printer driver, so such a name fails here.
void CheckElementName(const std::string& aName) {
  bool valid = !aName.empty() && IsNameStartChar(static_cast<unsigned char>(aName[0]));
  for (std::size_t i = 1; valid && i < aName.size(); ++i) {
    valid = IsNameChar(static_cast<unsigned char>(aName[i]));
  }
  if (!valid) throw Error("The name '" + aName + "' is not a valid XML element name");
}

std::string ParameterName(const std::string& aEntry) { return aEntry.substr(0, aEntry.find('=')); }

std::string ParameterValue(const std::string& aEntry) {
  const std::size_t separator = aEntry.find('=');
  return separator == std::string::npos ? std::string() : aEntry.substr(separator + 1);
}

void AddInteger(pugi::xml_node aParent, const char* aName, int32_t aValue) {
  tQV_XMLUtils::AddNode(aParent, aName, std::to_string(aValue));
}

void WriteConnection(pugi::xml_node aParent, const kConnection& aConnection) {
  pugi::xml_node node = tQV_XMLUtils::AddNode(aParent, "Connection", "");
  tQV_XMLUtils::AddNode(node, "Type",
                        kConnection::ConnectionTypeToString(aConnection.ConnectionType()));
  AddInteger(node, "ConnectTimeout", aConnection.ConnectTimeOut());
  AddInteger(node, "ReadTimeout", aConnection.ReadTimeOut());
  tQV_XMLUtils::AddNode(node, "Address", aConnection.Address());
  AddInteger(node, "Port", aConnection.Port());
  tQV_XMLUtils::AddNode(node, "URL", aConnection.URL());
  tQV_XMLUtils::AddNode(node, "AuthType", kConnection::AuthTypeToString(aConnection.AuthType()));
  tQV_XMLUtils::AddNode(node, "User", aConnection.User());
  tQV_XMLUtils::AddNode(node, "Password", aConnection.Password());
  tQV_XMLUtils::AddNode(node, "SerialPort", aConnection.SerialPort());
  AddInteger(node, "Speed", aConnection.Speed());
  AddInteger(node, "DataBits", aConnection.DataBits());
  tQV_XMLUtils::AddNode(node, "Parity", kConnection::ParityToString(aConnection.Parity()));
  AddInteger(node, "StopBits", aConnection.StopBits());
  tQV_XMLUtils::AddNode(node, "DeviceName", aConnection.DeviceName());
  tQV_XMLUtils::AddNode(node, "LibraryName", aConnection.LibraryName());
  tQV_XMLUtils::AddNode(node, "PrinterName", aConnection.PrinterName());
}

// The network and HTTP settings, read by the TCP, HTTP and serial connection types.
void ReadNetworkSettings(const pugi::xml_node& aNode, kConnection& aConnection) {
  aConnection.SetURL(tQV_XMLUtils::GetNodeValueAsString(aNode, "URL"));
  aConnection.SetAuthType(
      kConnection::ConvertAuthType(tQV_XMLUtils::GetNodeValueAsString(aNode, "AuthType")));
  aConnection.SetUser(tQV_XMLUtils::GetNodeValueAsString(aNode, "User"));
  aConnection.SetPassword(tQV_XMLUtils::GetNodeValueAsString(aNode, "Password"));
}

}  // namespace

// ---------------------------------------------------------------------------------------
// kConnection

qvConnectionType kConnection::ConvertConnectionType(const std::string& aString) {
  for (const ConnectionTypeName& type : kConnectionTypes) {
    if (base::SameText(aString, type.name)) return type.value;
  }
  throw Error("Connection Type " + aString + " is not valid");
}

std::string kConnection::ConnectionTypeToString(qvConnectionType aValue) {
  for (const ConnectionTypeName& type : kConnectionTypes) {
    if (type.value == aValue) return type.name;
  }
  return std::string();
}

qvParity kConnection::ConvertParity(const std::string& aString) {
  const std::string lower = base::LowerCase(aString);
  if (lower == "none") return qvParity::None;
  if (lower == "even") return qvParity::Even;
  if (lower == "odd") return qvParity::Odd;
  throw Error("Connection Parity " + aString + " is not valid");
}

std::string kConnection::ParityToString(qvParity aValue) {
  switch (aValue) {
    case qvParity::None:
      return "NONE";
    case qvParity::Even:
      return "EVEN";
    case qvParity::Odd:
      return "ODD";
  }
  return std::string();
}

qvHTTPAuthType kConnection::ConvertAuthType(const std::string& aString) {
  const std::string lower = base::LowerCase(aString);
  if (lower == "basic") return at_Basic;
  if (lower == "digest") return at_Digest;
  if (lower == "bearer") return at_Bearer;
  return at_None;
}

std::string kConnection::AuthTypeToString(qvHTTPAuthType aValue) {
  switch (aValue) {
    case at_None:
      return "NONE";
    case at_Basic:
      return "BASIC";
    case at_Digest:
      return "DIGEST";
    case at_Bearer:
      return "BEARER";
  }
  return std::string();
}

void kConnection::SetConnectTimeOut(int32_t aValue) {
  if (aValue > 0) fConnectTimeout = aValue;
}

void kConnection::SetReadTimeOut(int32_t aValue) {
  if (aValue > 0) fReadTimeout = aValue;
}

// ---------------------------------------------------------------------------------------
// kDeviceHandler: parameters

int kDeviceHandler::FindParameter(const std::string& aName) const {
  for (std::size_t i = 0; i < fParameters.size(); ++i) {
    if (base::SameText(ParameterName(fParameters[i]), aName)) return static_cast<int>(i);
  }
  return -1;
}

std::string kDeviceHandler::GetParameter(const std::string& aName) const {
  const int index = FindParameter(aName);
  return index < 0 ? std::string() : ParameterValue(fParameters[index]);
}

bool kDeviceHandler::ParameterExists(const std::string& aName) const {
  return FindParameter(aName) >= 0;
}

void kDeviceHandler::SetParameter(const std::string& aName, const std::string& aValue) {
  const int index = FindParameter(aName);
  if (aValue.empty()) {
    if (index >= 0) fParameters.erase(fParameters.begin() + index);
  } else if (index >= 0) {
    fParameters[index] = aName + "=" + aValue;
  } else {
    fParameters.push_back(aName + "=" + aValue);
  }
}

// ---------------------------------------------------------------------------------------
// kDeviceHandler: device XML

std::string kDeviceHandler::Serialize() const {
  pugi::xml_document document;
  pugi::xml_node declaration = document.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "utf-8";
  AppendDeviceElement(document);
  // A value holding a CR must read back with it, not as LF (a CR alone not as nothing).
  return base::RenderXmlExactly(document);
}

pugi::xml_node kDeviceHandler::AppendDeviceElement(pugi::xml_node aParent) const {
  pugi::xml_node root = aParent.append_child("ReceiptPrinterManager");
  root.append_attribute("Version") = "1.0";

  tQV_XMLUtils::AddNode(root, "Type", fType);
  tQV_XMLUtils::AddNode(root, "Driver", fDriver);
  tQV_XMLUtils::AddNode(root, "Method", fMethod);
  tQV_XMLUtils::AddNode(root, "LogId", fLogId);
  if (base::LowerCase(fMethod) != "open") AddInteger(root, "Handle", fDeviceHandle);
  WriteConnection(root, fConnection);
  pugi::xml_node parameters = tQV_XMLUtils::AddNode(root, "Parameters", "");
  for (const std::string& entry : fParameters) {
    const std::string name = ParameterName(entry);
    CheckElementName(name);
    tQV_XMLUtils::AddNode(parameters, name, ParameterValue(entry));
  }
  return root;
}

std::unique_ptr<pugi::xml_document> kDeviceHandler::Deserialize(const std::string& aXml) {
  auto document = std::make_unique<pugi::xml_document>();
  base::ParseXml(*document, aXml);
  Read(document->document_element());
  return document;
}

void kDeviceHandler::Read(const pugi::xml_node& aRoot) {
  ReadDeviceValues(aRoot);
  if (tQV_XMLUtils::HasNode(aRoot, "Connection"))
    ReadConnection(base::FindChild(aRoot, "Connection"));
  ReadParameterList(aRoot);
}

void kDeviceHandler::ReadDeviceValues(const pugi::xml_node& aRoot) {
  fType = tQV_XMLUtils::GetNodeValueAsString(aRoot, "Type");
  fDriver = tQV_XMLUtils::GetNodeValueAsString(aRoot, "Driver");
  fMethod = tQV_XMLUtils::GetNodeValueAsString(aRoot, "Method");
  fDeviceHandle = tQV_XMLUtils::GetNodeValueAsInteger(aRoot, "Handle");
  fLogId = tQV_XMLUtils::GetNodeValueAsString(aRoot, "LogId");
}

void kDeviceHandler::ReadParameterList(const pugi::xml_node& aRoot) {
  if (tQV_XMLUtils::HasNode(aRoot, "Parameters"))
    ReadParameters(base::FindChild(aRoot, "Parameters"));
  if (ParameterExists("DeviceName")) fConnection.SetDeviceName(GetParameter("DeviceName"));
  if (ParameterExists("ConnectTimeout")) {
    fConnection.SetConnectTimeOut(base::StrToInt(GetParameter("ConnectTimeout")));
  }
}

void kDeviceHandler::ReadConnection(const pugi::xml_node& aNode) {
  fConnection.SetConnectionType(
      kConnection::ConvertConnectionType(tQV_XMLUtils::GetNodeValueAsString(aNode, "Type")));
  fConnection.SetConnectTimeOut(tQV_XMLUtils::GetNodeValueAsInteger(aNode, "ConnectTimeout"));
  fConnection.SetReadTimeOut(tQV_XMLUtils::GetNodeValueAsInteger(aNode, "ReadTimeout"));

  switch (fConnection.ConnectionType()) {
    case qvConnectionType::OPOS:
      fConnection.SetDeviceName(tQV_XMLUtils::GetNodeValueAsString(aNode, "DeviceName"));
      break;
    case qvConnectionType::TCP:
    case qvConnectionType::HTTP:
      fConnection.SetAddress(tQV_XMLUtils::GetNodeValueAsString(aNode, "Address"));
      fConnection.SetPort(tQV_XMLUtils::GetNodeValueAsInteger(aNode, "Port"));
      ReadNetworkSettings(aNode, fConnection);
      break;
    case qvConnectionType::Serial:
      fConnection.SetSerialPort(tQV_XMLUtils::GetNodeValueAsString(aNode, "SerialPort"));
      fConnection.SetSpeed(tQV_XMLUtils::GetNodeValueAsInteger(aNode, "Speed"));
      fConnection.SetDataBits(tQV_XMLUtils::GetNodeValueAsInteger(aNode, "DataBits"));
      fConnection.SetParity(
          kConnection::ConvertParity(tQV_XMLUtils::GetNodeValueAsString(aNode, "Parity")));
      fConnection.SetStopBits(tQV_XMLUtils::GetNodeValueAsInteger(aNode, "StopBits"));
      ReadNetworkSettings(aNode, fConnection);
      break;
    case qvConnectionType::DLL:
      fConnection.SetLibraryName(tQV_XMLUtils::GetNodeValueAsString(aNode, "LibraryName"));
      break;
    case qvConnectionType::Com:
      break;
    case qvConnectionType::Spool:
      fConnection.SetPrinterName(tQV_XMLUtils::GetNodeValueAsString(aNode, "PrinterName"));
      break;
  }
}

std::unique_ptr<kIOHandler> kDeviceHandler::CreateIOHandler(const std::string& aLogDir) const {
  std::unique_ptr<kIOHandler> channel = NewChannel(fConnection, aLogDir, fDriver + "_" + fLogId);
  channel->SetHexLog(base::LowerCase(GetParameter("HexLog")) == "true");
  return channel;
}

// Each child becomes "<name in lower case>=<text of the first child of that name>"; entries
// already in the list stay.
void kDeviceHandler::ReadParameters(const pugi::xml_node& aParameters) {
  for (const pugi::xml_node& child : aParameters.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string name = child.name();
    fParameters.push_back(base::LowerCase(name) + "=" +
                          tQV_XMLUtils::GetNodeValueAsString(aParameters, name));
  }
}

}  // namespace qv::framework
