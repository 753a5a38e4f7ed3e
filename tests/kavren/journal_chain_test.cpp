#include "kavren/journal_chain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/sha256.h"
#include "support/faulty_file_system.h"

namespace qv::kavren {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const std::string& aPath) {
  std::ifstream in(aPath, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteBytes(const std::string& aPath, const std::string& aBytes) {
  std::ofstream(aPath, std::ios::binary | std::ios::trunc) << aBytes;
}

// SHA-256 over the raw bytes of two digests, worked out here without the chain's helpers.
std::string ChainOf(const platform::Sha256Digest& aPrevious, const platform::Sha256Digest& aFile) {
  std::string bytes(reinterpret_cast<const char*>(aPrevious.data()), aPrevious.size());
  bytes.append(reinterpret_cast<const char*>(aFile.data()), aFile.size());
  return platform::Sha256Hex(platform::Sha256(bytes));
}

platform::Sha256Digest DigestOfHex(const std::string& aHex) {
  platform::Sha256Digest digest{};
  for (std::size_t i = 0; i < digest.size(); ++i) {
    digest[i] = static_cast<std::uint8_t>(std::stoi(aHex.substr(2 * i, 2), nullptr, 16));
  }
  return digest;
}

// A till folder of its own for every test; its path is native, without a drive letter.
class JournalChain : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> sequence{0};
    fFolder = platform::TemporaryFolder() + "qv_chain_" + std::to_string(platform::ProcessId()) +
              "_" + std::to_string(sequence++);
    fs::remove_all(fFolder);
    fs::create_directories(fFolder + "/T1");
  }
  void TearDown() override { fs::remove_all(fFolder); }
  std::string Till() const { return fFolder + "/T1"; }
  std::string InTill(const std::string& aRelative) const { return Till() + "\\" + aRelative; }
  std::string ChainText(int aZ = 1) const { return ReadBytes(Till() + "/Journal/" + Name(aZ)); }
  long LineCount(int aZ = 1) const {
    const std::string text = ChainText(aZ);
    return std::count(text.begin(), text.end(), '\n');
  }
  static std::string Name(int aZ) { return JournalChainFileName(aZ); }

  std::string fFolder;
};

TEST_F(JournalChain, LinesHoldPathFileHashAndChainValueFromZeroBytes) {
  kJournalChain chain(Till());
  chain.Append(1, InTill("Processed\\20260109\\0001-0000001.fprd"), "first receipt");
  chain.Append(1, InTill("Processed\\20260109\\0001-0000002.fprd"), "second receipt");

  const platform::Sha256Digest first = platform::Sha256("first receipt");
  const platform::Sha256Digest second = platform::Sha256("second receipt");
  const std::string firstChain = ChainOf(platform::Sha256Digest{}, first);
  const std::string secondChain = ChainOf(DigestOfHex(firstChain), second);
  EXPECT_EQ(ChainText(), "Processed\\20260109\\0001-0000001.fprd " + platform::Sha256Hex(first) +
                             " " + firstChain + "\r\n" + "Processed\\20260109\\0001-0000002.fprd " +
                             platform::Sha256Hex(second) + " " + secondChain + "\r\n");
  EXPECT_EQ(NextChainValue(kInitialChainValue, platform::Sha256Hex(first)), firstChain);
}

TEST_F(JournalChain, EachZPeriodHasAChainFileOfItsOwnNamedByItsLastFourDigits) {
  kJournalChain chain(Till());
  EXPECT_EQ(JournalChainFileName(1), "0001.fpch");
  EXPECT_EQ(JournalChainFileName(12345), "2345.fpch");
  chain.Append(1, InTill("Processed\\20260109\\0001-9999.fprd"), "Z one");
  chain.Append(2, InTill("Processed\\20260109\\0002-0000001.fprd"), "a receipt");
  tJournalChainLine line;
  ASSERT_TRUE(ParseJournalChainLine(ChainText(2), line)) << ChainText(2);
  EXPECT_EQ(line.path, "Processed\\20260109\\0002-0000001.fprd");
  // The second period's chain starts afresh.
  EXPECT_EQ(line.chainValue, NextChainValue(kInitialChainValue, JournalFileHash("a receipt")));
  EXPECT_EQ(chain.ChainFilePath(2), Till() + "\\Journal\\0002.fpch");
}

TEST_F(JournalChain, ARepeatedStepDoesNotRecordTheSameFileTwice) {
  kJournalChain chain(Till());
  const std::string zCopy = InTill("Processed\\20260109\\0001-9999.fprd");
  chain.Append(1, zCopy, "figures");
  chain.Append(1, zCopy, "figures");
  EXPECT_EQ(LineCount(), 1) << ChainText();
  // The same name with other content is a new fact and gets its own line.
  chain.Append(1, zCopy, "other figures");
  EXPECT_EQ(LineCount(), 2) << ChainText();
}

TEST_F(JournalChain, HoldsFindsAFileWithItsContentAnywhereInTheChain) {
  kJournalChain chain(Till());
  const std::string first = InTill("Processed\\20260109\\0001-0000001.fprd");
  const std::string second = InTill("Errors\\20260109\\0001-0000002.fpre");
  EXPECT_FALSE(chain.Holds(1, first, "first receipt")) << "no chain yet";
  chain.Append(1, first, "first receipt");
  chain.Append(1, second, "failed receipt");
  EXPECT_TRUE(chain.Holds(1, first, "first receipt"));
  EXPECT_TRUE(chain.Holds(1, second, "failed receipt"));
  EXPECT_FALSE(chain.Holds(1, first, "changed receipt"));
  EXPECT_FALSE(chain.Holds(2, first, "first receipt"));
  EXPECT_THROW(chain.Holds(1, fFolder + "/elsewhere.fprd", "x"), Error);
}

TEST_F(JournalChain, AppendFileHashesTheFileAsItLiesOnDisk) {
  fs::create_directories(Till() + "/Processed/20260109");
  const std::string bytes("<FPRCounters>\r\n\xe9\x00</FPRCounters>", 32);
  WriteBytes(Till() + "/Processed/20260109/0001-9999.fprd", bytes);
  kJournalChain chain(Till());
  chain.AppendFile(1, InTill("Processed\\20260109\\0001-9999.fprd"));
  tJournalChainLine line;
  ASSERT_TRUE(ParseJournalChainLine(ChainText(), line));
  EXPECT_EQ(line.fileHash, JournalFileHash(bytes));
  EXPECT_THROW(chain.AppendFile(1, InTill("Processed\\20260109\\missing.fprd")), Error);
}

TEST_F(JournalChain, ALineThatACrashCutShortIsRemovedBeforeTheNextLine) {
  kJournalChain chain(Till());
  chain.Append(1, InTill("Processed\\20260109\\0001-0000001.fprd"), "one");
  const std::string whole = ChainText();
  WriteBytes(Till() + "/Journal/0001.fpch", whole + "Processed\\20260109\\0001-00000");
  chain.Append(1, InTill("Processed\\20260109\\0001-0000003.fprd"), "three");
  tJournalChainLine first, second;
  ASSERT_TRUE(ParseJournalChainLine(whole, first));
  const std::string text = ChainText();
  ASSERT_EQ(text.compare(0, whole.size(), whole), 0) << text;
  ASSERT_TRUE(ParseJournalChainLine(text.substr(whole.size()), second)) << text;
  EXPECT_EQ(second.path, "Processed\\20260109\\0001-0000003.fprd");
  EXPECT_EQ(second.chainValue, NextChainValue(first.chainValue, JournalFileHash("three")));

  // A chain whose only line was cut short starts from the zero bytes again.
  WriteBytes(Till() + "/Journal/0002.fpch", "Processed\\2026");
  chain.Append(2, InTill("Processed\\20260109\\0002-0000001.fprd"), "one");
  ASSERT_TRUE(ParseJournalChainLine(ChainText(2), second)) << ChainText(2);
  EXPECT_EQ(ChainText(2), FormatJournalChainLine(second));
  EXPECT_EQ(second.chainValue, NextChainValue(kInitialChainValue, JournalFileHash("one")));
}

TEST_F(JournalChain, ADamagedLastLineIsLeftForTheAuditorAndTheChainStartsAfresh) {
  fs::create_directories(Till() + "/Journal");
  const std::string damaged = "Processed\\20260109\\0001-0000001.fprd not-a-hash\r\n";
  WriteBytes(Till() + "/Journal/0001.fpch", damaged);
  kJournalChain chain(Till());
  EXPECT_FALSE(chain.Append(1, InTill("Processed\\20260109\\0001-0000002.fprd"), "two"));
  tJournalChainLine line;
  ASSERT_EQ(ChainText().compare(0, damaged.size(), damaged), 0) << ChainText();
  ASSERT_TRUE(ParseJournalChainLine(ChainText().substr(damaged.size()), line)) << ChainText();
  EXPECT_EQ(line.chainValue, NextChainValue(kInitialChainValue, JournalFileHash("two")));
  // The chain goes on from the new line.
  EXPECT_TRUE(chain.Append(1, InTill("Processed\\20260109\\0001-0000003.fprd"), "three"));

  // An unended piece longer than any chain line is not cut: the new line starts below it.
  const std::string garbage(5000, 'x');
  WriteBytes(Till() + "/Journal/0002.fpch", garbage);
  EXPECT_FALSE(chain.Append(2, InTill("Processed\\20260109\\0002-0000001.fprd"), "one"));
  ASSERT_EQ(ChainText(2).compare(0, garbage.size() + 2, garbage + "\r\n"), 0);
  ASSERT_TRUE(ParseJournalChainLine(ChainText(2).substr(garbage.size() + 2), line));
  EXPECT_EQ(line.path, "Processed\\20260109\\0002-0000001.fprd");
}

TEST_F(JournalChain, OnlyFilesOfTheTillsFolderAreRecorded) {
  kJournalChain chain(Till());
  EXPECT_THROW(chain.Append(1, fFolder + "/T2\\Processed\\x.fprd", "x"), Error);
  EXPECT_THROW(chain.Append(1, Till() + "\\", "x"), Error);
  EXPECT_FALSE(fs::exists(Till() + "/Journal/0001.fpch"));
}

TEST_F(JournalChain, AFailedWriteOrFlushFailsTheAppendAndTheChainStaysWhole) {
  qv::testing::tFaultyFileSystem faulty;
  kJournalChain chain(Till(), faulty);
  chain.Append(1, InTill("Processed\\d\\0001-0000001.fprd"), "one");
  const std::string before = ChainText();
  faulty.FailNth(platform::FileOperation::Write, 1);
  EXPECT_THROW(chain.Append(1, InTill("Processed\\d\\0001-0000002.fprd"), "two"), Error);
  EXPECT_EQ(ChainText(), before);
  faulty.FailNth(platform::FileOperation::Flush, 1);
  EXPECT_THROW(chain.Append(1, InTill("Processed\\d\\0001-0000002.fprd"), "two"), Error);
  // The line that was written but not confirmed is recognised when the step is repeated.
  chain.Append(1, InTill("Processed\\d\\0001-0000002.fprd"), "two");
  tJournalChainLine first, second;
  ASSERT_TRUE(ParseJournalChainLine(before, first));
  ASSERT_TRUE(ParseJournalChainLine(ChainText().substr(before.size()), second)) << ChainText();
  EXPECT_EQ(ChainText().size(), before.size() + FormatJournalChainLine(second).size());
  EXPECT_EQ(second.chainValue, NextChainValue(first.chainValue, JournalFileHash("two")));
}

TEST(JournalChainLine, ParsesFromTheRightSoThatPathsMayHoldBlanks) {
  const std::string hash(64, 'a');
  const std::string chain(64, '0');
  tJournalChainLine line;
  ASSERT_TRUE(
      ParseJournalChainLine("Processed\\my day\\x.fprd " + hash + " " + chain + "\r\n", line));
  EXPECT_EQ(line.path, "Processed\\my day\\x.fprd");
  EXPECT_EQ(line.fileHash, hash);
  EXPECT_EQ(line.chainValue, chain);
  EXPECT_TRUE(ParseJournalChainLine("p " + hash + " " + chain + "\n", line));
  EXPECT_FALSE(ParseJournalChainLine(" " + hash + " " + chain, line)) << "no path";
  EXPECT_FALSE(ParseJournalChainLine("p " + std::string(64, 'A') + " " + chain, line));
  EXPECT_FALSE(ParseJournalChainLine("p " + hash + "-" + chain, line));
  EXPECT_FALSE(ParseJournalChainLine("p " + hash.substr(1) + " " + chain, line));
  EXPECT_THROW(NextChainValue("00", hash), Error);
}

}  // namespace
}  // namespace qv::kavren
