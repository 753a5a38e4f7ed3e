#include "kavren/counters_store.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "base/currency.h"
#include "base/utils.h"
#include "kavren/support/child_process.h"
#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/lock_file.h"
#include "platform/process.h"
#include "support/faulty_file_system.h"
#include "support/file_status_assertions.h"

namespace qv::kavren {
namespace {

namespace fs = std::filesystem;
using base::Currency;
using documents::qvReceiptType;
using testing::ChildProcess;
using testing::HelperProgram;
using testing::tFaultyFileSystem;

Currency Amount(const char* aText) { return base::StrToCurrency(aText); }

std::string ReadBytes(const std::string& aPath) {
  std::ifstream in(aPath, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteBytes(const std::string& aPath, const std::string& aBytes) {
  std::ofstream out(aPath, std::ios::binary | std::ios::trunc);
  out << aBytes;
}

// The element texts of a counters file in document order, as "Name=value".
std::vector<std::string> ElementsOf(const std::string& aPath) {
  pugi::xml_document document;
  EXPECT_TRUE(document.load_file(aPath.c_str())) << aPath;
  std::vector<std::string> elements;
  for (pugi::xml_node child : document.document_element().children()) {
    elements.push_back(std::string(child.name()) + "=" + child.text().get());
  }
  return elements;
}

std::string ElementText(const std::string& aPath, const char* aName) {
  pugi::xml_document document;
  EXPECT_TRUE(document.load_file(aPath.c_str())) << aPath;
  return document.document_element().child(aName).text().get();
}

// A counters file as another tool might have written it, around the given body.
std::string CountersXml(const std::string& aBody) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><FPRCounters>" + aBody + "</FPRCounters>";
}

// Every test works in a folder of its own, which is also the working directory, so that the
// lock file of one test never meets another's.
class CountersStore : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> sequence{0};
    fPreviousDirectory = fs::current_path();
    fDir = (BaseFolder() / ("qv_counters_" + std::to_string(platform::ProcessId()) + "_" +
                            std::to_string(sequence++)))
               .string();
    fs::remove_all(fDir);
    fs::create_directories(fDir);
    fs::current_path(fDir);
    fFile = fDir + "/counters.actual.fprc";
  }
  void TearDown() override {
    fs::current_path(fPreviousDirectory);
    fs::remove_all(fDir);
  }

  virtual fs::path BaseFolder() const { return fs::temp_directory_path(); }

  // The file system of the stores whose writes, flushes, renames or locks a test refuses.
  tFaultyFileSystem fFaulty;

  std::string LockPath() const { return fDir + "/QVFP_CYKAVREN.Lock"; }

  // True when nobody holds the counters lock right now.
  bool LockIsFree() const {
    platform::LockFile probe;
    std::string error;
    return Ok(probe.TryAcquire(LockPath()), error);
  }

  std::vector<std::string> FilesInFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fDir)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path fPreviousDirectory;
  std::string fDir;
  std::string fFile;
};

// ---- A new till and an existing file --------------------------------------------------------

TEST_F(CountersStore, InitWithoutFileWritesANewFileInTheFixedOrder) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");

  std::vector<std::string> elements = ElementsOf(fFile);
  ASSERT_EQ(elements.size(), 16u);
  std::string createdAt = ElementText(fFile, "CreatedAt");
  EXPECT_EQ(elements[0], "TillSerial=T1");
  EXPECT_EQ(elements[1], "CreatedAt=" + createdAt);
  EXPECT_EQ(elements[2], "LastUpdatedAt=" + createdAt);
  EXPECT_EQ(elements[3], "CurrentReceiptNo=0");
  EXPECT_EQ(elements[4], "CurrentZReportNo=1");
  const char* amounts[] = {"DailyTotal",         "DailySales",        "DailyRefunds",
                           "DailyVoids",         "DailyDiscounts",    "GrandTotalTotal",
                           "GrandTotalSales",    "GrandTotalRefunds", "GrandTotalVoids",
                           "GrandTotalDiscounts"};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(elements[5 + i], std::string(amounts[i]) + "=0");
  EXPECT_EQ(elements[15], "TrainingMode=False");
  // yyyy-mm-ddThh:nn:ss, no fraction and no zone
  ASSERT_EQ(createdAt.size(), 19u);
  EXPECT_EQ(createdAt[10], 'T');

  EXPECT_EQ(counters.FileName(), fFile);
  EXPECT_EQ(counters.TillSerial(), "T1");
  EXPECT_EQ(counters.CurrentReceiptNo(), 0);
  EXPECT_EQ(counters.CurrentZReportNo(), 1);
  EXPECT_FALSE(counters.TrainingMode());
  EXPECT_EQ(base::DateTimeToXmlText(false, counters.CreatedAt()), createdAt);
  EXPECT_EQ(counters.CreatedAt(), counters.LastUpdatedAt());
}

TEST_F(CountersStore, InitWithAFileReadsItsFiguresAndKeepsTheGivenSerial) {
  WriteBytes(fFile, CountersXml("<TillSerial>OLD</TillSerial>"
                                "<CreatedAt>2023-08-09T09:39:19</CreatedAt>"
                                "<LastUpdatedAt>2023-08-10T10:00:00.250</LastUpdatedAt>"
                                "<CurrentReceiptNo>41</CurrentReceiptNo>"
                                "<CurrentZReportNo>7</CurrentZReportNo>"
                                "<DailyTotal>5</DailyTotal><DailySales>10</DailySales>"
                                "<DailyRefunds>4</DailyRefunds><DailyVoids>1</DailyVoids>"
                                "<DailyDiscounts>0.5</DailyDiscounts>"
                                "<GrandTotalTotal>105</GrandTotalTotal>"
                                "<GrandTotalSales>110</GrandTotalSales>"
                                "<GrandTotalRefunds>4</GrandTotalRefunds>"
                                "<GrandTotalVoids>1</GrandTotalVoids>"
                                "<GrandTotalDiscounts>2.25</GrandTotalDiscounts>"
                                "<TrainingMode>True</TrainingMode>"));
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");

  EXPECT_EQ(counters.TillSerial(), "T1");
  EXPECT_EQ(base::DateTimeToXmlText(false, counters.CreatedAt()), "2023-08-09T09:39:19");
  EXPECT_EQ(base::DateTimeToXmlText(true, counters.LastUpdatedAt()), "2023-08-10T10:00:00.250");
  EXPECT_EQ(counters.CurrentReceiptNo(), 41);
  EXPECT_EQ(counters.CurrentZReportNo(), 7);
  EXPECT_EQ(counters.DailyTotal(), Amount("5"));
  EXPECT_EQ(counters.DailySales(), Amount("10"));
  EXPECT_EQ(counters.DailyRefunds(), Amount("4"));
  EXPECT_EQ(counters.DailyVoids(), Amount("1"));
  EXPECT_EQ(counters.DailyDiscounts(), Amount("0.5"));
  EXPECT_EQ(counters.GrandTotalTotal(), Amount("105"));
  EXPECT_EQ(counters.GrandTotalSales(), Amount("110"));
  EXPECT_EQ(counters.GrandTotalRefunds(), Amount("4"));
  EXPECT_EQ(counters.GrandTotalVoids(), Amount("1"));
  EXPECT_EQ(counters.GrandTotalDiscounts(), Amount("2.25"));
  EXPECT_TRUE(counters.TrainingMode());

  counters.Save();
  EXPECT_EQ(ElementText(fFile, "TillSerial"), "T1");
  EXPECT_EQ(ElementText(fFile, "CreatedAt"), "2023-08-09T09:39:19");
  EXPECT_NE(ElementText(fFile, "LastUpdatedAt"), "2023-08-10T10:00:00");
  EXPECT_EQ(ElementText(fFile, "GrandTotalDiscounts"), "2.25");
  EXPECT_EQ(ElementText(fFile, "TrainingMode"), "True");
}

TEST_F(CountersStore, EveryFigureSavedReadsBackIntoItsOwnElement) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  // Distinct values, so that two figures that swapped elements would show.
  framework::qvDayFigures figures;
  figures.CurrentReceiptNo = 41;
  figures.CurrentReportNo = 7;
  figures.DailyTotal = Amount("5.01");
  figures.DailySales = Amount("10.02");
  figures.DailyRefunds = Amount("4.03");
  figures.DailyVoids = Amount("1.04");
  figures.DailyDiscounts = Amount("0.05");
  figures.GrandTotalTotal = Amount("105.06");
  figures.GrandTotalSales = Amount("110.07");
  figures.GrandTotalRefunds = Amount("4.08");
  figures.GrandTotalVoids = Amount("1.09");
  figures.GrandTotalDiscounts = Amount("2.1");
  counters.SetFigures(figures);
  counters.Save();

  std::vector<std::string> elements = ElementsOf(fFile);
  ASSERT_EQ(elements.size(), 16u);
  const std::vector<std::string> expected = {
      "CurrentReceiptNo=41",    "CurrentZReportNo=7",     "DailyTotal=5.01",
      "DailySales=10.02",       "DailyRefunds=4.03",      "DailyVoids=1.04",
      "DailyDiscounts=0.05",    "GrandTotalTotal=105.06", "GrandTotalSales=110.07",
      "GrandTotalRefunds=4.08", "GrandTotalVoids=1.09",   "GrandTotalDiscounts=2.1"};
  EXPECT_EQ(std::vector<std::string>(elements.begin() + 3, elements.begin() + 15), expected);

  kFiscalProcessorCounters reader;
  reader.Init(fFile, "T1");
  EXPECT_EQ(reader.Figures(), figures);
  EXPECT_EQ(reader.CurrentZReportNo(), 7);
  EXPECT_EQ(reader.GrandTotalDiscounts(), Amount("2.1"));
}

TEST_F(CountersStore, SystemPathsOnDriveCAreMappedToTheDriveFolder) {
  auto previous = platform::GetEnvironmentVariable("QVFP_DRIVE_C");
  platform::SetEnvironmentVariable("QVFP_DRIVE_C", fDir);
  fs::create_directories(fDir + "/QV_FPR_DB/T9");
  kFiscalProcessorCounters counters;
  counters.Init("C:\\QV_FPR_DB\\T9\\counters.actual.fprc", "T9");
  counters.Update(documents::rt_Sale, Amount("3"));
  platform::SetEnvironmentVariable("QVFP_DRIVE_C", previous);

  std::string mapped = fDir + "/QV_FPR_DB/T9/counters.actual.fprc";
  EXPECT_EQ(ElementText(mapped, "TillSerial"), "T9");
  EXPECT_EQ(ElementText(mapped, "CurrentReceiptNo"), "1");
}

// ---- Receipts and the Z-report --------------------------------------------------------------

TEST_F(CountersStore, SaleRefundAndVoidAddToTheirTotals) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  EXPECT_TRUE(counters.Update(documents::rt_Sale, Amount("10")));
  EXPECT_EQ(counters.CurrentReceiptNo(), 1);
  EXPECT_TRUE(counters.Update(documents::rt_Refund, Amount("4")));
  EXPECT_EQ(counters.CurrentReceiptNo(), 2);
  EXPECT_TRUE(counters.Update(documents::rt_Void, Amount("1")));
  EXPECT_EQ(counters.CurrentReceiptNo(), 3);

  EXPECT_EQ(counters.DailySales(), Amount("10"));
  EXPECT_EQ(counters.DailyRefunds(), Amount("4"));
  EXPECT_EQ(counters.DailyVoids(), Amount("1"));
  EXPECT_EQ(counters.DailyTotal(), Amount("5"));
  EXPECT_EQ(counters.GrandTotalSales(), Amount("10"));
  EXPECT_EQ(counters.GrandTotalRefunds(), Amount("4"));
  EXPECT_EQ(counters.GrandTotalVoids(), Amount("1"));
  EXPECT_EQ(counters.GrandTotalTotal(), Amount("5"));
  EXPECT_FALSE(counters.IsLocked());
  EXPECT_TRUE(LockIsFree());

  std::vector<std::string> elements = ElementsOf(fFile);
  ASSERT_EQ(elements.size(), 16u);
  EXPECT_EQ(elements[3], "CurrentReceiptNo=3");
  EXPECT_EQ(elements[4], "CurrentZReportNo=1");
  EXPECT_EQ(elements[5], "DailyTotal=5");
  EXPECT_EQ(elements[6], "DailySales=10");
  EXPECT_EQ(elements[7], "DailyRefunds=4");
  EXPECT_EQ(elements[8], "DailyVoids=1");
  EXPECT_EQ(elements[9], "DailyDiscounts=0");
  EXPECT_EQ(elements[10], "GrandTotalTotal=5");
  EXPECT_EQ(elements[11], "GrandTotalSales=10");
  EXPECT_EQ(elements[12], "GrandTotalRefunds=4");
  EXPECT_EQ(elements[13], "GrandTotalVoids=1");
  EXPECT_EQ(elements[14], "GrandTotalDiscounts=0");
}

TEST_F(CountersStore, TakingAReceiptBackKeepsItsNumberAndRestoresTheTotals) {
  kFiscalProcessorCounters counters(fFaulty);
  counters.Init(fFile, "T1");
  counters.Update(documents::rt_Sale, Amount("10"));
  counters.Update(documents::rt_Refund, Amount("4"));
  counters.Update(documents::rt_Void, Amount("1"));
  {
    tCountersLock lock(counters);
    counters.TakeBack(documents::rt_Refund, Amount("4"));
    counters.TakeBack(documents::rt_Void, Amount("1"));
    counters.TakeBack(documents::rt_InvoiceSale, Amount("99"));
  }
  EXPECT_TRUE(LockIsFree());
  EXPECT_EQ(ElementText(fFile, "CurrentReceiptNo"), "3");
  EXPECT_EQ(ElementText(fFile, "DailyRefunds"), "0");
  EXPECT_EQ(ElementText(fFile, "DailyVoids"), "0");
  EXPECT_EQ(ElementText(fFile, "DailyTotal"), "10");
  EXPECT_EQ(ElementText(fFile, "GrandTotalRefunds"), "0");
  EXPECT_EQ(ElementText(fFile, "GrandTotalTotal"), "10");
  EXPECT_EQ(counters.GrandTotalOf(documents::rt_Sale), Amount("10"));
  EXPECT_EQ(counters.GrandTotalOf(documents::rt_InvoiceSale), Currency());
  EXPECT_TRUE(kFiscalProcessorCounters::CountsAmount(documents::rt_Void));
  EXPECT_FALSE(kFiscalProcessorCounters::CountsAmount(documents::rt_InvoiceSaleFromReceipt));

  // A take-back that cannot be saved leaves the file and the figures as they were.
  const std::string before = ReadBytes(fFile);
  fFaulty.FailNth(platform::FileOperation::Rename, 1);
  EXPECT_THROW(counters.TakeBack(documents::rt_Sale, Amount("10")), Error);
  EXPECT_EQ(ReadBytes(fFile), before);
  EXPECT_EQ(counters.DailySales(), Amount("10"));
}

TEST_F(CountersStore, CountUnderTheCallersLockNumbersFromTheFiguresJustRead) {
  kFiscalProcessorCounters counters, other;
  counters.Init(fFile, "T1");
  other.Init(fFile, "T1");
  other.Update(documents::rt_Sale, Amount("2"));
  tCountersLock lock(counters);
  counters.Refresh();
  EXPECT_EQ(counters.CurrentReceiptNo() + 1, 2);
  counters.Count(documents::rt_Sale, Amount("3"));
  EXPECT_EQ(ElementText(fFile, "CurrentReceiptNo"), "2");
  EXPECT_EQ(ElementText(fFile, "DailySales"), "5");
  EXPECT_TRUE(counters.IsLocked());
}

TEST_F(CountersStore, InvoicesAndUnknownTypesAreNumberedWithoutAmounts) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  counters.Update(documents::rt_Sale, Amount("2"));
  counters.Update(documents::rt_InvoiceSale, Amount("100"));
  counters.Update(documents::rt_InvoiceSaleFromReceipt, Amount("100"));
  counters.Update(static_cast<qvReceiptType>(99), Amount("100"));

  EXPECT_EQ(counters.CurrentReceiptNo(), 4);
  EXPECT_EQ(ElementText(fFile, "CurrentReceiptNo"), "4");
  EXPECT_EQ(ElementText(fFile, "DailySales"), "2");
  EXPECT_EQ(ElementText(fFile, "DailyTotal"), "2");
  EXPECT_EQ(ElementText(fFile, "DailyRefunds"), "0");
  EXPECT_EQ(ElementText(fFile, "DailyVoids"), "0");
  EXPECT_EQ(ElementText(fFile, "GrandTotalTotal"), "2");
}

TEST_F(CountersStore, AmountsAreExactAndWrittenInTheirShortestForm) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  counters.Update(documents::rt_Sale, Amount("0.0001"));
  EXPECT_EQ(ElementText(fFile, "DailySales"), "0.0001");
  counters.Update(documents::rt_Sale, Amount("1234.4999"));
  EXPECT_EQ(ElementText(fFile, "DailySales"), "1234.5");
  // Amounts are added with their sign.
  counters.Update(documents::rt_Refund, Amount("-1234.5"));
  EXPECT_EQ(ElementText(fFile, "DailyRefunds"), "-1234.5");
  EXPECT_EQ(ElementText(fFile, "DailyTotal"), "2469");
  // Sums that floating point gets wrong stay exact.
  counters.Update(documents::rt_Void, Amount("0.1"));
  counters.Update(documents::rt_Void, Amount("0.2"));
  EXPECT_EQ(ElementText(fFile, "DailyVoids"), "0.3");
  EXPECT_EQ(ElementText(fFile, "GrandTotalTotal"), "2468.7");
  EXPECT_EQ(counters.GrandTotalTotal(), Amount("2468.7"));
}

TEST_F(CountersStore, ZClosesTheDayAndKeepsTheGrandTotals) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  counters.Update(documents::rt_Sale, Amount("10"));
  counters.Update(documents::rt_Refund, Amount("4"));
  counters.Update(documents::rt_Void, Amount("1"));
  counters.Refresh();
  counters.SetTrainingMode(true);
  framework::qvDayFigures figures = counters.Figures();
  figures.DailyDiscounts = Amount("0.75");
  figures.GrandTotalDiscounts = Amount("3.5");
  counters.SetFigures(figures);
  counters.Save();
  std::string createdAt = ElementText(fFile, "CreatedAt");

  counters.Lock();
  EXPECT_TRUE(counters.Z());
  counters.Unlock();

  EXPECT_EQ(counters.CurrentZReportNo(), 2);
  EXPECT_EQ(counters.CurrentReceiptNo(), 0);
  EXPECT_EQ(counters.DailyDiscounts(), Currency());
  std::vector<std::string> elements = ElementsOf(fFile);
  ASSERT_EQ(elements.size(), 16u);
  EXPECT_EQ(elements[1], "CreatedAt=" + createdAt);
  EXPECT_EQ(elements[3], "CurrentReceiptNo=0");
  EXPECT_EQ(elements[4], "CurrentZReportNo=2");
  EXPECT_EQ(elements[5], "DailyTotal=0");
  EXPECT_EQ(elements[6], "DailySales=0");
  EXPECT_EQ(elements[7], "DailyRefunds=0");
  EXPECT_EQ(elements[8], "DailyVoids=0");
  EXPECT_EQ(elements[9], "DailyDiscounts=0");
  EXPECT_EQ(elements[10], "GrandTotalTotal=5");
  EXPECT_EQ(elements[11], "GrandTotalSales=10");
  EXPECT_EQ(elements[12], "GrandTotalRefunds=4");
  EXPECT_EQ(elements[13], "GrandTotalVoids=1");
  EXPECT_EQ(elements[14], "GrandTotalDiscounts=3.5");
  EXPECT_EQ(elements[15], "TrainingMode=True");

  // The next day starts again at receipt 1 and adds to the grand totals.
  counters.Update(documents::rt_Sale, Amount("2"));
  EXPECT_EQ(counters.CurrentReceiptNo(), 1);
  EXPECT_EQ(counters.CurrentZReportNo(), 2);
  EXPECT_EQ(ElementText(fFile, "DailySales"), "2");
  EXPECT_EQ(ElementText(fFile, "GrandTotalSales"), "12");
}

TEST_F(CountersStore, ChangesOfAnotherStoreAreReadBeforeEveryChange) {
  kFiscalProcessorCounters first, second;
  first.Init(fFile, "T1");
  second.Init(fFile, "T1");
  first.Update(documents::rt_Sale, Amount("1"));
  second.Update(documents::rt_Sale, Amount("2"));
  first.Update(documents::rt_Sale, Amount("4"));
  EXPECT_EQ(first.CurrentReceiptNo(), 3);
  EXPECT_EQ(first.DailySales(), Amount("7"));
  EXPECT_EQ(second.CurrentReceiptNo(), 2);  // until it reads the file again
  second.Refresh();
  EXPECT_EQ(second.CurrentReceiptNo(), 3);
}

TEST_F(CountersStore, AVanishedFileIsWrittenAgainFromMemoryOnlyBySave) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  counters.Update(documents::rt_Sale, Amount("8"));
  fs::remove(fFile);
  counters.Refresh();
  EXPECT_FALSE(fs::exists(fFile));
  EXPECT_EQ(counters.CurrentReceiptNo(), 1);
  counters.Update(documents::rt_Sale, Amount("1"));
  EXPECT_EQ(ElementText(fFile, "CurrentReceiptNo"), "2");
  EXPECT_EQ(ElementText(fFile, "DailySales"), "9");
}

// ---- Reading files written elsewhere ---------------------------------------------------------

struct ForeignFile {
  const char* name;
  std::string bytes;
};

std::string Utf16(const std::string& aAscii, bool aBigEndian) {
  std::string out;
  for (char c : aAscii) {
    out += aBigEndian ? std::string{'\0', c} : std::string{c, '\0'};
  }
  return out;
}

const std::string kForeignBody =
    "<FPRCounters>\r\n"
    "\t<TrainingMode>TRUE</TrainingMode>\r\n"
    "\t<CurrentZReportNo> 3 </CurrentZReportNo>\r\n"
    "\t<CurrentReceiptNo>\n  41\n</CurrentReceiptNo>\r\n"
    "\t<DailySales>12.5</DailySales>\r\n"
    "\t<CreatedAt>2023-08-09T09:39:19</CreatedAt>\r\n"
    "</FPRCounters>\r\n";

std::vector<ForeignFile> ForeignFiles() {
  const std::string declaration16 = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>";
  return {
      {"no declaration", kForeignBody},
      {"blank lines before the declaration",
       "\r\n  \r\n<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>" + kForeignBody},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n" + kForeignBody},
      {"UTF-16 little-endian with mark", "\xFF\xFE" + Utf16(declaration16 + kForeignBody, false)},
      {"UTF-16 big-endian with mark", "\xFE\xFF" + Utf16(declaration16 + kForeignBody, true)},
      {"UTF-16 little-endian without mark", Utf16(declaration16 + kForeignBody, false)},
      {"Greek code page",
       "<?xml version='1.0' encoding='windows-1253'?><FPRCounters><TillSerial>\xD4\xC1\xCC"
       "</TillSerial>" +
           kForeignBody.substr(std::string("<FPRCounters>").size())},
      {"Latin-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + kForeignBody},
      {"declared UTF-16 but saved as UTF-8", declaration16 + kForeignBody},
  };
}

TEST_F(CountersStore, FilesWithAnyMarkEncodingOrLayoutAreRead) {
  for (const ForeignFile& foreign : ForeignFiles()) {
    SCOPED_TRACE(foreign.name);
    WriteBytes(fFile, foreign.bytes);
    kFiscalProcessorCounters counters;
    counters.Init(fFile, "T1");
    EXPECT_EQ(counters.CurrentReceiptNo(), 41);
    EXPECT_EQ(counters.CurrentZReportNo(), 3);
    EXPECT_EQ(counters.DailySales(), Amount("12.5"));
    EXPECT_TRUE(counters.TrainingMode());
    EXPECT_EQ(base::DateTimeToXmlText(false, counters.CreatedAt()), "2023-08-09T09:39:19");
    // Missing elements read as their defaults.
    EXPECT_EQ(counters.DailyRefunds(), Currency());
    EXPECT_EQ(counters.LastUpdatedAt(), 0.0);
    EXPECT_EQ(counters.TillSerial(), "T1");

    counters.Update(documents::rt_Sale, Amount("0.5"));
    EXPECT_EQ(ElementText(fFile, "CurrentReceiptNo"), "42");
    EXPECT_EQ(ElementText(fFile, "DailySales"), "13");
    EXPECT_EQ(ElementText(fFile, "TrainingMode"), "True");
  }
}

TEST_F(CountersStore, MissingAndEmptyElementsReadAsDefaults) {
  WriteBytes(fFile, CountersXml("<CurrentReceiptNo>5</CurrentReceiptNo><DailySales/>"
                                "<DailyVoids></DailyVoids><TrainingMode>1</TrainingMode>"));
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  EXPECT_EQ(counters.CurrentReceiptNo(), 5);
  EXPECT_EQ(counters.CurrentZReportNo(), 0);
  EXPECT_EQ(counters.DailySales(), Currency());
  EXPECT_EQ(counters.DailyVoids(), Currency());
  EXPECT_EQ(counters.CreatedAt(), 0.0);
  EXPECT_TRUE(counters.TrainingMode());

  WriteBytes(fFile, CountersXml("<TrainingMode>0</TrainingMode>"));
  counters.Refresh();
  EXPECT_FALSE(counters.TrainingMode());
  EXPECT_EQ(counters.CurrentReceiptNo(), 0);
}

// ---- Damaged files -------------------------------------------------------------------------

struct BadValue {
  std::string body;
  std::string message;
};

TEST_F(CountersStore, AValueThatDoesNotConvertFailsWithTheElementName) {
  std::vector<BadValue> cases = {
      {"<CurrentReceiptNo>abc</CurrentReceiptNo>",
       "Error in processing node CurrentReceiptNo as integer.\r\n"},
      {"<DailySales>12,5</DailySales>", "Error in processing node DailySales as currency.\r\n"},
      {"<TrainingMode>maybe</TrainingMode>",
       "Error in processing node TrainingMode as boolean.\r\n"},
      {"<CreatedAt>yesterday</CreatedAt>",
       "Error in processing node CreatedAt as datetime.\r\nDateTime Format invalid: [yesterday]"},
      {"<LastUpdatedAt></LastUpdatedAt>",
       "Error in processing node LastUpdatedAt as datetime.\r\nDateTime Format invalid: []"},
  };
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  counters.Update(documents::rt_Sale, Amount("6"));
  for (const BadValue& bad : cases) {
    SCOPED_TRACE(bad.body);
    std::string bytes = CountersXml("<DailyDiscounts>9</DailyDiscounts>" + bad.body);
    WriteBytes(fFile, bytes);
    try {
      counters.Refresh();
      ADD_FAILURE() << "no error";
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()).substr(0, bad.message.size()), bad.message);
    }
    // Nothing was taken from the damaged file.
    EXPECT_EQ(counters.CurrentReceiptNo(), 1);
    EXPECT_EQ(counters.DailySales(), Amount("6"));
    EXPECT_THROW(counters.Update(documents::rt_Sale, Amount("1")), Error);
    EXPECT_EQ(ReadBytes(fFile), bytes);
    EXPECT_TRUE(LockIsFree());
  }
}

// aText as UTF-32 with its byte-order mark; a code unit of aText above 0x7F stands for
// itself, so that values which are no character can be written too.
std::string Utf32(const std::u32string& aText, bool aBigEndian) {
  std::string out = aBigEndian ? std::string("\0\0\xFE\xFF", 4) : std::string("\xFF\xFE\0\0", 4);
  for (char32_t unit : aText) {
    for (int k = 0; k < 4; ++k) {
      const int shift = aBigEndian ? 8 * (3 - k) : 8 * k;
      out += static_cast<char>((static_cast<uint32_t>(unit) >> shift) & 0xFF);
    }
  }
  return out;
}

TEST_F(CountersStore, UnitsOfAUtf32FileThatAreNoCharacterReadAsReplacementCharacters) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  const std::string replacement = "\xEF\xBF\xBD";
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
    const std::u32string body = U"<FPRCounters><CurrentReceiptNo>4" + std::u32string(1, 0xD800) +
                                U"7" + std::u32string(1, 0x110000) +
                                U"</CurrentReceiptNo></FPRCounters>";
    const std::string bytes = Utf32(body, bigEndian);
    WriteBytes(fFile, bytes);
    try {
      counters.Refresh();
      ADD_FAILURE() << "no error";
    } catch (const Error& error) {
      // The message that reaches the log and the host is valid UTF-8.
      EXPECT_EQ(std::string(error.what()),
                "Error in processing node CurrentReceiptNo as integer.\r\n'4" + replacement + "7" +
                    replacement + "' is not a valid integer value");
    }
    EXPECT_EQ(ReadBytes(fFile), bytes);
  }

  WriteBytes(fFile, Utf32(U"<FPRCounters><TillSerial>" + std::u32string(1, 0xDFFF) +
                              U"</TillSerial><CurrentReceiptNo>41</CurrentReceiptNo>"
                              U"<DailySales>12.5</DailySales></FPRCounters>",
                          /*aBigEndian=*/false));
  counters.Update(documents::rt_Sale, Amount("0.5"));
  EXPECT_EQ(ElementText(fFile, "CurrentReceiptNo"), "42");
  EXPECT_EQ(ElementText(fFile, "DailySales"), "13");
}

TEST_F(CountersStore, AFileThatIsNotXmlFailsAndStaysUntouched) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  counters.Update(documents::rt_Sale, Amount("6"));
  for (std::string bytes : {std::string("<FPRCounters><CurrentReceiptNo>4</CurrentRec"),
                            std::string(""), std::string("not xml at all")}) {
    SCOPED_TRACE(bytes);
    WriteBytes(fFile, bytes);
    try {
      counters.Update(documents::rt_Sale, Amount("1"));
      ADD_FAILURE() << "no error";
    } catch (const Error& error) {
      EXPECT_FALSE(std::string(error.what()).empty());
    }
    EXPECT_EQ(ReadBytes(fFile), bytes);
    EXPECT_FALSE(counters.IsLocked());
    EXPECT_TRUE(LockIsFree());
    EXPECT_EQ(counters.CurrentReceiptNo(), 1);
    EXPECT_THROW(kFiscalProcessorCounters().Init(fFile, "T1"), Error);
  }
}

// ---- Failed saves --------------------------------------------------------------------------

TEST_F(CountersStore, AFailedSaveLeavesTheOldFileAndReleasesTheLock) {
  kFiscalProcessorCounters counters(fFaulty);
  counters.Init(fFile, "T1");
  counters.Update(documents::rt_Sale, Amount("10"));
  const std::vector<std::string> filesBefore = FilesInFolder();

  for (platform::FileOperation operation :
       {platform::FileOperation::Write, platform::FileOperation::Flush,
        platform::FileOperation::Rename}) {
    SCOPED_TRACE(static_cast<int>(operation));
    std::string before = ReadBytes(fFile);
    fFaulty.FailNth(operation, 1);
    try {
      counters.Update(documents::rt_Refund, Amount("3"));
      ADD_FAILURE() << "no error";
    } catch (const Error& error) {
      std::string expected = "Cannot write file \"";
      EXPECT_EQ(std::string(error.what()).substr(0, expected.size()), expected);
    }
    fFaulty.FailNth(operation, 0);
    EXPECT_EQ(ReadBytes(fFile), before);
    EXPECT_EQ(FilesInFolder(), filesBefore);  // no temporary file left behind
    EXPECT_FALSE(counters.IsLocked());
    EXPECT_TRUE(LockIsFree());
    // Memory holds what the file holds, not the change that was not saved.
    EXPECT_EQ(counters.CurrentReceiptNo(), 1);
    EXPECT_EQ(counters.DailyRefunds(), Currency());
    EXPECT_EQ(counters.DailyTotal(), Amount("10"));
  }

  counters.Update(documents::rt_Refund, Amount("3"));
  EXPECT_EQ(ElementText(fFile, "CurrentReceiptNo"), "2");
  EXPECT_EQ(ElementText(fFile, "DailyTotal"), "7");
}

TEST_F(CountersStore, AFailedZLeavesTheDayOpen) {
  kFiscalProcessorCounters counters(fFaulty);
  counters.Init(fFile, "T1");
  counters.Update(documents::rt_Sale, Amount("10"));
  std::string before = ReadBytes(fFile);

  counters.Lock();
  fFaulty.FailNth(platform::FileOperation::Rename, 1);
  EXPECT_THROW(counters.Z(), Error);
  counters.Unlock();

  EXPECT_EQ(ReadBytes(fFile), before);
  EXPECT_EQ(counters.CurrentZReportNo(), 1);
  EXPECT_EQ(counters.CurrentReceiptNo(), 1);
  EXPECT_EQ(counters.DailySales(), Amount("10"));
}

TEST_F(CountersStore, AnOverflowingTotalIsNotSaved) {
  WriteBytes(fFile, CountersXml("<CurrentReceiptNo>3</CurrentReceiptNo>"
                                "<GrandTotalSales>922337203685477</GrandTotalSales>"));
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  std::string before = ReadBytes(fFile);
  EXPECT_THROW(counters.Update(documents::rt_Sale, Amount("1")), Error);
  EXPECT_EQ(ReadBytes(fFile), before);
  EXPECT_EQ(counters.CurrentReceiptNo(), 3);
  EXPECT_TRUE(LockIsFree());
}

// ---- The lock ------------------------------------------------------------------------------

TEST_F(CountersStore, LockFileStaysInTheWorkingDirectoryAndCallsNest) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  EXPECT_TRUE(counters.Lock());
  EXPECT_TRUE(counters.IsLocked());
  EXPECT_FALSE(LockIsFree());
  // A Z-report holding the lock may count a receipt without waiting for itself.
  counters.Update(documents::rt_Sale, Amount("1"));
  EXPECT_TRUE(counters.IsLocked());
  EXPECT_TRUE(counters.Unlock());
  EXPECT_FALSE(counters.IsLocked());
  EXPECT_TRUE(LockIsFree());
  EXPECT_TRUE(counters.Unlock());  // harmless when not held
  EXPECT_TRUE(fs::exists(LockPath()));
}

TEST_F(CountersStore, ALockAttemptRefusedOnceIsRetried) {
  kFiscalProcessorCounters counters(fFaulty);
  counters.Init(fFile, "T1");
  fFaulty.FailNth(platform::FileOperation::Lock, 1);
  EXPECT_TRUE(counters.Update(documents::rt_Sale, Amount("2")));
  EXPECT_EQ(ElementText(fFile, "CurrentReceiptNo"), "1");
}

// Each store writes through the file system it was given: a refusal armed for one store
// never reaches another store of the process, even on the same file.
TEST_F(CountersStore, ARefusalReachesOnlyTheStoreGivenThatFileSystem) {
  kFiscalProcessorCounters refused(fFaulty), plain;
  refused.Init(fFile, "T1");
  plain.Init(fFile, "T1");
  fFaulty.FailNth(platform::FileOperation::Rename, 1);
  EXPECT_TRUE(plain.Update(documents::rt_Sale, Amount("1")));
  EXPECT_EQ(ElementText(fFile, "CurrentReceiptNo"), "1");
  EXPECT_THROW(refused.Update(documents::rt_Sale, Amount("2")), Error);
  EXPECT_EQ(ElementText(fFile, "CurrentReceiptNo"), "1");
  EXPECT_EQ(ElementText(fFile, "DailySales"), "1");
  EXPECT_TRUE(refused.Update(documents::rt_Sale, Amount("2"))) << "the refusal hit one call";
  EXPECT_EQ(ElementText(fFile, "CurrentReceiptNo"), "2");
}

TEST_F(CountersStore, TwoStoresOfOneProcessExcludeEachOther) {
  kFiscalProcessorCounters holder, counters;
  counters.Init(fFile, "T1");
  std::string before = ReadBytes(fFile);
  holder.Lock();
  try {
    counters.Update(documents::rt_Sale, Amount("2"));
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    std::string expected = "Cannot create file \"" + LockPath() + "\". ";
    std::string message = error.what();
    EXPECT_EQ(message.substr(0, expected.size()), expected);
    EXPECT_GT(message.size(), expected.size());  // the system's reason follows
  }
  EXPECT_EQ(ReadBytes(fFile), before);
  holder.Unlock();
  EXPECT_TRUE(counters.Update(documents::rt_Sale, Amount("2")));
}

TEST_F(CountersStore, ALockHeldByAnotherProcessForASecondIsWaitedFor) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  ChildProcess holder(HelperProgram("counters_lock_holder"), {"1000"}, fDir);
  std::string line;
  ASSERT_TRUE(holder.ReadLine(line));
  ASSERT_EQ(line, "locked");

  EXPECT_TRUE(counters.Update(documents::rt_Sale, Amount("2.5")));
  EXPECT_EQ(ElementText(fFile, "CurrentReceiptNo"), "1");
  EXPECT_EQ(ElementText(fFile, "DailySales"), "2.5");
  ASSERT_TRUE(holder.ReadLine(line));
  EXPECT_EQ(line, "released");  // the update could only happen after the release
  EXPECT_EQ(holder.Wait(), 0);
}

TEST_F(CountersStore, ALockHeldByAnotherProcessForFiveSecondsFails) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  counters.Update(documents::rt_Sale, Amount("4"));
  std::string before = ReadBytes(fFile);
  ChildProcess holder(HelperProgram("counters_lock_holder"), {"5000"}, fDir);
  std::string line;
  ASSERT_TRUE(holder.ReadLine(line));
  ASSERT_EQ(line, "locked");

  try {
    counters.Update(documents::rt_Sale, Amount("2"));
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    std::string expected = "Cannot create file \"" + LockPath() + "\". ";
    std::string message = error.what();
    EXPECT_EQ(message.substr(0, expected.size()), expected);
    EXPECT_GT(message.size(), expected.size());
  }
  EXPECT_EQ(ReadBytes(fFile), before);
  EXPECT_EQ(counters.CurrentReceiptNo(), 1);
  EXPECT_FALSE(counters.IsLocked());
  holder.Kill();
}

// The till's folder holds a lock file of its own, so that hosts of one till started in
// different working directories exclude each other.
class CountersStoreTillLock : public CountersStore {
 protected:
  void SetUp() override {
    CountersStore::SetUp();
    fTillFolder = fDir + "/till";
    fOtherWorkFolder = fDir + "/other";
    fs::create_directories(fTillFolder);
    fs::create_directories(fOtherWorkFolder);
    fFile = fTillFolder + "/counters.actual.fprc";
  }
  std::string TillLockPath() const { return fTillFolder + "/QVFP_CYKAVREN.Lock"; }
  bool TillLockIsFree() const {
    platform::LockFile probe;
    std::string error;
    return Ok(probe.TryAcquire(TillLockPath()), error);
  }

  std::string fTillFolder;
  std::string fOtherWorkFolder;
};

TEST_F(CountersStoreTillLock, BothLockFilesAreHeldAndReleasedTogether) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  ASSERT_TRUE(counters.Lock());
  EXPECT_FALSE(LockIsFree());
  EXPECT_FALSE(TillLockIsFree());
  counters.Update(documents::rt_Sale, Amount("1"));  // nested: waits for neither
  EXPECT_FALSE(TillLockIsFree());
  counters.Unlock();
  EXPECT_TRUE(LockIsFree());
  EXPECT_TRUE(TillLockIsFree());
  EXPECT_TRUE(fs::exists(TillLockPath())) << "the file stays on disk";
  EXPECT_EQ(ElementText(fFile, "CurrentReceiptNo"), "1");
}

TEST_F(CountersStoreTillLock, AHostOfTheTillInAnotherWorkingDirectoryIsWaitedFor) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  ChildProcess holder(HelperProgram("counters_lock_holder"), {"1000", fFile}, fOtherWorkFolder);
  std::string line;
  ASSERT_TRUE(holder.ReadLine(line));
  ASSERT_EQ(line, "locked");
  EXPECT_TRUE(LockIsFree()) << "the holder's working directory is another";

  EXPECT_TRUE(counters.Update(documents::rt_Sale, Amount("2.5")));
  ASSERT_TRUE(holder.ReadLine(line));
  EXPECT_EQ(line, "released");  // the update could only happen after the release
  EXPECT_EQ(holder.Wait(), 0);
  EXPECT_EQ(ElementText(fFile, "CurrentReceiptNo"), "1");
  EXPECT_EQ(ElementText(fFile, "DailySales"), "2.5");
}

TEST_F(CountersStoreTillLock, ATillLockHeldTooLongFailsNamingItAndHoldsNothing) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  const std::string before = ReadBytes(fFile);
  platform::LockFile other;
  std::string error;
  ASSERT_TRUE(StatusOk(other.TryAcquire(TillLockPath())));
  try {
    counters.Update(documents::rt_Sale, Amount("2"));
    ADD_FAILURE() << "no error";
  } catch (const Error& failure) {
    const std::string expected = "Cannot create file \"" + TillLockPath() + "\". ";
    const std::string message = failure.what();
    EXPECT_EQ(message.substr(0, expected.size()), expected);
    EXPECT_GT(message.size(), expected.size());  // the system's reason follows
  }
  EXPECT_EQ(ReadBytes(fFile), before);
  EXPECT_FALSE(counters.IsLocked());
  EXPECT_TRUE(LockIsFree()) << "the working directory's lock is given back";
  other.Release();
  EXPECT_TRUE(counters.Update(documents::rt_Sale, Amount("2")));
}

TEST_F(CountersStore, ATillFolderThatIsTheWorkingDirectoryHasOneLock) {
  // fFile lies in the working directory: the two lock files are one, taken once.
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  ASSERT_TRUE(counters.Update(documents::rt_Sale, Amount("1")));
  ASSERT_TRUE(counters.Lock());
  EXPECT_FALSE(LockIsFree());
  counters.Unlock();
  EXPECT_TRUE(LockIsFree());
}

// ---- Several processes on one file ---------------------------------------------------------

// Hundreds of saves by several processes: a memory file system keeps the waits for the disk
// out of the run time where the machine has one. What is checked (whole files, no number
// given twice) does not depend on the disk.
class CountersStoreProcesses : public CountersStore {
 protected:
  fs::path BaseFolder() const override {
    std::error_code error;
    if (fs::is_directory("/dev/shm", error)) return "/dev/shm";
    return CountersStore::BaseFolder();
  }
};

TEST_F(CountersStoreProcesses, FourProcessesCountingAtOnceNeverShareANumber) {
  kFiscalProcessorCounters reader;
  reader.Init(fFile, "T1");

  struct Till {
    const char* type;
    const char* amount;
  };
  const Till tills[] = {{"Sale", "1.25"}, {"Sale", "0.0001"}, {"Refund", "2.5"}, {"Void", "0.3"}};
  std::vector<std::unique_ptr<ChildProcess>> children;
  for (const Till& till : tills) {
    children.push_back(std::make_unique<ChildProcess>(
        HelperProgram("counters_updater"),
        std::vector<std::string>{fFile, "50", "30", till.type, till.amount}, fDir));
  }

  // While they count, the file is read without the lock, as a status call would.
  std::atomic<bool> done{false};
  std::vector<std::string> readerFaults;
  int reads = 0;
  std::thread watcher([&] {
    int lastSeen = 0;
    while (!done) {
      try {
        reader.Refresh();
        ++reads;
        if (reader.CurrentReceiptNo() < lastSeen) readerFaults.push_back("number went back");
        lastSeen = reader.CurrentReceiptNo();
        if (reader.DailyTotal() !=
            reader.DailySales() - reader.DailyRefunds() - reader.DailyVoids()) {
          readerFaults.push_back("daily total does not add up");
        }
      } catch (const Error& error) {
        readerFaults.push_back(error.what());
      }
    }
  });

  std::vector<std::vector<int>> numbers(children.size());
  std::vector<std::thread> readers;
  for (size_t i = 0; i < children.size(); ++i) {
    readers.emplace_back([&, i] {
      std::string line;
      while (children[i]->ReadLine(line)) numbers[i].push_back(std::stoi(line));
    });
  }
  for (std::thread& thread : readers) thread.join();
  std::vector<int> exitCodes;
  for (auto& child : children) exitCodes.push_back(child->Wait());
  done = true;
  watcher.join();

  EXPECT_EQ(exitCodes, std::vector<int>(4, 0));
  EXPECT_EQ(readerFaults, std::vector<std::string>());
  EXPECT_GT(reads, 0);
  std::vector<int> all;
  for (const auto& mine : numbers) {
    EXPECT_EQ(mine.size(), 50u);
    EXPECT_TRUE(std::is_sorted(mine.begin(), mine.end()));
    all.insert(all.end(), mine.begin(), mine.end());
  }
  std::sort(all.begin(), all.end());
  std::vector<int> expected(200);
  for (int i = 0; i < 200; ++i) expected[i] = i + 1;
  EXPECT_EQ(all, expected);

  reader.Refresh();
  EXPECT_EQ(reader.CurrentReceiptNo(), 200);
  EXPECT_EQ(reader.DailySales(), Amount("62.505"));
  EXPECT_EQ(reader.DailyRefunds(), Amount("125"));
  EXPECT_EQ(reader.DailyVoids(), Amount("15"));
  EXPECT_EQ(ElementText(fFile, "DailyTotal"), "-77.495");
  EXPECT_EQ(ElementText(fFile, "GrandTotalTotal"), "-77.495");
}

TEST_F(CountersStoreProcesses, AProcessKilledAnywhereLeavesAWholeFile) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "T1");
  std::mt19937 random(20230809);
  int completed = 0;
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    ChildProcess till(HelperProgram("counters_updater"), {fFile, "0", "0", "Sale", "1.25"}, fDir);
    std::string line;
    ASSERT_TRUE(till.ReadLine(line));
    int printed = std::stoi(line);
    EXPECT_EQ(printed, completed + 1);
    platform::SleepMilliseconds(static_cast<int>(random() % 15));
    till.Kill();
    while (till.ReadLine(line)) printed = std::stoi(line);
    till.Wait();

    // The file parses and counts every update that was saved: the ones the till reported,
    // and at most one more whose report the kill cut off.
    ASSERT_NO_THROW(counters.Refresh());
    int inFile = counters.CurrentReceiptNo();
    EXPECT_TRUE(inFile == printed || inFile == printed + 1) << inFile << " vs " << printed;
    EXPECT_EQ(counters.DailySales(), Amount("1.25") * Currency::FromInteger(inFile));
    EXPECT_EQ(counters.GrandTotalTotal(), counters.DailySales());
    completed = inFile;
  }
  EXPECT_GT(completed, 50);
  EXPECT_TRUE(LockIsFree());
}

}  // namespace
}  // namespace qv::kavren
