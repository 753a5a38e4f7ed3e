// qvfp run: a whole fiscal day from the example requests in one process, the handle of the
// OPEN carried into every later call, and the checks of the script's lines.
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/support/call_transcript.h"
#include "host/support/host_scratch.h"
#include "platform/file_system.h"

namespace qv::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// The "EXPORT file" lines of a script, comments and blank lines left out.
std::vector<std::pair<std::string, std::string>> ScriptLines(const std::string& aScript) {
  std::vector<std::pair<std::string, std::string>> lines;
  std::istringstream text(tHostScratch::ReadFile(aScript));
  std::string line;
  while (std::getline(text, line)) {
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::string exportName, file;
    if (words >> exportName >> file) lines.emplace_back(exportName, file);
  }
  return lines;
}

// The values of the Value elements of a receipt's trailer lines.
std::vector<std::string> TrailerValues(const std::string& aRequestXml) {
  std::vector<std::string> values;
  pugi::xml_document document;
  if (!document.load_string(aRequestXml.c_str())) return values;
  for (pugi::xml_node text :
       document.document_element().child("Receipt").child("TrailerMessages").children("Text")) {
    values.push_back(text.child("Value").text().get());
  }
  return values;
}

class QvfpRun : public ::testing::Test {
 protected:
  std::string WriteScript(const std::string& aText) const {
    std::string path = fScratch.Work() + "/test.script";
    tHostScratch::WriteFile(path, aText);
    return path;
  }
  tHostScratch fScratch;
};

TEST_F(QvfpRun, DayScriptNamesEveryExampleWithTheExportOfItsMethod) {
  std::string script = ExamplesFolder() + "day.script";
  std::set<std::string> named;
  for (const auto& [exportName, file] : ScriptLines(script)) {
    named.insert(file);
    std::string method = XmlValue(tHostScratch::ReadFile(ExamplesFolder() + file), "Method");
    EXPECT_EQ(method, exportName) << file;
  }
  for (const std::string& file : tHostScratch::FileNames(ExamplesFolder())) {
    if (file != "day.script") {
      EXPECT_EQ(named.count(file), 1u) << file << " is not in day.script";
    }
  }
}

TEST_F(QvfpRun, DayScriptRunsEveryExampleInOneProcess) {
  tQvfpRun run = fScratch.Run({"run", ExamplesFolder() + "day.script"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  std::vector<tPrintedCall> calls = ReadPrintedCalls(run.out);
  std::vector<std::pair<std::string, std::string>> lines =
      ScriptLines(ExamplesFolder() + "day.script");
  ASSERT_EQ(calls.size(), lines.size()) << run.out;
  ASSERT_EQ(calls.size(), 11u);
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].exportName, lines[i].first) << i;
    EXPECT_THAT(calls[i].file, ::testing::EndsWith("/" + lines[i].second)) << i;
    EXPECT_EQ(calls[i].code, 0) << lines[i].second << ": " << calls[i].error;
    EXPECT_EQ(calls[i].error, "(none)") << lines[i].second;
  }

  EXPECT_EQ(calls[0].handle, 1);

  const tPrintedCall& status = calls[1];
  EXPECT_EQ(XmlValue(status.output, "DayOpened"), "False");
  EXPECT_EQ(XmlValue(status.output, "FiscalMode"), "MF");
  EXPECT_EQ(XmlValue(status.output, "SerialNumber"), "EX1");

  // Six receipts: the counters number them 1 to 6, the host-numbered one keeps its 7.
  const char* numbers[] = {"1", "2", "3", "4", "5", "7"};
  const char* types[] = {"Sale", "Sale", "Refund", "Void", "InvoiceSale", "Sale"};
  for (int i = 0; i < 6; ++i) {
    const tPrintedCall& receipt = calls[2 + i];
    EXPECT_EQ(XmlValue(receipt.output, "Receipt/Number"), numbers[i]) << receipt.file;
    EXPECT_EQ(XmlValue(receipt.output, "Receipt/Type"), types[i]) << receipt.file;
    EXPECT_EQ(XmlValue(receipt.output, "Receipt/ZReportNumber"), "1") << receipt.file;
    EXPECT_EQ(XmlValue(receipt.output, "Handle"), "1") << receipt.file;
    std::vector<std::string> trailer = TrailerValues(receipt.output);
    ASSERT_EQ(trailer.size(), 5u) << receipt.file;
    EXPECT_EQ(trailer[0], "Thank you for your visit");
    EXPECT_EQ(trailer[1], "");
    EXPECT_EQ(trailer[2], "LEGAL RECEIPT") << receipt.file;
    EXPECT_NE(trailer[3] + trailer[4], "") << receipt.file << ": no signature";
  }
  EXPECT_THAT(calls[3].output, HasSubstr("Χωριάτικη σαλάτα"));
  EXPECT_THAT(calls[3].output, HasSubstr("Παράδοση κατ' οίκον"));
  EXPECT_EQ(XmlValue(calls[6].output, "Receipt/CustomerTaxCode"), "CY10000000X");

  // Sales 16.74 + 9.24 + 3.5, a refund of 3.5, a void of 1.2; the invoice counts no amount.
  const tPrintedCall& x = calls[8];
  EXPECT_EQ(XmlValue(x.output, "ReportNumber"), "1");
  EXPECT_EQ(XmlValue(x.output, "DayReceiptsNumber"), "6");
  EXPECT_EQ(XmlValue(x.output, "DayTotalAmount"), "24.78");
  EXPECT_THAT(XmlValue(x.output, "Text"), StartsWith("X-REPORT"));

  const tPrintedCall& z1 = calls[9];
  EXPECT_EQ(XmlValue(z1.output, "ReportNumber"), "1");
  EXPECT_EQ(XmlValue(z1.output, "DayReceiptsNumber"), "6");
  EXPECT_EQ(XmlValue(z1.output, "DayTotalAmount"), "24.78");
  EXPECT_EQ(XmlValue(z1.output, "DayRefundsAmount"), "3.5");
  EXPECT_EQ(XmlValue(z1.output, "DayVoidsAmount"), "1.2");
  EXPECT_EQ(XmlValue(z1.output, "GrandTotalAmount"), "24.78");
  std::string z1Text = XmlValue(z1.output, "Text");
  EXPECT_THAT(z1Text, StartsWith("Z-REPORT # 0001"));
  EXPECT_THAT(z1Text, HasSubstr("Cassa EX1"));
  EXPECT_THAT(z1Text, ::testing::EndsWith("LEGAL RECEIPT"));

  // The host's own text: its "Daily report" line becomes the Z number's title.
  const tPrintedCall& z2 = calls[10];
  EXPECT_EQ(XmlValue(z2.output, "ReportNumber"), "2");
  EXPECT_EQ(XmlValue(z2.output, "DayReceiptsNumber"), "0");
  EXPECT_EQ(XmlValue(z2.output, "DayTotalAmount"), "0");
  EXPECT_EQ(XmlValue(z2.output, "GrandTotalAmount"), "24.78");
  std::string z2Text = XmlValue(z2.output, "Text");
  EXPECT_THAT(z2Text, StartsWith("Z-REPORT # 0002"));
  EXPECT_THAT(z2Text, HasSubstr("Cafe Ledra - till 01"));
  EXPECT_THAT(z2Text, Not(HasSubstr("Daily report")));

  std::string day = fScratch.TillFolder("EX1") + "/Processed/" + TodayStamp();
  EXPECT_THAT(tHostScratch::FileNames(day),
              ElementsAre("0001-0000001.fprd", "0001-0000002.fprd", "0001-0000003.fprd",
                          "0001-0000004.fprd", "0001-0000005.fprd", "0001-0000007.fprd",
                          "0001-9999.fprd", "0002-9999.fprd"));
  std::string hostNumbered = tHostScratch::ReadFile(day + "/0001-0000007.fprd");
  EXPECT_THAT(hostNumbered, HasSubstr("<Number>7</Number>"));
  EXPECT_THAT(hostNumbered, HasSubstr("LEGAL RECEIPT"));
  std::string counters =
      tHostScratch::ReadFile(fScratch.TillFolder("EX1") + "/counters.actual.fprc");
  EXPECT_EQ(XmlValue(counters, "CurrentZReportNo"), "3") << counters;
  EXPECT_EQ(XmlValue(counters, "CurrentReceiptNo"), "0") << counters;
}

TEST_F(QvfpRun, KeepHandleSendsTheRequestAsItIs) {
  // The script's lines end with CR LF, as an editor on Windows writes them.
  // A status request without a processor: with --keep-handle it keeps its handle 0.
  std::string status = tHostScratch::ReadFile(ExamplesFolder() + "status.xml");
  status.replace(status.find("<Handle>1</Handle>"), 18, "<Handle>0</Handle>");
  tHostScratch::WriteFile(fScratch.Work() + "/status-0.xml", status);
  tHostScratch::WriteFile(fScratch.Work() + "/open.xml",
                          tHostScratch::ReadFile(ExamplesFolder() + "open.xml"));
  std::string script = WriteScript(
      "OPEN open.xml\r\n"
      "PROCESSGETSTATUS status-0.xml --keep-handle\r\n"
      "  PROCESSGETSTATUS   status-0.xml   # the handle of the OPEN\n");
  tQvfpRun run = fScratch.Run({"run", script});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  std::vector<tPrintedCall> calls = ReadPrintedCalls(run.out);
  ASSERT_EQ(calls.size(), 3u) << run.out;
  EXPECT_EQ(XmlValue(calls[1].output, "SerialNumber"), "");
  EXPECT_EQ(XmlValue(calls[2].output, "SerialNumber"), "EX1");
}

TEST_F(QvfpRun, FailedCallIsReportedAndTheScriptGoesOn) {
  tHostScratch::WriteFile(fScratch.Work() + "/open.xml",
                          tHostScratch::ReadFile(ExamplesFolder() + "open.xml"));
  tHostScratch::WriteFile(fScratch.Work() + "/status.xml",
                          tHostScratch::ReadFile(ExamplesFolder() + "status.xml"));
  // A receipt request without its Receipt element.
  tHostScratch::WriteFile(fScratch.Work() + "/no-receipt.xml",
                          tHostScratch::ReadFile(ExamplesFolder() + "status.xml"));
  std::string script =
      WriteScript("OPEN open.xml\nPROCESSRECEIPT no-receipt.xml\nPROCESSGETSTATUS status.xml\n");
  tQvfpRun run = fScratch.Run({"run", script});
  EXPECT_EQ(run.status, 1);
  std::vector<tPrintedCall> calls = ReadPrintedCalls(run.out);
  ASSERT_EQ(calls.size(), 3u) << run.out;
  EXPECT_EQ(calls[1].code, -1);
  EXPECT_NE(calls[1].error, "(none)");
  EXPECT_EQ(calls[2].code, 0);
  EXPECT_EQ(XmlValue(calls[2].output, "SerialNumber"), "EX1");
}

TEST_F(QvfpRun, ScriptLineWithoutFileOrWithAnUnknownFlagIsRefused) {
  tHostScratch::WriteFile(fScratch.Work() + "/open.xml",
                          tHostScratch::ReadFile(ExamplesFolder() + "open.xml"));
  for (const char* badLine : {"PROCESSGETSTATUS", "PROCESSGETSTATUS open.xml --handle"}) {
    std::string script = WriteScript(std::string("# day\nOPEN open.xml\n") + badLine + "\n");
    tQvfpRun run = fScratch.Run({"run", script});
    EXPECT_NE(run.status, 0) << badLine;
    EXPECT_THAT(run.err, HasSubstr(script + " line 3: expected \"EXPORT request-file "
                                            "[--keep-handle]\""))
        << badLine;
    // The script stops before its first call: the till was never opened.
    EXPECT_THAT(run.out, Not(HasSubstr("returned")));
    EXPECT_FALSE(platform::DirectoryExists(fScratch.TillFolder("EX1")));
  }
}

TEST_F(QvfpRun, UnknownExportOrMissingFileInAScriptIsNamed) {
  tHostScratch::WriteFile(fScratch.Work() + "/open.xml",
                          tHostScratch::ReadFile(ExamplesFolder() + "open.xml"));
  tQvfpRun unknown = fScratch.Run({"run", WriteScript("OPEN open.xml\nCLOSE open.xml\n")});
  EXPECT_NE(unknown.status, 0);
  EXPECT_THAT(unknown.err, HasSubstr("line 2: unknown export \"CLOSE\""));
  EXPECT_THAT(unknown.out, Not(HasSubstr("returned")));

  tQvfpRun missing = fScratch.Run({"run", WriteScript("OPEN gone.xml\n")});
  EXPECT_NE(missing.status, 0);
  EXPECT_THAT(missing.err, HasSubstr("Cannot read " + fScratch.Work() + "/gone.xml"));

  // A malformed request that would get the OPEN's handle is found before the first call.
  tHostScratch::WriteFile(fScratch.Work() + "/bad.xml", "<FiscalRequest><Handle>");
  tQvfpRun malformed =
      fScratch.Run({"run", WriteScript("OPEN open.xml\nPROCESSGETSTATUS bad.xml\n")});
  EXPECT_NE(malformed.status, 0);
  EXPECT_THAT(malformed.err, HasSubstr("qvfp: Malformed XML in " + fScratch.Work() + "/bad.xml: "));
  EXPECT_THAT(malformed.out, Not(HasSubstr("returned")));
  EXPECT_FALSE(platform::DirectoryExists(fScratch.TillFolder("EX1")));

  tQvfpRun noScript = fScratch.Run({"run", fScratch.Work() + "/none.script"});
  EXPECT_NE(noScript.status, 0);
  EXPECT_THAT(noScript.err, HasSubstr("none.script"));
}

}  // namespace
}  // namespace qv::testing
