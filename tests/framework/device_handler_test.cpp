#include "framework/device_handler.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/xml_utils.h"
#include "platform/error.h"

namespace qv::framework {
namespace {

std::string ErrorOf(const std::function<void()>& aAction) {
  try {
    aAction();
  } catch (const Error& error) {
    return error.what();
  }
  return "<no error>";
}

// A device document with the given Connection element content (none when empty).
std::string DeviceXml(const std::string& aConnection, const std::string& aParameters = "") {
  std::string xml =
      "<Request><Type>FISCALPRINTER</Type><Driver>DRV</Driver>"
      "<Method>PRINTFR</Method><Handle>7</Handle><LogId>A1</LogId>";
  if (!aConnection.empty()) xml += "<Connection>" + aConnection + "</Connection>";
  if (!aParameters.empty()) xml += "<Parameters>" + aParameters + "</Parameters>";
  return xml + "</Request>";
}

// ----- kConnection

TEST(Connection, StartsWithOposAndOneSecondTimeOuts) {
  kConnection connection;
  EXPECT_EQ(connection.ConnectionType(), qvConnectionType::OPOS);
  EXPECT_EQ(connection.ConnectTimeOut(), 1000);
  EXPECT_EQ(connection.ReadTimeOut(), 1000);
  EXPECT_EQ(connection.Parity(), qvParity::None);
  EXPECT_EQ(connection.AuthType(), at_None);
  EXPECT_EQ(connection.Port(), 0);
}

TEST(Connection, TimeOutsIgnoreZeroAndNegativeValues) {
  kConnection connection;
  connection.SetConnectTimeOut(0);
  connection.SetReadTimeOut(-5);
  EXPECT_EQ(connection.ConnectTimeOut(), 1000);
  EXPECT_EQ(connection.ReadTimeOut(), 1000);
  connection.SetConnectTimeOut(3000);
  connection.SetReadTimeOut(250);
  EXPECT_EQ(connection.ConnectTimeOut(), 3000);
  EXPECT_EQ(connection.ReadTimeOut(), 250);
}

TEST(Connection, ConnectionTypeTextsInAnyLetterCase) {
  EXPECT_EQ(kConnection::ConvertConnectionType("Tcp"), qvConnectionType::TCP);
  EXPECT_EQ(kConnection::ConvertConnectionType("OPOS"), qvConnectionType::OPOS);
  EXPECT_EQ(kConnection::ConvertConnectionType("http"), qvConnectionType::HTTP);
  EXPECT_EQ(kConnection::ConvertConnectionType("Serial"), qvConnectionType::Serial);
  EXPECT_EQ(kConnection::ConvertConnectionType("dll"), qvConnectionType::DLL);
  EXPECT_EQ(kConnection::ConvertConnectionType("COM"), qvConnectionType::Com);
  EXPECT_EQ(kConnection::ConvertConnectionType("sPOOL"), qvConnectionType::Spool);
  const std::vector<std::string> texts{"OPOS", "TCP", "HTTP", "SERIAL", "DLL", "COM", "SPOOL"};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(kConnection::ConnectionTypeToString(static_cast<qvConnectionType>(i)), texts[i]);
    EXPECT_EQ(kConnection::ConvertConnectionType(texts[i]), static_cast<qvConnectionType>(i));
  }
}

TEST(Connection, UnknownConnectionTypeNamesTheTextAsGiven) {
  EXPECT_EQ(ErrorOf([] { kConnection::ConvertConnectionType("tcp/ip"); }),
            "Connection Type tcp/ip is not valid");
  EXPECT_EQ(ErrorOf([] { kConnection::ConvertConnectionType("USB"); }),
            "Connection Type USB is not valid");
  EXPECT_EQ(ErrorOf([] { kConnection::ConvertConnectionType(""); }),
            "Connection Type  is not valid");
}

TEST(Connection, ParityTexts) {
  EXPECT_EQ(kConnection::ConvertParity("None"), qvParity::None);
  EXPECT_EQ(kConnection::ConvertParity("EVEN"), qvParity::Even);
  EXPECT_EQ(kConnection::ConvertParity("odd"), qvParity::Odd);
  EXPECT_EQ(kConnection::ParityToString(qvParity::None), "NONE");
  EXPECT_EQ(kConnection::ParityToString(qvParity::Even), "EVEN");
  EXPECT_EQ(kConnection::ParityToString(qvParity::Odd), "ODD");
  EXPECT_EQ(ErrorOf([] { kConnection::ConvertParity("Mark"); }),
            "Connection Parity Mark is not valid");
  EXPECT_EQ(ErrorOf([] { kConnection::ConvertParity(""); }), "Connection Parity  is not valid");
}

TEST(Connection, AuthenticationTextsNeverFail) {
  EXPECT_EQ(kConnection::ConvertAuthType("Basic"), at_Basic);
  EXPECT_EQ(kConnection::ConvertAuthType("DIGEST"), at_Digest);
  EXPECT_EQ(kConnection::ConvertAuthType("bearer"), at_Bearer);
  EXPECT_EQ(kConnection::ConvertAuthType("none"), at_None);
  EXPECT_EQ(kConnection::ConvertAuthType("kerberos"), at_None);
  EXPECT_EQ(kConnection::ConvertAuthType(""), at_None);
  EXPECT_EQ(kConnection::AuthTypeToString(at_None), "NONE");
  EXPECT_EQ(kConnection::AuthTypeToString(at_Basic), "BASIC");
  EXPECT_EQ(kConnection::AuthTypeToString(at_Digest), "DIGEST");
  EXPECT_EQ(kConnection::AuthTypeToString(at_Bearer), "BEARER");
}

// ----- parameters

TEST(DeviceParameters, NamesCompareWithoutLetterCase) {
  kDeviceHandler device;
  device.SetParameter("HexLog", "true");
  EXPECT_TRUE(device.ParameterExists("hexlog"));
  EXPECT_TRUE(device.ParameterExists("HEXLOG"));
  EXPECT_EQ(device.GetParameter("hexLOG"), "true");
  EXPECT_FALSE(device.ParameterExists("Hex"));
  EXPECT_EQ(device.GetParameter("Missing"), "");
}

TEST(DeviceParameters, SetReplacesInPlaceWithItsOwnLetterCase) {
  kDeviceHandler device;
  device.SetParameter("Protocol", "GENERIC");
  device.SetParameter("LineLength", "42");
  device.SetParameter("HexLog", "false");
  device.SetParameter("LINELENGTH", "48");
  EXPECT_EQ(device.Parameters(),
            (std::vector<std::string>{"Protocol=GENERIC", "LINELENGTH=48", "HexLog=false"}));
}

TEST(DeviceParameters, EmptyValueRemovesTheFirstEntry) {
  kDeviceHandler device;
  device.SetParameter("LineLength", "42");
  device.SetParameter("Other", "1");
  device.SetParameter("linelength", "");
  EXPECT_EQ(device.Parameters(), std::vector<std::string>{"Other=1"});
  device.SetParameter("NotThere", "");
  EXPECT_EQ(device.Parameters(), std::vector<std::string>{"Other=1"});
}

TEST(DeviceParameters, ValueIsEverythingAfterTheFirstEqualsSign) {
  kDeviceHandler device;
  device.SetParameter("Header", "a=b=c");
  EXPECT_EQ(device.GetParameter("header"), "a=b=c");
}

// ----- Serialize

kDeviceHandler& ReceiptPrinterDevice(kDeviceHandler& aDevice) {
  aDevice.SetType("FISCALPRINTER");
  aDevice.SetDriver("QVRP_GENERIC_10");
  aDevice.SetMethod("OPEN");
  aDevice.SetLogId("A1");
  aDevice.Connection().SetConnectionType(qvConnectionType::Com);
  aDevice.SetParameter("Protocol", "GENERIC");
  aDevice.SetParameter("LineLength", "42");
  aDevice.SetParameter("HexLog", "false");
  aDevice.SetParameter("GetReceiptText", "true");
  return aDevice;
}

TEST(DeviceXml, ReceiptPrinterDocumentHasEveryElementInOrder) {
  kDeviceHandler device;
  EXPECT_EQ(ReceiptPrinterDevice(device).Serialize(),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
            "<ReceiptPrinterManager Version=\"1.0\">"
            "<Type>FISCALPRINTER</Type><Driver>QVRP_GENERIC_10</Driver><Method>OPEN</Method>"
            "<LogId>A1</LogId>"
            "<Connection><Type>COM</Type><ConnectTimeout>1000</ConnectTimeout>"
            "<ReadTimeout>1000</ReadTimeout><Address/><Port>0</Port><URL/>"
            "<AuthType>NONE</AuthType><User/><Password/><SerialPort/><Speed>0</Speed>"
            "<DataBits>0</DataBits><Parity>NONE</Parity><StopBits>0</StopBits><DeviceName/>"
            "<LibraryName/><PrinterName/></Connection>"
            "<Parameters><Protocol>GENERIC</Protocol><LineLength>42</LineLength>"
            "<HexLog>false</HexLog><GetReceiptText>true</GetReceiptText></Parameters>"
            "</ReceiptPrinterManager>");
}

TEST(DeviceXml, HandleIsWrittenUnlessTheMethodIsOpen) {
  for (const char* method : {"OPEN", "Open", "open"}) {
    kDeviceHandler device;
    device.SetMethod(method);
    device.SetDeviceHandle(5);
    EXPECT_EQ(device.Serialize().find("<Handle>"), std::string::npos) << method;
  }
  kDeviceHandler printing;
  printing.SetMethod("PRINTFR");
  printing.SetDeviceHandle(5);
  EXPECT_NE(printing.Serialize().find("<LogId/><Handle>5</Handle><Connection>"), std::string::npos);
  kDeviceHandler noMethod;
  EXPECT_NE(noMethod.Serialize().find("<Method/><LogId/><Handle>0</Handle>"), std::string::npos);
}

TEST(DeviceXml, TextsAreEscaped) {
  kDeviceHandler device;
  device.SetType("A<B&C");
  device.SetParameter("Header", "x>y");
  const std::string xml = device.Serialize();
  EXPECT_NE(xml.find("<Type>A&lt;B&amp;C</Type>"), std::string::npos);
  kDeviceHandler copy;
  copy.Deserialize(xml);
  EXPECT_EQ(copy.Type(), "A<B&C");
  EXPECT_EQ(copy.GetParameter("header"), "x>y");
}

// Values read back as they were, also those made of line ends, blanks and tabs alone.
TEST(DeviceXml, EveryValueReadsBackAsItWas) {
  const std::vector<std::string> values = {"a\rb", "\r", "x\r\ny", "\r\n",   "\n\r",  "a\nb",  " ",
                                           "  \t", "\t", " lead",  "trail ", "\x01z", "<&>\"'"};
  kDeviceHandler device;
  device.SetType("Type\rwith CR");
  for (std::size_t i = 0; i < values.size(); ++i) {
    device.SetParameter("P" + std::to_string(i), values[i]);
  }
  const std::string xml = device.Serialize();
  EXPECT_EQ(xml.find('\r'), std::string::npos) << xml;
  EXPECT_NE(xml.find("<P1>&#13;</P1>"), std::string::npos) << xml;
  kDeviceHandler copy;
  copy.Deserialize(xml);
  EXPECT_EQ(copy.Type(), "Type\rwith CR");
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(copy.GetParameter("P" + std::to_string(i)), values[i]) << i;
  }
  // The copy writes the same values again.
  kDeviceHandler second;
  second.Deserialize(copy.Serialize());
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(second.GetParameter("P" + std::to_string(i)), values[i]) << i;
  }
}

// The receipt printer is handed the device element built in its request document; it must
// read exactly as the device XML does.
TEST(DeviceXml, AppendedDeviceElementIsTheSerializedOne) {
  kDeviceHandler device;
  device.SetType("FISCALPRINTER");
  device.SetMethod("PRINTFR");
  device.SetDeviceHandle(12);
  device.Connection().SetConnectionType(qvConnectionType::Com);
  const std::vector<std::string> values = {"text", "52", "a\rb", "x\r\ny", " ", "<&>\"'", ""};
  for (std::size_t i = 0; i < values.size(); ++i) {
    device.SetParameter("P" + std::to_string(i), values[i]);
  }
  pugi::xml_document serialized;
  base::ParseXml(serialized, device.Serialize());
  pugi::xml_document appended;
  const pugi::xml_node root = device.AppendDeviceElement(appended);
  EXPECT_STREQ(root.name(), "ReceiptPrinterManager");
  EXPECT_EQ(base::RenderXml(appended), base::RenderXml(serialized.document_element()));
  EXPECT_STREQ(root.child("Parameters").child_value("P2"), "a\rb");
  EXPECT_STREQ(root.child_value("Handle"), "12");
}

TEST(DeviceXml, ParameterNameThatIsNoElementNameFails) {
  kDeviceHandler device;
  device.SetParameter("Line Length", "42");
  EXPECT_EQ(ErrorOf([&] { device.Serialize(); }),
            "The name 'Line Length' is not a valid XML element name");
  kDeviceHandler digit;
  digit.SetParameter("1st", "x");
  EXPECT_THROW(digit.Serialize(), Error);
}

TEST(DeviceXml, RoundTripKeepsValuesAndLowerCasesParameterNames) {
  kDeviceHandler device;
  ReceiptPrinterDevice(device).SetMethod("PRINTFR");
  device.SetDeviceHandle(12);
  kDeviceHandler copy;
  copy.Deserialize(device.Serialize());
  EXPECT_EQ(copy.Type(), "FISCALPRINTER");
  EXPECT_EQ(copy.Driver(), "QVRP_GENERIC_10");
  EXPECT_EQ(copy.Method(), "PRINTFR");
  EXPECT_EQ(copy.DeviceHandle(), 12);
  EXPECT_EQ(copy.LogId(), "A1");
  EXPECT_EQ(copy.Connection().ConnectionType(), qvConnectionType::Com);
  EXPECT_EQ(copy.Parameters(), (std::vector<std::string>{"protocol=GENERIC", "linelength=42",
                                                         "hexlog=false", "getreceipttext=true"}));
  EXPECT_NE(copy.Serialize().find("<Parameters><protocol>GENERIC</protocol><linelength>"),
            std::string::npos);
}

// ----- Deserialize

TEST(DeviceXml, ReadsAnyRootAndHandsTheDocumentBack) {
  kDeviceHandler device;
  auto document = device.Deserialize(DeviceXml(""));
  ASSERT_NE(document, nullptr);
  EXPECT_STREQ(document->document_element().name(), "Request");
  EXPECT_EQ(device.Type(), "FISCALPRINTER");
  EXPECT_EQ(device.Driver(), "DRV");
  EXPECT_EQ(device.Method(), "PRINTFR");
  EXPECT_EQ(device.DeviceHandle(), 7);
  EXPECT_EQ(device.LogId(), "A1");
}

TEST(DeviceXml, WithoutConnectionTheDefaultsStay) {
  kDeviceHandler device;
  device.Deserialize("<X><Type>T</Type></X>");
  EXPECT_EQ(device.Connection().ConnectionType(), qvConnectionType::OPOS);
  EXPECT_EQ(device.Connection().ConnectTimeOut(), 1000);
  EXPECT_EQ(device.Connection().ReadTimeOut(), 1000);
  EXPECT_EQ(device.DeviceHandle(), 0);
  EXPECT_EQ(device.Method(), "");
}

TEST(DeviceXml, TimeOutsOnlyTakePositiveValues) {
  kDeviceHandler zero;
  zero.Deserialize(
      DeviceXml("<Type>Com</Type><ReadTimeout>0</ReadTimeout>"
                "<ConnectTimeout>-5</ConnectTimeout>"));
  EXPECT_EQ(zero.Connection().ReadTimeOut(), 1000);
  EXPECT_EQ(zero.Connection().ConnectTimeOut(), 1000);
  kDeviceHandler set;
  set.Deserialize(
      DeviceXml("<Type>Com</Type><ReadTimeout>250</ReadTimeout>"
                "<ConnectTimeout>3000</ConnectTimeout>"));
  EXPECT_EQ(set.Connection().ReadTimeOut(), 250);
  EXPECT_EQ(set.Connection().ConnectTimeOut(), 3000);
}

TEST(DeviceXml, ConnectionTypeFailures) {
  kDeviceHandler device;
  EXPECT_EQ(ErrorOf([&] { device.Deserialize(DeviceXml("<Type>tcp/ip</Type>")); }),
            "Connection Type tcp/ip is not valid");
  EXPECT_EQ(ErrorOf([&] { device.Deserialize(DeviceXml("<Port>1</Port>")); }),
            "Connection Type  is not valid");
}

TEST(DeviceXml, TcpReadsNetworkElementsOnly) {
  kDeviceHandler device;
  device.Deserialize(DeviceXml(
      "<Type>Tcp</Type><Address>localhost</Address><Port>5001</Port><URL>u</URL>"
      "<AuthType>kerberos</AuthType><User>me</User><Password>pw</Password>"
      "<SerialPort>COM1</SerialPort><DeviceName>FP</DeviceName><PrinterName>P</PrinterName>"));
  const kConnection& connection = device.Connection();
  EXPECT_EQ(connection.ConnectionType(), qvConnectionType::TCP);
  EXPECT_EQ(connection.Address(), "localhost");
  EXPECT_EQ(connection.Port(), 5001);
  EXPECT_EQ(connection.URL(), "u");
  EXPECT_EQ(connection.AuthType(), at_None);
  EXPECT_EQ(connection.User(), "me");
  EXPECT_EQ(connection.Password(), "pw");
  EXPECT_EQ(connection.SerialPort(), "");
  EXPECT_EQ(connection.DeviceName(), "");
  EXPECT_EQ(connection.PrinterName(), "");
}

TEST(DeviceXml, SerialReadsLineSettingsAndKeepsTheHttpOnes) {
  kDeviceHandler device;
  device.Deserialize(
      DeviceXml("<Type>SERIAL</Type><SerialPort>COM3</SerialPort><Speed>9600</Speed>"
                "<DataBits>8</DataBits><Parity>Even</Parity><StopBits>1</StopBits><URL>u</URL>"
                "<AuthType>Basic</AuthType><User>me</User><Password>pw</Password>"
                "<Address>host</Address><Port>80</Port>"));
  const kConnection& connection = device.Connection();
  EXPECT_EQ(connection.ConnectionType(), qvConnectionType::Serial);
  EXPECT_EQ(connection.SerialPort(), "COM3");
  EXPECT_EQ(connection.Speed(), 9600);
  EXPECT_EQ(connection.DataBits(), 8);
  EXPECT_EQ(connection.Parity(), qvParity::Even);
  EXPECT_EQ(connection.StopBits(), 1);
  EXPECT_EQ(connection.URL(), "u");
  EXPECT_EQ(connection.AuthType(), at_Basic);
  EXPECT_EQ(connection.User(), "me");
  EXPECT_EQ(connection.Password(), "pw");
  EXPECT_EQ(connection.Address(), "");
  EXPECT_EQ(connection.Port(), 0);
}

TEST(DeviceXml, SerialWithoutParityFails) {
  kDeviceHandler device;
  EXPECT_EQ(ErrorOf([&] { device.Deserialize(DeviceXml("<Type>Serial</Type>")); }),
            "Connection Parity  is not valid");
}

TEST(DeviceXml, ComReadsNothingButTypeAndTimeOuts) {
  kDeviceHandler device;
  device.Deserialize(
      DeviceXml("<Type>Com</Type><ReadTimeout>300</ReadTimeout>"
                "<Address>a</Address><SerialPort>COM1</SerialPort>"
                "<DeviceName>d</DeviceName><LibraryName>l</LibraryName>"));
  EXPECT_EQ(device.Connection().ConnectionType(), qvConnectionType::Com);
  EXPECT_EQ(device.Connection().ReadTimeOut(), 300);
  EXPECT_EQ(device.Connection().Address(), "");
  EXPECT_EQ(device.Connection().SerialPort(), "");
  EXPECT_EQ(device.Connection().DeviceName(), "");
  EXPECT_EQ(device.Connection().LibraryName(), "");
}

TEST(DeviceXml, OposDllAndSpoolReadTheirOwnElement) {
  const std::string all =
      "<DeviceName>FP1</DeviceName><LibraryName>x.dll</LibraryName>"
      "<PrinterName>POS-80</PrinterName>";
  kDeviceHandler opos, dll, spool;
  opos.Deserialize(DeviceXml("<Type>OPOS</Type>" + all));
  dll.Deserialize(DeviceXml("<Type>DLL</Type>" + all));
  spool.Deserialize(DeviceXml("<Type>Spool</Type>" + all));
  EXPECT_EQ(opos.Connection().DeviceName(), "FP1");
  EXPECT_EQ(opos.Connection().LibraryName(), "");
  EXPECT_EQ(dll.Connection().LibraryName(), "x.dll");
  EXPECT_EQ(dll.Connection().DeviceName(), "");
  EXPECT_EQ(spool.Connection().PrinterName(), "POS-80");
  EXPECT_EQ(spool.Connection().LibraryName(), "");
}

TEST(DeviceXml, ParametersAreLowerCasedAndTakeTheFirstTextOfTheirName) {
  kDeviceHandler device;
  device.SetParameter("Kept", "1");
  device.Deserialize(DeviceXml("", "<HexLog>TRUE</HexLog><A>1</A><a>2</a><A>3</A>"));
  EXPECT_EQ(device.Parameters(),
            (std::vector<std::string>{"Kept=1", "hexlog=TRUE", "a=1", "a=2", "a=1"}));
  EXPECT_EQ(device.GetParameter("HexLog"), "TRUE");
}

TEST(DeviceXml, DeviceNameAndConnectTimeoutParametersOverrideTheConnection) {
  kDeviceHandler device;
  device.Deserialize(DeviceXml("<Type>TCP</Type><ConnectTimeout>3000</ConnectTimeout>",
                               "<DeviceName>Printer 2</DeviceName>"
                               "<ConnectTimeout>2500</ConnectTimeout>"));
  EXPECT_EQ(device.Connection().DeviceName(), "Printer 2");
  EXPECT_EQ(device.Connection().ConnectTimeOut(), 2500);
  kDeviceHandler zero;
  zero.Deserialize(DeviceXml("<Type>TCP</Type><ConnectTimeout>3000</ConnectTimeout>",
                             "<ConnectTimeout>0</ConnectTimeout>"));
  EXPECT_EQ(zero.Connection().ConnectTimeOut(), 3000);
}

TEST(DeviceXml, ConversionFailuresCarryTheirMessages) {
  kDeviceHandler device;
  EXPECT_EQ(
      ErrorOf([&] { device.Deserialize(DeviceXml("", "<ConnectTimeout>abc</ConnectTimeout>")); }),
      "'abc' is not a valid integer value");
  const std::string handle = ErrorOf([&] { device.Deserialize("<R><Handle>seven</Handle></R>"); });
  EXPECT_EQ(handle.rfind("Error in processing node Handle as integer.\r\n", 0), 0u) << handle;
  const std::string port =
      ErrorOf([&] { device.Deserialize(DeviceXml("<Type>TCP</Type><Port>50x</Port>")); });
  EXPECT_EQ(port.rfind("Error in processing node Port as integer.\r\n", 0), 0u) << port;
}

TEST(DeviceXml, MalformedTextFailsWithTheParserMessage) {
  kDeviceHandler device;
  const std::string message = ErrorOf([&] { device.Deserialize("<Request><Type>"); });
  EXPECT_NE(message, "<no error>");
  EXPECT_FALSE(message.empty());
}

}  // namespace
}  // namespace qv::framework
