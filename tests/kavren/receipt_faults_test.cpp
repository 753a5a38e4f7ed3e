// Receipts processed in this process with a write, flush or rename of the till's files
// refused at every step in turn (the queue record, the counters, the journal file, and the
// recording of the failure itself): whatever fails, the till stays accounted for.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "framework/request_context.h"
#include "kavren/fiscal_processor_kavren.h"
#include "kavren/support/processor_session.h"
#include "kavren/support/till_audit.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "support/faulty_file_system.h"

namespace qv::testing {
namespace {

namespace fs = std::filesystem;
using platform::FileOperation;

// The signing processor of the session's till, opened in this process (the counters lock in
// the session's working folder), its files going through aFileSystem.
class tInProcessTill {
 public:
  explicit tInProcessTill(tProcessorSession& aSession,
                          platform::FileSystem& aFileSystem = platform::RealFileSystem())
      : fSession(aSession), fPreviousFolder(fs::current_path()) {
    fs::current_path(aSession.WorkFolder());
    fOpenRequest.Deserialize(aSession.Request(0), {});
    fProcessor = std::make_unique<kavren::kFiscalProcessor_KAVREN>(fOpenRequest, aFileSystem);
    fProcessor->Open(fOpenRequest);
  }
  ~tInProcessTill() {
    fProcessor.reset();
    fs::current_path(fPreviousFolder);
  }

  // Processes one receipt of aAmount: true when it was journaled.
  bool Receipt(const std::string& aAmount) {
    framework::kFiscalProcessorHandler request;
    request.Deserialize(fSession.Request(1, ReceiptXml(aAmount)), {framework::dt_Receipt});
    try {
      return fProcessor->ProcessReceipt(request);
    } catch (const Error&) {
      return false;
    }
  }

 private:
  tProcessorSession& fSession;
  fs::path fPreviousFolder;
  framework::kFiscalProcessorHandler fOpenRequest;
  std::unique_ptr<kavren::kFiscalProcessor_KAVREN> fProcessor;
};

// The refused operation, and whether the signing device refuses the receipt too (so that
// the refusals fall in the recording of the failure: the queue record noted, the amount
// taken back, the error record written).
using tFaultCase = std::tuple<FileOperation, bool>;

class ReceiptFaults : public ::testing::TestWithParam<tFaultCase> {
 protected:
  FileOperation Operation() const { return std::get<0>(GetParam()); }
  bool SigningRefused() const { return std::get<1>(GetParam()); }
  tFaultyFileSystem fFaulty;
};

TEST_P(ReceiptFaults, EveryStepRefusedInTurnLeavesTheTillAccountedFor) {
  int failed = 0;
  // Enough calls to reach past the journal file or through the recording of the failure.
  for (int nth = 1; nth <= 8; ++nth) {
    SCOPED_TRACE("refused call " + std::to_string(nth));
    tProcessorSession session;
    session.WriteCounters(0, 1);
    bool first = false;
    {
      tInProcessTill till(session, fFaulty);
      if (SigningRefused()) session.SetBoxControl("Sign.status=2");
      fFaulty.FailNth(Operation(), nth);
      first = till.Receipt("2.5");
      fFaulty.FailNth(Operation(), 0);
      session.SetBoxControl("");
      failed += first ? 0 : 1;
      EXPECT_TRUE(till.Receipt("4"));
    }
    // The next OPEN settles what the failure left.
    tInProcessTill reopened(session);
    const tTillAudit audit = AuditTill(session);
    EXPECT_TRUE(audit.faults.empty()) << FaultText(audit);
    std::string findings;
    EXPECT_EQ(VerifyTill(session, findings), 0) << findings;
    EXPECT_EQ(audit.Journaled() + audit.Failed(), audit.currentReceiptNo);
    EXPECT_GE(audit.Journaled(), 1);
    std::string steps;
    for (const auto& [number, files] : audit.numbers) {
      for (const tAccountedReceipt& file : files) steps += " " + (file.failed ? file.step : "ok");
    }
    std::printf("refused call %d: first receipt %s, numbers used %d:%s\n", nth,
                first ? "journaled" : "failed", audit.currentReceiptNo, steps.c_str());
  }
  // The refusals reached the receipt at least once.
  EXPECT_GT(failed, 0);
}

TEST(ReceiptQueue, AQueueFolderRemovedWhileTheTillRunsIsMadeAgain) {
  tProcessorSession session;
  session.WriteCounters(0, 1);
  tInProcessTill till(session);
  fs::remove_all(session.TillFolder() + "/Queue");
  EXPECT_TRUE(till.Receipt("1"));
  EXPECT_EQ(session.TodayJournalFiles(), std::vector<std::string>{"0001-0000001.fprd"});
  EXPECT_TRUE(session.QueueFiles().empty());
}

INSTANTIATE_TEST_SUITE_P(WriteFlushRename, ReceiptFaults,
                         ::testing::Combine(::testing::Values(FileOperation::Write,
                                                              FileOperation::Flush,
                                                              FileOperation::Rename),
                                            ::testing::Bool()),
                         [](const ::testing::TestParamInfo<tFaultCase>& aInfo) {
                           const FileOperation operation = std::get<0>(aInfo.param);
                           const std::string name = operation == FileOperation::Write   ? "Write"
                                                    : operation == FileOperation::Flush ? "Flush"
                                                                                        : "Rename";
                           return name +
                                  (std::get<1>(aInfo.param) ? "WhileRecordingARefusedReceipt" : "");
                         });

}  // namespace
}  // namespace qv::testing
