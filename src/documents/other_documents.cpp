// Readers of the drawer, journal report, payment-terminal receipt, receipt reference, journal
// files and Z-report documents.
#include "documents/other_documents.h"

#include "base/utils.h"
#include "documents/document_node.h"
#include "platform/error.h"

namespace qv::documents {
namespace {

// A journal report's numbers are optional and lenient: anything that is no integer is 0.
int32_t IntegerOrZero(std::string_view aText) {
  try {
    return base::StrToInt(aText);
  } catch (const qv::Error&) {
    return 0;
  }
}

// Date-times that may be left empty: read (and checked) only when the element has text.
base::DateTime DateTimeIfGiven(const pugi::xml_node& aParent, std::string_view aName) {
  if (krptUtil::GetNodeValueAsString(aParent, aName).empty()) return 0;
  return krptUtil::GetNodeValueAsDateTime(aParent, aName);
}

}  // namespace

void kDrawer::Deserialize(const pugi::xml_document& aXmlDoc) {
  const pugi::xml_node drawer = FindDocumentNode(aXmlDoc, "Drawer");
  fNumber = krptUtil::GetNodeValueAsInteger(drawer, "Number");
}

void kEJReport::Deserialize(const pugi::xml_document& aXmlDoc) {
  const pugi::xml_node report = FindDocumentNode(aXmlDoc, "EJReport");
  fReportType = krptUtil::DecodeEJReportType(krptUtil::GetNodeValueAsString(report, "ReportType"));
  fDestination = krptUtil::DecodeEJReportDestination(
      krptUtil::GetNodeValueAsString(report, "ReportDestination"));
  // The dates are parsed straight from their text, so a missing one fails as an empty one.
  fStartDate = base::XmlTextToDateTime(krptUtil::GetNodeValueAsString(report, "StartDate"));
  fEndDate = base::XmlTextToDateTime(krptUtil::GetNodeValueAsString(report, "EndDate"));
  fStartNumber = IntegerOrZero(krptUtil::GetNodeValueAsString(report, "StartNumber"));
  fEndNumber = IntegerOrZero(krptUtil::GetNodeValueAsString(report, "EndNumber"));
}

void kPaymentReceipt::Deserialize(const pugi::xml_document& aXmlDoc) {
  const pugi::xml_node payment = FindDocumentNode(aXmlDoc, "Payment");
  const int32_t copies = krptUtil::GetNodeValueAsInteger(payment, "Copies");
  fCopies = copies < 0 ? 0 : copies;
  fStoreCode = krptUtil::GetNodeValueAsString(payment, "StoreCode");
  fTillCode = krptUtil::GetNodeValueAsString(payment, "TillCode");
  fReference = krptUtil::GetNodeValueAsString(payment, "Reference");
  fAmount = krptUtil::GetNodeValueAsCurrency(payment, "Amount");
  fCurrency = krptUtil::GetNodeValueAsString(payment, "Currency");
  fReceiptId = krptUtil::GetNodeValueAsString(payment, "ReceiptId");
  fPrintLocation =
      DecodePrintLocation(krptUtil::GetNodeValueAsString(payment, "PrintLocation"), fPrintLocation);
}

void kReceiptReference::Deserialize(const pugi::xml_document& aXmlDoc) {
  const pugi::xml_node reference = FindDocumentNode(aXmlDoc, "ReceiptReference");
  fReceiptType =
      krptUtil::DecodeReceiptType(krptUtil::GetNodeValueAsString(reference, "ReceiptType"));
  fEJNumber = krptUtil::GetNodeValueAsString(reference, "EJNumber");
  fEJClosingNumber = krptUtil::GetNodeValueAsString(reference, "EJClosingNumber");
  fReceiptDateTime = DateTimeIfGiven(reference, "ReceiptDateTime");
  fReceiptNumber = krptUtil::GetNodeValueAsString(reference, "ReceiptNumber");
  fDeviceSerialNumber = krptUtil::GetNodeValueAsString(reference, "DeviceSerialNumber");
}

void kEJFilesRequest::Deserialize(const pugi::xml_document& aXmlDoc) {
  const pugi::xml_node request = FindDocumentNode(aXmlDoc, "EJRequest");
  fReqType = krptUtil::DecodeEJRequestType(krptUtil::GetNodeValueAsString(request, "RequestType"));
  fStartDate = DateTimeIfGiven(request, "StartDate");
  fEndDate = DateTimeIfGiven(request, "EndDate");
  fOutputDir = krptUtil::GetNodeValueAsString(request, "OutputDir");
}

void kZReport::Deserialize(const pugi::xml_document& aXmlDoc) {
  const pugi::xml_node report = FindDocumentNodeOrNone(aXmlDoc, "ZReport");
  if (!report) return;
  fStoreCode = krptUtil::GetNodeValueAsString(report, "StoreCode");
  fTillCode = krptUtil::GetNodeValueAsString(report, "TillCode");
  fPrintText = krptUtil::GetNodeValueAsBoolean(report, "PrintText", /*aDefaultValue=*/false);
  fText = SplitTextLines(krptUtil::GetNodeValueAsString(report, "Text"));
}

QvPrintLocation DecodePrintLocation(std::string_view aText, QvPrintLocation aDefault) {
  if (aText.empty()) return aDefault;
  if (aText == "ECR") return pl_ECR;
  if (aText == "EFT") return pl_EFT;
  throw qv::Error("Payment Location " + std::string(aText) +
                  " invalid. Allowed values are: ECR,EFT.");
}

std::vector<std::string> SplitTextLines(std::string_view aText) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < aText.size()) {
    const std::size_t end = aText.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(aText.substr(start));
      break;
    }
    lines.emplace_back(aText.substr(start, end - start));
    start = end + 1;
    if (aText[end] == '\r' && start < aText.size() && aText[start] == '\n') ++start;
  }
  return lines;
}

}  // namespace qv::documents
