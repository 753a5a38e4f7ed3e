#include "base/application.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/regional_settings.h"
#include "support/file_status_assertions.h"

namespace qv::base {
namespace {

// What reached the fake application log, kept beyond the log's own life.
struct LogRecord {
  std::string fileName;
  std::string directory;
  std::vector<std::pair<tQV_MessageType, std::string>> entries;
  std::string movedTo;
  std::string renamedTo;
  bool destroyed = false;
};

class FakeLog : public LogSink {
 public:
  explicit FakeLog(std::shared_ptr<LogRecord> aRecord) : fRecord(std::move(aRecord)) {}
  ~FakeLog() override { fRecord->destroyed = true; }
  void Write(tQV_MessageType aEntryType, const std::string& aMessage) override {
    fRecord->entries.emplace_back(aEntryType, aMessage);
  }
  std::string LogDirectory() const override { return fRecord->directory; }
  std::string LogFileName() const override {
    return fRecord->directory + "\\" + fRecord->fileName + ".log";
  }
  void MoveToDirectory(const std::string& aDirectory) override { fRecord->movedTo = aDirectory; }
  void RenameFile(const std::string& aFileName) override { fRecord->renamedTo = aFileName; }

 private:
  std::shared_ptr<LogRecord> fRecord;
};

LogSinkFactory FakeFactory(const std::shared_ptr<LogRecord>& aRecord) {
  return [aRecord](const std::string& aFileName, const std::string& aDirectory) {
    aRecord->fileName = aFileName;
    aRecord->directory = aDirectory;
    return std::make_unique<FakeLog>(aRecord);
  };
}

tQV_ApplicationEnvironment Environment(std::vector<std::string> aCommandLine) {
  tQV_ApplicationEnvironment environment;
  environment.commandLine = std::move(aCommandLine);
  environment.executableFolder = "C:\\POS\\";
  environment.executableBaseName = "PosHost";
  environment.versionStrings = &LibraryVersionString;
  environment.instanceLockFolder = platform::TemporaryFolder();
  return environment;
}

class ApplicationTest : public ::testing::Test {
 protected:
  std::unique_ptr<tQV_Application> Make(std::vector<std::string> aCommandLine = {}) {
    return std::make_unique<tQV_Application>(FakeFactory(fLog), Environment(aCommandLine));
  }
  std::shared_ptr<LogRecord> fLog = std::make_shared<LogRecord>();
};

TEST_F(ApplicationTest, CreationOpensTheLogAndReadsVersionAndFlags) {
  auto application = Make({"request.xml", "/debug"});
  EXPECT_EQ(fLog->fileName, "PosHost");
  EXPECT_EQ(fLog->directory, "C:\\POS\\LogFiles");
  EXPECT_TRUE(application->IsDebug());
  EXPECT_FALSE(application->IsBatch());
  EXPECT_FALSE(application->IsTest());
  EXPECT_TRUE(application->TerminateOnExceptionIfBatch());
  EXPECT_EQ(application->Info().Version(), "1.06");
  EXPECT_EQ(application->Info().History().size(), 7u);
  EXPECT_EQ(application->GetTimerCount(), 0);
  EXPECT_TRUE(fLog->entries.empty());  // the log is opened, nothing is written at load
  application.reset();
  EXPECT_TRUE(fLog->destroyed);
}

TEST_F(ApplicationTest, FlagsAcceptValuesAndAnyCase) {
  auto application = Make({"/Batch=1", "/test:x"});
  EXPECT_TRUE(application->IsBatch());
  EXPECT_TRUE(application->IsTest());
  EXPECT_FALSE(application->IsDebug());
  auto plain = Make({"/batchmode"});
  EXPECT_FALSE(plain->IsBatch());
  plain->ForceIsBatch();
  EXPECT_TRUE(plain->IsBatch());
}

TEST_F(ApplicationTest, LogKeepsTheLastError) {
  auto application = Make();
  application->Log(let_info, "started");
  application->Log(let_error, "Read Timeout:ABC");
  application->Log(let_info, "later");
  EXPECT_EQ(application->LastError(), "Read Timeout:ABC");
  ASSERT_EQ(fLog->entries.size(), 3u);
  EXPECT_EQ(fLog->entries[1], std::make_pair(let_error, std::string("Read Timeout:ABC")));
}

TEST_F(ApplicationTest, UserMessagesGoToTheLog) {
  auto interactive = Make();
  interactive->ShowUserMessage(0, "All done");
  interactive->ShowUserMessage(1, "Printer offline");
  interactive->ShowUserMessage(7, "never shown");
  ASSERT_EQ(fLog->entries.size(), 2u);
  EXPECT_EQ(fLog->entries[0], std::make_pair(let_info, std::string("All done")));
  EXPECT_EQ(fLog->entries[1], std::make_pair(let_error, std::string("Printer offline")));
  EXPECT_EQ(interactive->LastError(), "");

  fLog->entries.clear();
  auto batch = Make({"/BATCH"});
  batch->ShowUserMessage(0, "info in batch");
  ASSERT_EQ(fLog->entries.size(), 1u);
  EXPECT_EQ(fLog->entries[0], std::make_pair(let_error, std::string("info in batch")));
  EXPECT_EQ(batch->LastError(), "info in batch");
}

TEST_F(ApplicationTest, MessagesOverTheWaitWindowHideItMeanwhile) {
  auto application = Make();
  application->Wait().Start("Printing");
  EXPECT_EQ(application->Wait().Caption(), "Attendere prego ...");
  application->ShowUserMessageOverWait(1, "Paper out");
  EXPECT_TRUE(application->Wait().Started());
  EXPECT_EQ(application->Wait().ExtraText(), "");
  ASSERT_EQ(fLog->entries.size(), 1u);
  application->SetLanguage("en");
  application->Wait().Start("");
  EXPECT_EQ(application->Wait().Caption(), "Wait please ...");
  application->Wait().Stop();
  EXPECT_FALSE(application->Wait().Started());
}

TEST_F(ApplicationTest, ErrorsAtApplicationLevelEndABatchRun) {
  auto interactive = Make();
  interactive->HandleException(std::runtime_error("Unexpected"));
  EXPECT_FALSE(interactive->Terminated());
  ASSERT_EQ(fLog->entries.size(), 1u);
  EXPECT_EQ(fLog->entries[0].second, "Unexpected");

  auto batch = Make({"/batch"});
  batch->HandleException(std::runtime_error("Fatal"));
  EXPECT_TRUE(batch->Terminated());
  EXPECT_EQ(batch->LastError(), "Fatal");

  auto tolerant = Make({"/batch"});
  tolerant->SetTerminateOnExceptionIfBatch(false);
  tolerant->HandleException(std::runtime_error(""));
  EXPECT_FALSE(tolerant->Terminated());
  EXPECT_EQ(fLog->entries.size(), 2u);  // an empty message shows nothing
}

TEST_F(ApplicationTest, GetMessageFallsBackToTheIdAndReplacesEscapedLineBreaks) {
  auto application = Make();
  EXPECT_EQ(application->GetMessage("NO_SUCH_ID"), "NO_SUCH_ID");
  EXPECT_EQ(application->GetMessage("Line one\\r\\nLine two"), "Line one\r\nLine two");
  EXPECT_EQ(application->GetMessage("Total %s: %d", {std::string("cash"), int64_t{3}}),
            "Total cash: 3");
  // The form with values does not replace the escapes.
  EXPECT_EQ(application->GetMessage("a\\r\\n%s", {std::string("b")}), "a\\r\\nb");

  application->LoadMessageLines("HELLO:Hello %s\r\nHELLO:second wins not\nBYE:Bye\\r\\nnow:x\n");
  EXPECT_EQ(application->GetMessage("HELLO", {std::string("Maria")}), "Hello Maria");
  EXPECT_EQ(application->GetMessage("BYE"), "Bye\r\nnow");
  application->LoadMessageLines("GREET_en:Hi\nGREET_it:Ciao\n");
  application->SetDefaultLanguage("it");
  EXPECT_EQ(application->GetMessage("GREET"), "Ciao");
  application->SetLanguage("en");
  EXPECT_EQ(application->GetMessage("GREET"), "Hi");
}

TEST_F(ApplicationTest, SetupValuesIgnoreTheCaseOfNames) {
  auto application = Make();
  tQV_Setup& setup = application->Setup();
  setup.SetValue("Port", int64_t{1});
  EXPECT_EQ(setup.GetValue("PORT"), tQV_SetupValue(int64_t{1}));
  setup.SetValue("port", std::string("COM3"));
  EXPECT_EQ(setup.GetValue("Port"), tQV_SetupValue(std::string("COM3")));
  ASSERT_EQ(setup.Entries().size(), 1u);
  EXPECT_EQ(setup.Entries()[0].Name(), "Port");
  setup.Define("Port");
  EXPECT_TRUE(std::holds_alternative<std::monostate>(setup.GetValue("Port")));
  setup.Define("Other");
  EXPECT_EQ(setup.Entries().size(), 2u);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(setup.GetValue("Missing")));
}

TEST_F(ApplicationTest, TimersMeasureFromTheTimeOfDay) {
  auto application = Make();
  platform::LocalTime now{2023, 8, 9, 10, 0, 0, 0};
  platform::OverrideClock([&now] { return now; });
  application->StartTimer();
  now.second = 2;
  now.millisecond = 500;
  application->StartTimer();
  now.second = 3;
  now.millisecond = 0;
  const int32_t inner = application->GetTimerValue();
  const int count = application->GetTimerCount();
  const int32_t innerStopped = application->StopTimer();
  const int32_t outer = application->StopTimer();
  platform::OverrideClock({});
  EXPECT_EQ(inner, 500);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(innerStopped, 500);
  EXPECT_EQ(outer, 3000);
  EXPECT_EQ(application->GetTimerCount(), 0);
  try {
    application->StopTimer();
    FAIL() << "a timer stopped without running";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Unbalanced stack or queue operation");
  }
  EXPECT_THROW(application->GetTimerValue(), Error);
}

TEST_F(ApplicationTest, LogLocationChangesGoToTheLog) {
  auto application = Make();
  EXPECT_EQ(application->GetLogDirectory(), "C:\\POS\\LogFiles");
  EXPECT_EQ(application->GetLogFileName(), "C:\\POS\\LogFiles\\PosHost.log");
  application->ChangeLogDirectory("Night");
  EXPECT_EQ(fLog->movedTo, "C:\\POS\\LogFiles\\Night");
  application->ChangeLogDirectory("D:\\Logs");
  EXPECT_EQ(fLog->movedTo, "D:\\Logs");
  application->ChangeLogFilename("other.txt");
  EXPECT_EQ(fLog->renamedTo, "other.txt");
}

TEST_F(ApplicationTest, NotifyIconIsRecordedAndRemovedAtDestruction) {
  auto application = Make();
  application->CreateNotifyIcon(0x1234);
  EXPECT_TRUE(application->NotifyIcon());
  EXPECT_EQ(application->IconData().window, 0x1234u);
  EXPECT_EQ(application->IconData().callbackMessage, 1124u);
  EXPECT_EQ(application->IconData().iconId, 1u);
  application.reset();
  ASSERT_EQ(fLog->entries.size(), 2u);
  EXPECT_EQ(fLog->entries[0].second, "Notify icon added");
  EXPECT_EQ(fLog->entries[1].second, "Notify icon removed");
}

TEST_F(ApplicationTest, SingleInstanceExcludesASecondHolder) {
  // A name of this process's own, so that test runs side by side do not meet.
  const auto guarded = [this](std::vector<std::string> aCommandLine) {
    tQV_ApplicationEnvironment environment = Environment(std::move(aCommandLine));
    environment.executableBaseName = "PosHost" + std::to_string(platform::ProcessId());
    return std::make_unique<tQV_Application>(FakeFactory(fLog), environment);
  };
  auto first = guarded({});
  auto second = guarded({"/batch"});
  first->SetSingleInstance(true);
  EXPECT_TRUE(first->SingleInstance());
  EXPECT_FALSE(first->Terminated());
  second->SetSingleInstance(true);
  EXPECT_TRUE(second->Terminated());
  EXPECT_EQ(second->LastError(), "Impossible to enter single instance mode.");

  first->SetSingleInstance(false);
  auto third = guarded({});
  third->SetSingleInstance(true);
  EXPECT_FALSE(third->Terminated());
  third.reset();
  EXPECT_TRUE(
      StatusOk(platform::DeleteFile(platform::TemporaryFolder() + "PosHost" +
                                    std::to_string(platform::ProcessId()) + ".instance.lock")));
}

TEST_F(ApplicationTest, AWrongReleaseDateFailsCreation) {
  tQV_ApplicationEnvironment environment = Environment({});
  environment.versionStrings = [](int aId) -> std::optional<std::string> {
    if (aId == 10000) return "$VERSION=1";
    if (aId == 10001) return "$RELEASEDATE=31/02/2021";
    return std::nullopt;
  };
  try {
    tQV_Application application(FakeFactory(fLog), environment);
    FAIL() << "created with 31 February";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Invalid argument to date encode");
  }
  EXPECT_TRUE(fLog->destroyed);  // the log opened before the failure is closed again
}

TEST_F(ApplicationTest, TheProcessWideObjectLivesFromLoadToUnload) {
  ASSERT_EQ(Application(), nullptr);
  EXPECT_EQ(ApplicationVersion(), "");
  EXPECT_EQ(DriverVersionText(), "Version  - ");
  ShowUserMessage(1, "nobody listens");  // no object: nothing happens

  tQV_Application& created = CreateApplication(FakeFactory(fLog));
  EXPECT_EQ(Application(), &created);
  EXPECT_THROW(CreateApplication(FakeFactory(fLog)), Error);
  platform::RegionalSettings settings;
  settings.shortDateFormat = "dd/mm/yyyy";
  platform::OverrideRegionalSettings(settings);
  const std::string driverVersion = DriverVersionText();
  platform::OverrideRegionalSettings(std::nullopt);
  EXPECT_EQ(ApplicationVersion(), "1.06");
  EXPECT_EQ(driverVersion, "Version 1.06 - 09/08/2023");
  EXPECT_EQ(fLog->fileName, "base_tests");
  created.ForceIsBatch();
  ShowUserMessageOverWait(0, "through the module");
  EXPECT_EQ(created.LastError(), "through the module");

  DestroyApplication();
  EXPECT_EQ(Application(), nullptr);
  EXPECT_TRUE(fLog->destroyed);
  DestroyApplication();  // a second unload does nothing
}

}  // namespace
}  // namespace qv::base
