#include "kavren/support/processor_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <sstream>

#include <pugixml.hpp>

#include "base/date_time.h"
#include "kavren/support/child_process.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "support/file_status_assertions.h"
#include "support/host_transcript.h"

namespace qv::testing {

namespace fs = std::filesystem;

namespace {

void WriteOrFail(const std::string& aPath, const std::string& aText) {
  platform::ForceDirectories(fs::path(aPath).parent_path().string()).ThrowIfFailed();
  ASSERT_TRUE(StatusOk(platform::WriteWholeFile(aPath, aText)));
}

std::vector<std::string> FileNames(const std::string& aFolder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(aFolder, ignored)) {
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::string BuildBinFolder() { return QV_BIN_DIR; }

std::string FileText(const std::string& aPath) {
  std::string content;
  return platform::ReadWholeFile(aPath, content).IsOk() ? content : "";
}

std::string XmlElement(const std::string& aXml, const std::string& aName) {
  const std::string open = "<" + aName + ">";
  const std::size_t start = aXml.find(open);
  if (start == std::string::npos) return "";
  const std::size_t end = aXml.find("</" + aName + ">", start);
  return end == std::string::npos ? ""
                                  : aXml.substr(start + open.size(), end - start - open.size());
}

std::vector<std::string> TrailerValues(const std::string& aXml) {
  pugi::xml_document document;
  EXPECT_TRUE(document.load_string(aXml.c_str(), pugi::parse_default | pugi::parse_ws_pcdata));
  std::vector<std::string> values;
  const pugi::xml_node trailer =
      document.document_element().child("Receipt").child("TrailerMessages");
  for (const pugi::xml_node& text : trailer.children("Text")) {
    values.push_back(text.child("Value").text().get());
  }
  return values;
}

std::string TodayStamp() { return base::FormatDateTime("yyyymmdd", base::NowDateTime()); }

std::string ReceiptXml(const std::string& aAmount, const std::string& aType,
                       const std::optional<std::string>& aNumber) {
  std::string xml = "<Receipt><Type>" + aType + "</Type>";
  if (aNumber) xml += "<Number>" + *aNumber + "</Number>";
  xml += "<TotalAmount>" + aAmount + "</TotalAmount><Lines><ProductSale>" +
         "<Description>Espresso</Description><Quantity>1</Quantity><Price>" + aAmount +
         "</Price><Amount>" + aAmount + "</Amount></ProductSale></Lines><Taxes/>" +
         "<Payments><Payment><Type>Cash</Type><Amount>" + aAmount +
         "</Amount></Payment></Payments></Receipt>";
  return xml;
}

tProcessorSession::tProcessorSession(std::string aTill) : fTill(std::move(aTill)) {
  static std::atomic<int> counter{0};
  const int number = counter++;
  fFolder = platform::TemporaryFolder() + "qv_e2e_" + std::to_string(platform::ProcessId()) + "_" +
            std::to_string(number);
  std::error_code ignored;
  fs::remove_all(fFolder, ignored);
  platform::ForceDirectories(DriveC()).ThrowIfFailed();
  platform::ForceDirectories(TempFolder()).ThrowIfFailed();
  platform::ForceDirectories(WorkFolder()).ThrowIfFailed();
  fLogId = "E" + std::to_string(platform::ProcessId()) + "N" + std::to_string(number);
  fOldDriveC = platform::GetEnvironmentVariable("QVFP_DRIVE_C");
  fOldTemp = platform::GetEnvironmentVariable("TMPDIR");
  fOldSanitizer = platform::GetEnvironmentVariable("ASAN_OPTIONS");
  PrepareEnvironment();
}

tProcessorSession::~tProcessorSession() {
  platform::SetEnvironmentVariable("QVFP_DRIVE_C", fOldDriveC);
  platform::SetEnvironmentVariable("TMPDIR", fOldTemp);
  platform::SetEnvironmentVariable("ASAN_OPTIONS", fOldSanitizer);
  std::error_code ignored;
  fs::remove_all(fFolder, ignored);
  platform::DeleteFile(BuildBinFolder() + "/LogFiles/FiscalPrinter/" + kKavrenDriver + "_" +
                       fLogId + "_" + TodayStamp() + ".log")
      .IgnoreFailure();
}

void tProcessorSession::PrepareEnvironment() const {
  platform::SetEnvironmentVariable("QVFP_DRIVE_C", DriveC());
  platform::SetEnvironmentVariable("TMPDIR", TempFolder());
  // The processors a host opened are never destroyed (the library keeps them until it is
  // unloaded and then lets them go), so a sanitized host would report them at its exit.
  platform::SetEnvironmentVariable(
      "ASAN_OPTIONS",
      (fOldSanitizer && !fOldSanitizer->empty() ? *fOldSanitizer + ":" : std::string()) +
          "detect_leaks=0");
}

std::string tProcessorSession::Request(int32_t aHandle, const std::string& aRest,
                                       const std::string& aParameters) const {
  std::string xml =
      "<FiscalRequest><Type>FISCALPROCESSOR</Type><Driver/><LogId>" + fLogId + "</LogId>";
  if (aHandle != 0) xml += "<Handle>" + std::to_string(aHandle) + "</Handle>";
  xml += "<Parameters><Processor>" + std::string(kKavrenDriver) + "</Processor><FPTillSerial>" +
         fTill + "</FPTillSerial><ProcessorPort>COM9</ProcessorPort>" + aParameters +
         "</Parameters>" + aRest + "</FiscalRequest>";
  return xml;
}

std::string tProcessorSession::Call(const std::string& aExport, const std::string& aRequest) {
  return "@" + aExport + "\n" + aRequest + "\n";
}

std::vector<tHostCall> tProcessorSession::Run(const std::string& aScript,
                                              const std::string& aBinFolder) {
  const std::string bin = aBinFolder.empty() ? BuildBinFolder() : aBinFolder;
  const std::string scriptFile = fFolder + "/script.txt";
  WriteOrFail(scriptFile, aScript);
  PrepareEnvironment();
  ChildProcess host(bin + "/processor_host",
                    {bin + "/" + kKavrenDriver + ".so", "script", scriptFile}, WorkFolder());
  std::string output, line;
  while (host.ReadLine(line)) output += line + "\n";
  EXPECT_EQ(host.Wait(), 0) << output;
  return qv::testing::ParseHostTranscript<tHostCall>(output);
}

std::string tProcessorSession::TillFolder() const { return DriveC() + "/QV_FPR_DB/" + fTill; }

std::string tProcessorSession::TodayJournalFolder() const {
  return TillFolder() + "/Processed/" + TodayStamp();
}

std::vector<std::string> tProcessorSession::TodayJournalFiles() const {
  return FileNames(TodayJournalFolder());
}

std::string tProcessorSession::TodayErrorFolder() const {
  return TillFolder() + "/Errors/" + TodayStamp();
}

std::vector<std::string> tProcessorSession::TodayErrorFiles() const {
  return FileNames(TodayErrorFolder());
}

std::vector<std::string> tProcessorSession::QueueFiles() const {
  return FileNames(TillFolder() + "/Queue");
}

std::vector<std::string> tProcessorSession::TempFiles() const { return FileNames(TempFolder()); }

void tProcessorSession::SetBoxControl(const std::string& aText) const {
  const std::string path = DriveC() + "/AlgoBox/control.txt";
  if (aText.empty()) {
    platform::DeleteFile(path).IgnoreFailure();
  } else {
    WriteOrFail(path, aText);
  }
}

void tProcessorSession::SetPrinterControl(const std::string& aText) const {
  const std::string path = DriveC() + "/QVRP_GENERIC_10/control.txt";
  if (aText.empty()) {
    platform::DeleteFile(path).IgnoreFailure();
  } else {
    WriteOrFail(path, aText);
  }
}

void tProcessorSession::WriteCounters(int32_t aReceiptNo, int32_t aZReportNo,
                                      const std::map<std::string, std::string>& aAmounts) const {
  static const char* const kAmounts[] = {
      "DailyTotal",      "DailySales",         "DailyRefunds",    "DailyVoids",
      "DailyDiscounts",  "GrandTotalTotal",    "GrandTotalSales", "GrandTotalRefunds",
      "GrandTotalVoids", "GrandTotalDiscounts"};
  std::string xml = "<?xml version=\"1.0\"?>\n<FPRCounters><TillSerial>" + fTill +
                    "</TillSerial><CreatedAt>2023-08-01T08:00:00</CreatedAt>"
                    "<LastUpdatedAt>2023-08-09T09:39:19</LastUpdatedAt><CurrentReceiptNo>" +
                    std::to_string(aReceiptNo) + "</CurrentReceiptNo><CurrentZReportNo>" +
                    std::to_string(aZReportNo) + "</CurrentZReportNo>";
  for (const char* name : kAmounts) {
    const auto found = aAmounts.find(name);
    xml += std::string("<") + name + ">" + (found == aAmounts.end() ? "0" : found->second) + "</" +
           name + ">";
  }
  xml += "<TrainingMode>False</TrainingMode></FPRCounters>\n";
  WriteOrFail(CountersFile(), xml);
}

std::map<std::string, std::string> tProcessorSession::Counters() const {
  std::map<std::string, std::string> values;
  pugi::xml_document document;
  if (!document.load_file(CountersFile().c_str())) return values;
  for (const pugi::xml_node& child : document.document_element().children()) {
    values[child.name()] = child.text().get();
  }
  return values;
}

std::string tProcessorSession::LogText(const std::string& aBinFolder) const {
  const std::string bin = aBinFolder.empty() ? BuildBinFolder() : aBinFolder;
  return FileText(bin + "/LogFiles/FiscalPrinter/" + kKavrenDriver + "_" + fLogId + "_" +
                  TodayStamp() + ".log");
}

}  // namespace qv::testing
