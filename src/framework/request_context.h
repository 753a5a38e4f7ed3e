// kFiscalProcessorHandler: the request context of one exported call.
//
// It parses the request XML once and keeps the parsed document, reads the device
// configuration from it (the request's processor name as driver, a fixed local TCP
// connection in place of whatever connection the request carries), keeps the request text
// and the till serial, and hands the parsed request to the readers of the documents the call
// asks for. It owns one object of every kind of request document, made when a reader fills it
// or when the call first looks at it; the readers of kinds not asked for do not run and their
// objects stay empty.
//
// Threading: one object per call, used by the calling thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "documents/codes.h"
#include "framework/device_handler.h"

namespace qv::documents {
class kReceipt;
class kNFReceipt;
class kCustomerDisplay;
class kDrawer;
class kEJReport;
class kVatTable;
class kDeptTable;
class kEconomicActivityTable;
class kPaymentReceipt;
class kReceiptReference;
class kEJFilesRequest;
class kZReport;
}  // namespace qv::documents

namespace qv::framework {

// The kinds of document a request may carry, in their fixed order (member n is bit n of a
// set).
enum qvReceiptHandlerDocumentType : uint8_t {
  dt_Receipt,
  dt_NFReceipt,
  dt_Display,
  dt_Drawer,
  dt_EJReport,
  dt_VatTable,
  dt_DeptTable,
  dt_Pay,
  dt_ReceiptReference,
  dt_EJFilesRequest,
  dt_XReport,
  dt_ZReport
};
using qvReceiptHandlerDocumentTypes = documents::EnumSet<qvReceiptHandlerDocumentType, 12>;

// The fixed connection every request is given: the processor's channel serves only as its
// log, so it is a TCP channel to this machine that is never connected.
inline constexpr const char* kFixedConnectionAddress = "localhost";
inline constexpr int32_t kFixedConnectionPort = 5001;
inline constexpr int32_t kFixedConnectTimeout = 3000;
inline constexpr int32_t kFixedReadTimeout = 5000;

class kFiscalProcessorHandler : public kDeviceHandler {
 public:
  // An empty device configuration; no request document is made yet.
  kFiscalProcessorHandler();
  // Destroys the request documents (in their fixed order), then the device configuration.
  ~kFiscalProcessorHandler() override;
  kFiscalProcessorHandler(const kFiscalProcessorHandler&) = delete;
  kFiscalProcessorHandler& operator=(const kFiscalProcessorHandler&) = delete;

  // Fills the context from the request text aXml, parsed once:
  //  - the processor name is the text of Parameters/Processor, or of Parameters/PROCESSOR
  //    when there is no Processor element; it is the device configuration's driver;
  //  - the device configuration is read from the request with the TCP connection to
  //    localhost, port 5001, time-outs 3000 and 5000 ms, whatever Connection elements the
  //    request carries; TillSerial is the parameter "FPTillSerial" (empty when absent);
  //  - the reader of every kind in aDocumentTypes runs on the parsed request, in the fixed
  //    order receipt, non-fiscal receipt, display, drawer, journal report, VAT table,
  //    Z-report, economic activities and departments, payment, receipt reference, journal
  //    files request. The first failing reader fails the call; later ones do not run.
  // Malformed XML fails with the parser's message; a request without Parameters, without a
  // processor name element in it, or without a Driver element fails with
  // "Parameters node not found", "Processor node not found" or "Driver node not found".
  void Deserialize(const std::string& aXml, qvReceiptHandlerDocumentTypes aDocumentTypes);

  const std::string& XmlString() const { return fXmlString; }
  const std::string& TillSerial() const { return fTillSerial; }
  // The request as Deserialize parsed it from XmlString, unchanged by the device
  // configuration: the receipt operation numbers, dates and signs the receipt in it and
  // journals it, so that nothing reads it for the request's own values after that.
  pugi::xml_document& RequestDocument() { return fRequest; }

  // The request documents; one that no reader filled is empty.
  documents::kReceipt& Receipt() const;
  documents::kNFReceipt& NFReceipt() const;
  documents::kCustomerDisplay& CustomerDisplay() const;
  documents::kDrawer& Drawer() const;
  documents::kEJReport& EJReport() const;
  documents::kVatTable& VATTable() const;
  documents::kDeptTable& DeptTable() const;
  documents::kEconomicActivityTable& EATable() const;
  documents::kReceiptReference& ReceiptReference() const;
  documents::kEJFilesRequest& EJFilesRequest() const;
  documents::kZReport& ZReport() const;

 protected:
  // The payment-terminal receipt has no public property.
  documents::kPaymentReceipt& PaymentReceipt() const;

 private:
  void ReadDocuments(qvReceiptHandlerDocumentTypes aDocumentTypes);

  std::string fXmlString;
  std::string fTillSerial;
  pugi::xml_document fRequest;
  // Made on first use: most calls read one document or none.
  mutable std::unique_ptr<documents::kReceipt> fReceipt;
  mutable std::unique_ptr<documents::kNFReceipt> fNFReceipt;
  mutable std::unique_ptr<documents::kCustomerDisplay> fCustomerDisplay;
  mutable std::unique_ptr<documents::kDrawer> fDrawer;
  mutable std::unique_ptr<documents::kEJReport> fEJReport;
  mutable std::unique_ptr<documents::kVatTable> fVATTable;
  mutable std::unique_ptr<documents::kDeptTable> fDeptTable;
  mutable std::unique_ptr<documents::kEconomicActivityTable> fEATable;
  mutable std::unique_ptr<documents::kPaymentReceipt> fPaymentReceipt;
  mutable std::unique_ptr<documents::kReceiptReference> fReceiptReference;
  mutable std::unique_ptr<documents::kEJFilesRequest> fEJFilesRequest;
  mutable std::unique_ptr<documents::kZReport> fZreport;
};

// The request text as the device configuration sees it: Driver := the processor name, the
// request's Connection elements replaced by the fixed TCP connection. Reading it gives the
// device configuration that kFiscalProcessorHandler::Deserialize reads from aXml itself.
// Same failures as kFiscalProcessorHandler::Deserialize.
std::string RewriteRequest(const std::string& aXml);

}  // namespace qv::framework
