// One fiscal receipt: counted, numbered, dated, laid out, signed, trailed by its signature
// and kept in the journal.
#include <cstdint>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "base/utils.h"
#include "base/xml_utils.h"
#include "documents/receipt.h"
#include "framework/fiscal_processor.h"
#include "framework/io_handler.h"
#include "framework/request_context.h"
#include "kavren/fiscal_processor_kavren.h"
#include "kavren/journal_chain.h"
#include "kavren/receipt_text.h"
#include "platform/code_page.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/unicode.h"

namespace qv::kavren {

namespace {

constexpr size_t kSignaturePartLength = 200;

// Deletes the receipt-text file once the signature (or the failure) is known, so that the
// temporary folder does not fill up with one file per receipt.
class tTemporaryFile {
 public:
  explicit tTemporaryFile(std::string aPath) : fPath(std::move(aPath)) {}
  ~tTemporaryFile() { platform::DeleteFile(fPath); }
  tTemporaryFile(const tTemporaryFile&) = delete;
  tTemporaryFile& operator=(const tTemporaryFile&) = delete;
  const std::string& Path() const { return fPath; }

 private:
  std::string fPath;
};

void WriteTextFile(const std::string& aPath, const std::string& aText) {
  std::string error;
  if (!platform::WriteWholeFile(aPath, AnsiLines(aText), error)) throw Error(error);
}

// The child aName of aParent: reused when present, appended otherwise.
pugi::xml_node ChildOrAppended(pugi::xml_node aParent, const char* aName) {
  pugi::xml_node child = aParent.child(aName);
  return child ? child : aParent.append_child(aName);
}

void SetChildText(pugi::xml_node aParent, const char* aName, const std::string& aText) {
  pugi::xml_node child = ChildOrAppended(aParent, aName);
  child.text().set(aText.c_str());
}

// The receipt that is numbered, signed and journaled is the Receipt child of the request's
// root, also when the root is itself named Receipt.
pugi::xml_node FindReceiptElement(const pugi::xml_document& aDocument) {
  pugi::xml_node receipt = base::FindChild(aDocument.document_element(), "Receipt");
  if (!receipt) throw Error("Receipt node not found");
  return receipt;
}

// The signature splits at its first blank: A is everything up to and including it, B at most
// 200 characters from it on (the whole signature when it has no blank).
struct tSignatureHalves {
  std::string first;
  std::string second;
};

tSignatureHalves SplitSignature(const std::string& aSignature) {
  size_t blank = aSignature.find(' ');
  tSignatureHalves halves;
  if (blank == std::string::npos) {
    halves.second = platform::Utf16Left(aSignature, kSignaturePartLength);
  } else {
    halves.first = aSignature.substr(0, blank + 1);
    halves.second = platform::Utf16Left(aSignature.substr(blank), kSignaturePartLength);
  }
  return halves;
}

void AppendTrailerLine(pugi::xml_node aTrailer, const std::string& aLine) {
  pugi::xml_node text = aTrailer.append_child("Text");
  text.append_child("Alignment").text().set("Center");
  text.append_child("Value").text().set(aLine.c_str());
  text.append_child("Size").text().set("1");
}

}  // namespace

bool kFiscalProcessor_KAVREN::ProcessReceipt(kFiscalProcessorHandler& aHandler) {
  LogInfo("PROCESSRECEIPT", "BEGIN");
  const documents::kReceipt& receiptObject = aHandler.Receipt();
  // A request without the element to sign fails before it takes a number.
  pugi::xml_document request;
  base::ParseXml(request, aHandler.XmlString());
  pugi::xml_node receipt = FindReceiptElement(request);
  fFPCounters->Refresh();
  const base::DateTime processedAt = base::NowDateTime();
  base::Currency amount = receiptObject.TotalAmount();
  if (amount < base::Currency()) amount = -amount;
  fFPCounters->Update(receiptObject.ReceiptType(), amount);
  // The numbers this receipt was given under the counters lock: two processes on one till
  // never share a number.
  int32_t receiptNumber = fFPCounters->CurrentReceiptNo();
  const int32_t zReportNumber = fFPCounters->CurrentZReportNo();

  // A receipt that the host numbered itself keeps its number.
  int32_t hostNumber = 0;
  if (receipt.child("Number") &&
      base::TryStrToInt(base::ElementText(receipt.child("Number")), hostNumber) && hostNumber > 0) {
    receiptNumber = hostNumber;
  }
  SetChildText(receipt, "Number", std::to_string(receiptNumber));
  SetChildText(receipt, "DateTime", base::DateTimeToXmlText(false, processedAt));
  SetChildText(receipt, "ZReportNumber", std::to_string(zReportNumber));

  tTemporaryFile textFile(platform::CreateTemporaryFile("tmp"));
  tReceiptText receiptText = BuildReceiptText(receipt);
  WriteTextFile(textFile.Path(), receiptText.text);
  if (receiptText.resultCode != 0) {
    LogError("BuildReceiptText", receiptText.errorText);
    return false;
  }

  kBox::tAnswer signing = fBox->Sign(fProcessorPort, textFile.Path());
  LogInfo("Sign", "[" + std::to_string(signing.status) + "]\r\n" + signing.text);
  tSignatureHalves signature = SplitSignature(signing.text);
  if (signing.status != 0) {
    throw Error("Error when signing the receipt: [" + std::to_string(signing.status) + "]" +
                signature.first + signature.second);
  }

  pugi::xml_node trailer = ChildOrAppended(receipt, "TrailerMessages");
  for (const std::string& line :
       std::vector<std::string>{"", "LEGAL RECEIPT", signature.first, signature.second}) {
    AppendTrailerLine(trailer, line);
  }

  const std::string dayFolder =
      framework::JoinPath(fDirProcessed, base::FormatDateTime("yyyymmdd", base::NowDateTime()));
  platform::ForceDirectories(dayFolder);
  const std::string journalFile = framework::JoinPath(
      dayFolder, base::FixedWidthNumber(zReportNumber, 4, 0, false, "") + "-" +
                     base::FixedWidthNumber(receiptNumber, 7, 0, false, "") + ".fprd");
  std::string output = base::RenderXml(request);
  const std::string journalText = AnsiLines(output);
  platform::ReplaceFileAtomically(journalFile, journalText);
  {
    tCountersLock lock(*fFPCounters);
    ChainJournalFile(zReportNumber, journalFile, journalText);
  }

  // The host receives the text of the journal file.
  fXmlOutput = platform::CodePageToUtf8(journalText, 0);
  LogInfo("PROCESSRECEIPT", "END");
  return true;
}

}  // namespace qv::kavren
