// The request documents besides the fiscal receipt: cash drawer, journal report request,
// payment-terminal receipt, reference to an earlier receipt, journal files request and the
// Z-report parameters. (The tables are in tables.h, the non-fiscal receipt and the customer
// display in nf_receipt.h; this header brings them all.)
//
// Every document is created empty, filled once by Deserialize with the whole parsed request
// document, and read afterwards. Deserialize finds its element among the direct children of
// the request's document element and fails with "<Element> node not found" when it is missing
// (the Z-report parameters instead stay at their defaults). Readers catch nothing: a bad code
// or value fails with the decoder's or accessor's message.
//
// Threading: plain objects, one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "base/currency.h"
#include "base/date_time.h"
#include "documents/codes.h"
#include "documents/nf_receipt.h"
#include "documents/tables.h"

namespace qv::documents {

// Opens a cash drawer (element "Drawer").
class kDrawer {
 public:
  void Deserialize(const pugi::xml_document& aXmlDoc);

  int32_t Number() const { return fNumber; }
  void SetNumber(int32_t aValue) { fNumber = aValue; }

 private:
  int32_t fNumber = 0;
};

// Asks for a report of the electronic journal (element "EJReport").
class kEJReport {
 public:
  // StartDate and EndDate are required: an absent or empty one fails with
  // "DateTime Format invalid: []". StartNumber and EndNumber read 0 unless they are integers.
  void Deserialize(const pugi::xml_document& aXmlDoc);

  qvEJReportType ReportType() const { return fReportType; }
  void SetReportType(qvEJReportType aValue) { fReportType = aValue; }
  qvEJReportDestination Destination() const { return fDestination; }
  void SetDestination(qvEJReportDestination aValue) { fDestination = aValue; }
  base::DateTime StartDate() const { return fStartDate; }
  void SetStartDate(base::DateTime aValue) { fStartDate = aValue; }
  base::DateTime EndDate() const { return fEndDate; }
  void SetEndDate(base::DateTime aValue) { fEndDate = aValue; }
  int32_t StartNumber() const { return fStartNumber; }
  void SetStartNumber(int32_t aValue) { fStartNumber = aValue; }
  int32_t EndNumber() const { return fEndNumber; }
  void SetEndNumber(int32_t aValue) { fEndNumber = aValue; }

 private:
  qvEJReportType fReportType = ejrt_ZReport;
  qvEJReportDestination fDestination = rd_Printer;
  base::DateTime fStartDate = 0;
  base::DateTime fEndDate = 0;
  int32_t fStartNumber = 0;
  int32_t fEndNumber = 0;
};

// A payment-terminal receipt (element "Payment"). ReceiptLines and RawResponse are never read
// from the request; the operation that talks to the terminal fills them.
class kPaymentReceipt {
 public:
  // Copies below 0 are stored as 0. PrintLocation must be exactly "ECR" or "EFT" when given;
  // otherwise fails with "Payment Location <text> invalid. Allowed values are: ECR,EFT.".
  void Deserialize(const pugi::xml_document& aXmlDoc);

  const std::string& StoreCode() const { return fStoreCode; }
  void SetStoreCode(std::string aValue) { fStoreCode = std::move(aValue); }
  const std::string& TillCode() const { return fTillCode; }
  void SetTillCode(std::string aValue) { fTillCode = std::move(aValue); }
  const std::string& Reference() const { return fReference; }
  void SetReference(std::string aValue) { fReference = std::move(aValue); }
  base::Currency Amount() const { return fAmount; }
  void SetAmount(base::Currency aValue) { fAmount = aValue; }
  const std::string& Currency() const { return fCurrency; }
  void SetCurrency(std::string aValue) { fCurrency = std::move(aValue); }
  QvPrintLocation PrintLocation() const { return fPrintLocation; }
  void SetPrintLocation(QvPrintLocation aValue) { fPrintLocation = aValue; }
  int32_t Copies() const { return fCopies; }
  void SetCopies(int32_t aValue) { fCopies = aValue; }
  std::vector<std::string>& ReceiptLines() { return fReceiptLines; }
  const std::vector<std::string>& ReceiptLines() const { return fReceiptLines; }
  const std::string& RawResponse() const { return fRawResponse; }
  void SetRawResponse(std::string aValue) { fRawResponse = std::move(aValue); }
  const std::string& ReceiptId() const { return fReceiptId; }
  void SetReceiptId(std::string aValue) { fReceiptId = std::move(aValue); }

 private:
  std::string fStoreCode;
  std::string fTillCode;
  std::string fReference;
  base::Currency fAmount;
  std::string fCurrency;
  QvPrintLocation fPrintLocation = pl_ECR;
  int32_t fCopies = 0;
  std::vector<std::string> fReceiptLines;
  std::string fRawResponse;
  std::string fReceiptId;
};

// Names an earlier receipt (element "ReceiptReference"), e.g. to reprint it.
class kReceiptReference {
 public:
  // ReceiptType is required; an empty ReceiptDateTime leaves 0.
  void Deserialize(const pugi::xml_document& aXmlDoc);

  qvReceiptType ReceiptType() const { return fReceiptType; }
  void SetReceiptType(qvReceiptType aValue) { fReceiptType = aValue; }
  const std::string& EJNumber() const { return fEJNumber; }
  void SetEJNumber(std::string aValue) { fEJNumber = std::move(aValue); }
  const std::string& EJClosingNumber() const { return fEJClosingNumber; }
  void SetEJClosingNumber(std::string aValue) { fEJClosingNumber = std::move(aValue); }
  base::DateTime ReceiptDateTime() const { return fReceiptDateTime; }
  void SetReceiptDateTime(base::DateTime aValue) { fReceiptDateTime = aValue; }
  const std::string& ReceiptNumber() const { return fReceiptNumber; }
  void SetReceiptNumber(std::string aValue) { fReceiptNumber = std::move(aValue); }
  const std::string& DeviceSerialNumber() const { return fDeviceSerialNumber; }
  void SetDeviceSerialNumber(std::string aValue) { fDeviceSerialNumber = std::move(aValue); }

 private:
  qvReceiptType fReceiptType = rt_Sale;
  std::string fEJNumber;
  std::string fEJClosingNumber;
  base::DateTime fReceiptDateTime = 0;
  std::string fReceiptNumber;
  std::string fDeviceSerialNumber;
};

// Asks for the journal files of a period to be copied into a folder (element "EJRequest").
class kEJFilesRequest {
 public:
  // RequestType is required ("xml"); empty dates leave 0.
  void Deserialize(const pugi::xml_document& aXmlDoc);

  qvEJFilesRequestType ReqType() const { return fReqType; }
  void SetReqType(qvEJFilesRequestType aValue) { fReqType = aValue; }
  base::DateTime StartDate() const { return fStartDate; }
  void SetStartDate(base::DateTime aValue) { fStartDate = aValue; }
  base::DateTime EndDate() const { return fEndDate; }
  void SetEndDate(base::DateTime aValue) { fEndDate = aValue; }
  const std::string& OutputDir() const { return fOutputDir; }
  void SetOutputDir(std::string aValue) { fOutputDir = std::move(aValue); }

 private:
  qvEJFilesRequestType fReqType = ej_xml;
  base::DateTime fStartDate = 0;
  base::DateTime fEndDate = 0;
  std::string fOutputDir;
};

// The parameters of a Z-report request (element "ZReport"): with PrintText the host's own
// Text lines are the report text.
class kZReport {
 public:
  // Without a "ZReport" element nothing is read and nothing fails.
  void Deserialize(const pugi::xml_document& aXmlDoc);

  const std::string& StoreCode() const { return fStoreCode; }
  void SetStoreCode(std::string aValue) { fStoreCode = std::move(aValue); }
  const std::string& TillCode() const { return fTillCode; }
  void SetTillCode(std::string aValue) { fTillCode = std::move(aValue); }
  bool PrintText() const { return fPrintText; }
  void SetPrintText(bool aValue) { fPrintText = aValue; }
  std::vector<std::string>& Text() { return fText; }
  const std::vector<std::string>& Text() const { return fText; }

 private:
  std::string fStoreCode;
  std::string fTillCode;
  bool fPrintText = false;
  std::vector<std::string> fText;
};

// The print location of a payment-terminal receipt: "ECR" or "EFT" exactly (no case
// conversion); the empty text keeps aDefault. Fails with
// "Payment Location <text> invalid. Allowed values are: ECR,EFT.".
QvPrintLocation DecodePrintLocation(std::string_view aText, QvPrintLocation aDefault);

// Splits a text into lines at CR LF, LF or CR; a final line break ends the last line rather
// than starting an empty one.
std::vector<std::string> SplitTextLines(std::string_view aText);

}  // namespace qv::documents
