// qvfp demo: one fiscal day of a till, end to end through the library's exports.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "base/xml_utils.h"
#include "commands.h"
#include "fiscal_library.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "receipt_printer.h"

namespace qv::host {

namespace {

void Heading(const std::string& aTitle) { std::cout << "\n== " << aTitle << "\n"; }

void Indented(const std::string& aText) {
  std::string line;
  for (char c : aText) {
    if (c == '\r') continue;
    if (c == '\n') {
      std::cout << "    " << line << "\n";
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) std::cout << "    " << line << "\n";
}

void Field(const std::string& aName, const std::string& aValue) {
  std::printf("    %-26s %s\n", aName.c_str(), aValue.c_str());
}

// Shows every child of the result document's root as "name value" (Text left out).
void ResultFields(const std::string& aXml) {
  pugi::xml_document document;
  base::ParseXml(document, aXml);
  for (pugi::xml_node child : document.document_element().children()) {
    if (std::string(child.name()) == "Text") continue;
    Field(child.name(), child.text().get());
  }
}

bool Failed(const CallResult& aResult) {
  if (aResult.code == 0) return false;
  std::cout << "    FAILED (" << aResult.code
            << "): " << (aResult.error.empty() ? "(no error text)" : aResult.error) << "\n";
  return true;
}

void ShowReceipt(const CallResult& aResult, ReceiptPrinter* aPrinter, bool aShowXml) {
  pugi::xml_document document;
  base::ParseXml(document, aResult.output);
  pugi::xml_node receipt = document.document_element().child("Receipt");
  std::printf("    receipt %s   Z-report %s   %s   total %s\n",
              receipt.child("Number").text().get(), receipt.child("ZReportNumber").text().get(),
              receipt.child("DateTime").text().get(), receipt.child("TotalAmount").text().get());
  if (aPrinter != nullptr) {
    std::cout << "\n";
    Indented(aPrinter->Layout(aResult.output));
  }
  if (aShowXml) Indented(aResult.output);
}

std::unique_ptr<ReceiptPrinter> OptionalPrinter() {
  try {
    return std::make_unique<ReceiptPrinter>();
  } catch (const Error& e) {
    std::cout << "    (receipts shown without layout: " << e.what() << ")\n";
    return nullptr;
  }
}

void ShowFiles(const std::string& aDataFolder, const std::string& aTill,
               const std::string& aLibrary) {
  Heading("Where the files went");
  std::string root = "C:\\QV_FPR_DB\\" + aTill + "\\";
  Field("drive C:", aDataFolder);
  Field("till folder", platform::NativePath(root));
  Field("counters file", platform::NativePath(root + "counters.actual.fprc"));
  Field("previous counters", platform::NativePath(root + "counters.previous.fprc"));
  Field("journal", platform::NativePath(root + "Processed") + "/<yyyymmdd>/");
  std::string folder = aLibrary.substr(0, aLibrary.find_last_of("/\\") + 1);
  Field("device logs", folder + "LogFiles/FiscalPrinter/");
  Field("lock file", "QVFP_CYKAVREN.Lock in the working directory");
}

}  // namespace

int RunDemo(const DemoOptions& aOptions) {
  std::string dataFolder = MapDriveC(aOptions.dataFolder);
  FiscalLibrary library(aOptions.library);
  std::cout << "Fiscal day of till " << aOptions.till.till << " through " << library.Path() << "\n";

  Heading("OPEN");
  CallResult opened = library.Call("OPEN", BuildRequest("OPEN", 0, aOptions.till));
  if (Failed(opened)) return 1;
  int32_t handle = opened.handle;
  Field("handle", std::to_string(handle));

  std::unique_ptr<ReceiptPrinter> printer = OptionalPrinter();
  std::vector<SampleReceipt> samples = SampleReceipts();
  int failures = 0;
  for (int i = 0; i < aOptions.receipts; ++i) {
    const SampleReceipt& sample = samples[i % samples.size()];
    Heading("PROCESSRECEIPT " + std::to_string(i + 1) + ": " + sample.title);
    CallResult result = library.Call(
        "PROCESSRECEIPT", BuildRequest("PROCESSRECEIPT", handle, aOptions.till, sample.receiptXml));
    if (Failed(result)) {
      ++failures;
      continue;
    }
    ShowReceipt(result, printer.get(), aOptions.showXml);
  }

  const std::pair<const char*, const char*> reports[] = {{"PROCESSGETSTATUS", "Status"},
                                                         {"PROCESSXREPORT", "X-report"},
                                                         {"PROCESSZREPORT", "Z-report"}};
  for (const auto& [exportName, title] : reports) {
    Heading(std::string(exportName) + ": " + title);
    CallResult result = library.Call(exportName, BuildRequest(exportName, handle, aOptions.till));
    if (Failed(result)) ++failures;
    ResultFields(result.output);
    pugi::xml_document document;
    base::ParseXml(document, result.output);
    std::string text = document.document_element().child("Text").text().get();
    if (!text.empty()) {
      std::cout << "\n";
      Indented(text);
    }
    if (aOptions.showXml) Indented(result.output);
  }
  ShowFiles(dataFolder, aOptions.till.till, library.Path());
  return failures == 0 ? 0 : 1;
}

}  // namespace qv::host
