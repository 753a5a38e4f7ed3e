// One fiscal receipt: counted, numbered, dated, laid out, signed, trailed by its signature
// and kept in the journal.
#include <cstdint>
#include <memory>
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
  // A temporary file that cannot be removed stays in the user's temporary folder, which
  // the system empties: no reason to fail a receipt that is already journaled.
  ~tTemporaryFile() { platform::DeleteFile(fPath).IgnoreFailure(); }
  tTemporaryFile(const tTemporaryFile&) = delete;
  tTemporaryFile& operator=(const tTemporaryFile&) = delete;
  const std::string& Path() const { return fPath; }

 private:
  std::string fPath;
};

// A new empty file in the user's temporary folder; throws the system's text when none can
// be made.
std::string CreatedTemporaryFile() {
  std::string path;
  platform::CreateTemporaryFile("tmp", path).ThrowIfFailed();
  return path;
}

void WriteTextFile(const std::string& aPath, const std::string& aText) {
  platform::WriteWholeFile(aPath, AnsiLines(aText)).ThrowIfFailed();
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

// The step of a receipt that failed, with its message, for the error record; the failure
// itself goes on to the host unchanged.
class tReceiptStep {
 public:
  // aSignature: the signing device's answer, once it gave one.
  tReceiptStep(kReceiptLedger& aLedger, tHeldReceipt& aHeld, const char* aStep,
               std::string aSignature = "")
      : fLedger(aLedger), fHeld(aHeld), fStep(aStep), fSignature(std::move(aSignature)) {}

  // Runs aWork; a failure is recorded under this step and raised again.
  template <typename Work>
  auto Run(Work aWork) -> decltype(aWork()) {
    try {
      return aWork();
    } catch (const std::exception& e) {
      Fail(e.what());
      throw;
    }
  }
  void Fail(const std::string& aMessage) {
    fLedger.Failed(fHeld, tReceiptFailure{fStep, aMessage, fSignature});
  }

 private:
  kReceiptLedger& fLedger;
  tHeldReceipt& fHeld;
  const char* fStep;
  std::string fSignature;
};

}  // namespace

bool kFiscalProcessor_KAVREN::ProcessReceipt(kFiscalProcessorHandler& aHandler) {
  LogInfo("PROCESSRECEIPT", "BEGIN");
  const documents::kReceipt& receiptObject = aHandler.Receipt();
  // The request as received becomes the journal's copy. A request without the element to
  // sign fails before it takes a number.
  pugi::xml_document& request = aHandler.RequestDocument();
  pugi::xml_node receipt = FindReceiptElement(request);

  tQueuedReceipt queued;
  // A receipt that the host numbered itself keeps its number.
  int32_t hostNumber = 0;
  if (receipt.child("Number") &&
      base::TryStrToInt(base::ElementText(receipt.child("Number")), hostNumber) && hostNumber > 0) {
    queued.receiptNumber = hostNumber;
  }
  queued.receiptType = receiptObject.ReceiptType();
  queued.amount = receiptObject.TotalAmount();
  if (queued.amount < base::Currency()) queued.amount = -queued.amount;
  queued.dateTime = base::DateTimeToXmlText(false, base::NowDateTime());
  queued.request = aHandler.XmlString();
  // Numbered under the counters lock: two processes on one till never share a number.
  std::unique_ptr<tHeldReceipt> held = fLedger->Count(std::move(queued));
  const tQueuedReceipt& counted = held->Receipt();
  SetChildText(receipt, "Number", std::to_string(counted.receiptNumber));
  SetChildText(receipt, "DateTime", counted.dateTime);
  SetChildText(receipt, "ZReportNumber", std::to_string(counted.zReportNumber));

  tReceiptStep textStep(*fLedger, *held, "ReceiptText");
  std::unique_ptr<tTemporaryFile> textFile =
      textStep.Run([&] { return std::make_unique<tTemporaryFile>(CreatedTemporaryFile()); });
  const tReceiptText receiptText = textStep.Run([&] {
    tReceiptText built = BuildReceiptText(receipt);
    WriteTextFile(textFile->Path(), built.text);
    return built;
  });
  if (receiptText.resultCode != 0) {
    LogError("BuildReceiptText", receiptText.errorText);
    textStep.Fail(receiptText.errorText);
    return false;
  }

  tReceiptStep signingStep(*fLedger, *held, "Signing");
  const kBox::tAnswer signing =
      signingStep.Run([&] { return fBox->Sign(fProcessorPort, textFile->Path()); });
  LogInfo("Sign", "[" + std::to_string(signing.status) + "]\r\n" + signing.text);
  tSignatureHalves signature = SplitSignature(signing.text);
  if (signing.status != 0) {
    const std::string message = "Error when signing the receipt: [" +
                                std::to_string(signing.status) + "]" + signature.first +
                                signature.second;
    tReceiptStep(*fLedger, *held, "Signing", signing.text).Fail(message);
    throw Error(message);
  }

  tReceiptStep journalStep(*fLedger, *held, "Journal", signing.text);
  const std::string journalText = journalStep.Run([&] {
    pugi::xml_node trailer = ChildOrAppended(receipt, "TrailerMessages");
    for (const std::string& line :
         std::vector<std::string>{"", "LEGAL RECEIPT", signature.first, signature.second}) {
      AppendTrailerLine(trailer, line);
    }
    const std::string dayFolder =
        framework::JoinPath(fDirProcessed, base::FormatDateTime("yyyymmdd", base::NowDateTime()));
    std::string text = AnsiLines(base::RenderXml(request));
    fLedger->Journal(*held, dayFolder, text);
    return text;
  });
  // The host receives the text of the journal file.
  fXmlOutput = platform::CodePageToUtf8(journalText, 0);
  LogInfo("PROCESSRECEIPT", "END");
  return true;
}

}  // namespace qv::kavren
