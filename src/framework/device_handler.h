// The device configuration that every request names: the device's type, the driver that
// serves it, the method called, the handle of an opened device, the log identifier, how the
// device is reached (kConnection) and a free list of named parameters. kDeviceHandler reads
// and writes its XML form (root "ReceiptPrinterManager") and builds the I/O channel for the
// configured connection type. The request context of every exported call derives from it;
// the signing processor builds one to hand its configuration to the receipt-printer driver.
//
// Threading: plain objects, used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <pugixml.hpp>

namespace qv::framework {

class kIOHandler;

// The kind of channel, which selects the channel class registered for it
// (channel_registry.h); the ordinal values are stored.
enum class qvConnectionType : int32_t {
  OPOS = 0,
  TCP = 1,
  HTTP = 2,
  Serial = 3,
  DLL = 4,
  Com = 5,
  Spool = 6
};
enum class qvParity : int32_t { None = 0, Even = 1, Odd = 2 };
enum qvHTTPAuthType : int32_t { at_None = 0, at_Basic = 1, at_Digest = 2, at_Bearer = 3 };

// Connection settings of a device: channel kind, time-outs, network, serial, OPOS, library
// and printer settings. Owned by its kDeviceHandler.
class kConnection {
 public:
  kConnection() = default;

  // "opos", "tcp", "http", "serial", "dll", "com", "spool" in any letter case; any other
  // text fails with "Connection Type <text> is not valid".
  static qvConnectionType ConvertConnectionType(const std::string& aString);
  static std::string ConnectionTypeToString(qvConnectionType aValue);  // "OPOS", "SERIAL", ...
  // "none", "even", "odd" in any letter case; any other text fails with
  // "Connection Parity <text> is not valid".
  static qvParity ConvertParity(const std::string& aString);
  static std::string ParityToString(qvParity aValue);  // "NONE", "EVEN", "ODD"
  // "none", "basic", "digest", "bearer" in any letter case; anything else gives at_None.
  static qvHTTPAuthType ConvertAuthType(const std::string& aString);
  static std::string AuthTypeToString(qvHTTPAuthType aValue);  // "NONE", "BASIC", ...

  const std::string& Address() const { return fAddress; }
  void SetAddress(const std::string& aValue) { fAddress = aValue; }
  int32_t Port() const { return fPort; }
  void SetPort(int32_t aValue) { fPort = aValue; }
  const std::string& URL() const { return fURL; }
  void SetURL(const std::string& aValue) { fURL = aValue; }
  qvHTTPAuthType AuthType() const { return fAuthType; }
  void SetAuthType(qvHTTPAuthType aValue) { fAuthType = aValue; }
  const std::string& User() const { return fUser; }
  void SetUser(const std::string& aValue) { fUser = aValue; }
  const std::string& Password() const { return fPassword; }
  void SetPassword(const std::string& aValue) { fPassword = aValue; }
  const std::string& SerialPort() const { return fSerialPort; }
  void SetSerialPort(const std::string& aValue) { fSerialPort = aValue; }
  int32_t Speed() const { return fSpeed; }
  void SetSpeed(int32_t aValue) { fSpeed = aValue; }
  int32_t DataBits() const { return fDataBits; }
  void SetDataBits(int32_t aValue) { fDataBits = aValue; }
  qvParity Parity() const { return fParity; }
  void SetParity(qvParity aValue) { fParity = aValue; }
  int32_t StopBits() const { return fStopBits; }
  void SetStopBits(int32_t aValue) { fStopBits = aValue; }
  const std::string& DeviceName() const { return fDeviceName; }
  void SetDeviceName(const std::string& aValue) { fDeviceName = aValue; }
  const std::string& LibraryName() const { return fLibraryName; }
  void SetLibraryName(const std::string& aValue) { fLibraryName = aValue; }
  const std::string& PrinterName() const { return fPrinterName; }
  void SetPrinterName(const std::string& aValue) { fPrinterName = aValue; }
  qvConnectionType ConnectionType() const { return fConnectionType; }
  void SetConnectionType(qvConnectionType aValue) { fConnectionType = aValue; }
  // Time-outs in milliseconds; the setters keep the current value for 0 or less.
  int32_t ConnectTimeOut() const { return fConnectTimeout; }
  void SetConnectTimeOut(int32_t aValue);
  int32_t ReadTimeOut() const { return fReadTimeout; }
  void SetReadTimeOut(int32_t aValue);

 private:
  std::string fAddress;
  int32_t fPort = 0;
  std::string fURL;
  qvHTTPAuthType fAuthType = at_None;
  std::string fUser;
  std::string fPassword;
  std::string fSerialPort;
  int32_t fSpeed = 0;
  int32_t fDataBits = 0;
  qvParity fParity = qvParity::None;
  int32_t fStopBits = 0;
  std::string fDeviceName;
  std::string fLibraryName;
  std::string fPrinterName;
  qvConnectionType fConnectionType = qvConnectionType::OPOS;
  int32_t fConnectTimeout = 1000;
  int32_t fReadTimeout = 1000;
};

class kDeviceHandler {
 public:
  kDeviceHandler() = default;
  virtual ~kDeviceHandler() = default;
  kDeviceHandler(const kDeviceHandler&) = delete;
  kDeviceHandler& operator=(const kDeviceHandler&) = delete;

  const std::string& Type() const { return fType; }
  void SetType(const std::string& aValue) { fType = aValue; }
  const std::string& Driver() const { return fDriver; }
  void SetDriver(const std::string& aValue) { fDriver = aValue; }
  const std::string& Method() const { return fMethod; }
  void SetMethod(const std::string& aValue) { fMethod = aValue; }
  kConnection& Connection() { return fConnection; }
  const kConnection& Connection() const { return fConnection; }
  int32_t DeviceHandle() const { return fDeviceHandle; }
  void SetDeviceHandle(int32_t aValue) { fDeviceHandle = aValue; }
  const std::string& LogId() const { return fLogId; }
  void SetLogId(const std::string& aValue) { fLogId = aValue; }

  // Parameters are "name=value" entries in insertion order; names compare without regard
  // to letter case and every lookup finds the first matching entry.
  // The value of the first entry named aName, or the empty text.
  std::string GetParameter(const std::string& aName) const;
  bool ParameterExists(const std::string& aName) const;
  // A non-empty aValue replaces the first entry of that name (stored with aName's own
  // letter case) or appends one; an empty aValue removes the first entry of that name.
  void SetParameter(const std::string& aName, const std::string& aValue);
  const std::vector<std::string>& Parameters() const { return fParameters; }

  // The device XML: declaration (version "1.0", encoding "utf-8") and the root
  // "ReceiptPrinterManager" with every element in order, without indentation. Fails when a
  // stored parameter name is not a valid XML element name.
  std::string Serialize() const;
  // Appends the root element "ReceiptPrinterManager" of the device XML, with every element in
  // order, to aParent and returns it; fails as Serialize does.
  pugi::xml_node AppendDeviceElement(pugi::xml_node aParent) const;
  // Fills this object from aXml (any root element name) and returns the parsed document,
  // which the caller owns and reads its own elements from. Fails with the parser's message
  // for malformed text, with the accessors' messages for non-integer numbers, with the
  // connection messages for an unknown type or parity, and with
  // "'<text>' is not a valid integer value" for a non-integer "ConnectTimeout" parameter.
  std::unique_ptr<pugi::xml_document> Deserialize(const std::string& aXml);
  // Fills this object from the parsed device XML whose root element is aRoot, with the same
  // failures as Deserialize past the parser's.
  void Read(const pugi::xml_node& aRoot);

  // Builds the channel registered for the configured connection type (channel_registry.h),
  // logging into aLogDir under "<Driver>_<LogId>_<yyyymmdd>.log", with HexLog on when the
  // "HexLog" parameter is "true" in any letter case. The caller owns the channel. Fails for
  // a connection type whose channel is not registered.
  std::unique_ptr<kIOHandler> CreateIOHandler(const std::string& aLogDir) const;

 protected:
  // The steps of Read, in its order, for a reader that puts values of its own in between:
  // the root's own values (Type, Driver, Method, Handle, LogId); the connection settings
  // from a Connection element; the root's Parameters and the parameters that override
  // connection settings (DeviceName, ConnectTimeout).
  void ReadDeviceValues(const pugi::xml_node& aRoot);
  void ReadConnection(const pugi::xml_node& aConnection);
  void ReadParameterList(const pugi::xml_node& aRoot);

 private:
  void ReadParameters(const pugi::xml_node& aParameters);
  // Index of the first entry named aName, or -1.
  int FindParameter(const std::string& aName) const;

  std::string fType;
  std::string fDriver;
  std::string fMethod;
  kConnection fConnection;
  int32_t fDeviceHandle = 0;
  std::vector<std::string> fParameters;
  std::string fLogId;
};

}  // namespace qv::framework
