// qvfp serve answers a keyed receipt or Z-report exactly once: repeats are answered from the
// first attempt, across restarts and after the service was killed at any moment, and an
// attempt that signed nothing leaves its key free.
#include <atomic>
#include <csignal>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "host/support/call_transcript.h"
#include "host/support/host_scratch.h"
#include "host/support/serve_process.h"

namespace qv::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Json = nlohmann::json;

Json Body(const httplib::Result& aResult) {
  return aResult ? Json::parse(aResult->body, nullptr, false) : Json();
}

std::string Cents(int aCents) {
  return std::to_string(aCents / 100) + "." + (aCents % 100 < 10 ? "0" : "") +
         std::to_string(aCents % 100);
}

class QvfpServeOnce : public ::testing::Test {
 protected:
  std::unique_ptr<tServeProcess> Start() {
    return std::make_unique<tServeProcess>(fScratch,
                                           std::vector<std::string>{"--till", "T1=KAVREN-1"});
  }
  static httplib::Result Post(httplib::Client& aClient, const std::string& aBody,
                              const std::string& aKey) {
    return aClient.Post("/v1/tills/T1/receipts", {{"Idempotency-Key", aKey}}, aBody,
                        "application/json");
  }
  std::string JournalFolder() const {
    return fScratch.TillFolder("T1") + "/Processed/" + TodayStamp();
  }
  // The RequestId of every journal file of today's folder, receipts only; with
  // aTemporary, of the journal files that a killed call left under their temporary name.
  std::map<std::string, int> JournalKeys(bool aTemporary = false) const {
    std::map<std::string, int> keys;
    for (const std::string& file : tHostScratch::FileNames(JournalFolder())) {
      if (file.find("-9999.") != std::string::npos) continue;
      bool temporary = file.front() == '.';
      if (temporary != aTemporary) continue;
      ++keys[XmlValue(tHostScratch::ReadFile(JournalFolder() + "/" + file), "RequestId")];
    }
    return keys;
  }
  // The key's lines in the keys log and the journal files that carry it, for a failure.
  std::string KeyHistory(const std::string& aKey) const {
    std::string history;
    std::istringstream lines(tHostScratch::ReadFile(KeysLog()));
    std::string line;
    while (std::getline(lines, line)) {
      if (line.find("\"" + aKey + "\"") != std::string::npos) history += line.substr(0, 120) + "\n";
    }
    for (const std::string& file : tHostScratch::FileNames(JournalFolder())) {
      std::string text = tHostScratch::ReadFile(JournalFolder() + "/" + file);
      if (XmlValue(text, "RequestId") == aKey) {
        history += file + " " + XmlValue(text, "Receipt/DateTime") + "\n";
      }
    }
    return history;
  }
  std::string ErrorsFolder() const { return fScratch.TillFolder("T1") + "/Errors/" + TodayStamp(); }
  // The error records of today whose kept request carries aKey.
  std::vector<std::string> ErrorRecordsOf(const std::string& aKey) const {
    std::vector<std::string> records;
    for (const std::string& file : tHostScratch::FileNames(ErrorsFolder())) {
      std::string text = tHostScratch::ReadFile(ErrorsFolder() + "/" + file);
      if (text.find("&lt;RequestId&gt;" + aKey + "&lt;/RequestId&gt;") != std::string::npos) {
        records.push_back(file);
      }
    }
    return records;
  }
  // The keys log without the lines that settled aKey: as the service leaves it when it is
  // killed after the library returned but before it kept what the attempt did.
  void UnsettleKey(const std::string& aKey) const {
    std::istringstream lines(tHostScratch::ReadFile(KeysLog()));
    std::string line, kept;
    while (std::getline(lines, line)) {
      bool settling = line.find("\"" + aKey + "\"") != std::string::npos &&
                      line.find("\"pending\"") == std::string::npos;
      if (!settling) kept += line + "\n";
    }
    tHostScratch::WriteFile(KeysLog(), kept);
  }
  std::string KeysLog() const { return fScratch.TillFolder("T1") + "/Service/RequestKeys.log"; }
  tHostScratch fScratch;
};

TEST_F(QvfpServeOnce, KeyedReceiptIsSignedOnceAndRepeatsAreAnsweredAcrossARestart) {
  auto service = Start();
  auto client = service->Client();
  httplib::Result first = Post(*client, SaleJson("4.2", "first"), "order-17");
  ASSERT_EQ(first->status, 201) << first->body;
  EXPECT_FALSE(first->has_header("Idempotent-Replayed"));
  httplib::Result repeat = Post(*client, SaleJson("4.2", "first"), "order-17");
  ASSERT_EQ(repeat->status, 201);
  EXPECT_EQ(repeat->get_header_value("Idempotent-Replayed"), "true");
  EXPECT_EQ(repeat->body, first->body);
  // The same receipt written differently is the same request.
  httplib::Result spacing = Post(*client, SaleJson("4.20", "first"), "order-17");
  EXPECT_EQ(spacing->status, 201);
  EXPECT_EQ(spacing->body, first->body);

  httplib::Result other = Post(*client, SaleJson("4.3", "first"), "order-17");
  EXPECT_EQ(other->status, 409);
  EXPECT_EQ(Body(other)["error"]["message"],
            "The Idempotency-Key order-17 was used with another request");
  EXPECT_EQ(client
                ->Post("/v1/tills/T1/zreport", {{"Idempotency-Key", "order-17"}}, "{}",
                       "application/json")
                ->status,
            409);

  service->Signal(SIGTERM);
  ASSERT_EQ(service->Wait(), 0);
  service = Start();
  client = service->Client();
  httplib::Result afterRestart = Post(*client, SaleJson("4.2", "first"), "order-17");
  ASSERT_EQ(afterRestart->status, 201);
  EXPECT_EQ(afterRestart->get_header_value("Idempotent-Replayed"), "true");
  EXPECT_EQ(afterRestart->body, first->body);
  EXPECT_EQ(Body(client->Get("/v1/tills/T1/xreport"))["dayReceiptsNumber"], 1);
  // The key travels in the journal file, at the request's root beside the receipt.
  EXPECT_THAT(JournalKeys(), ElementsAre(std::pair<const std::string, int>("order-17", 1)));

  // Without a key every request is a receipt of its own.
  EXPECT_EQ(Body(client->Post("/v1/tills/T1/receipts", SaleJson("4.2", "first"),
                              "application/json"))["number"],
            2);
  EXPECT_EQ(Body(client->Post("/v1/tills/T1/receipts", SaleJson("4.2", "first"),
                              "application/json"))["number"],
            3);
}

TEST_F(QvfpServeOnce, KeyedZReportClosesOneDay) {
  auto service = Start();
  auto client = service->Client();
  ASSERT_EQ(Post(*client, SaleJson("1.5", "z"), "sale")->status, 201);
  httplib::Result z = client->Post("/v1/tills/T1/zreport", {{"Idempotency-Key", "close-1"}},
                                   R"({"printText": false})", "application/json");
  ASSERT_EQ(z->status, 200) << z->body;
  EXPECT_EQ(Body(z)["reportNumber"], 1);
  EXPECT_EQ(Body(z)["dayTotalAmount"], "1.5");
  httplib::Result repeat = client->Post("/v1/tills/T1/zreport", {{"Idempotency-Key", "close-1"}},
                                        R"({"printText": false})", "application/json");
  EXPECT_EQ(repeat->status, 200);
  EXPECT_EQ(repeat->get_header_value("Idempotent-Replayed"), "true");
  EXPECT_EQ(repeat->body, z->body);
  EXPECT_EQ(Body(client->Get("/v1/tills/T1/xreport"))["reportNumber"], 2);
}

TEST_F(QvfpServeOnce, AttemptThatSignedNothingLeavesTheKeyFree) {
  auto service = Start();
  auto client = service->Client();
  fScratch.SetBoxControl("Sign.status=5\n");
  for (int attempt = 0; attempt < 2; ++attempt) {
    httplib::Result refused = Post(*client, SaleJson("2", "retry"), "retry-1");
    EXPECT_EQ(refused->status, 503);
    EXPECT_FALSE(refused->has_header("Idempotent-Replayed"));
  }
  httplib::Result malformed = Post(*client, R"({"Type": "Sale"})", "retry-2");
  EXPECT_EQ(malformed->status, 422);
  fScratch.SetBoxControl("");
  httplib::Result signedReceipt = Post(*client, SaleJson("2", "retry"), "retry-1");
  ASSERT_EQ(signedReceipt->status, 201);
  EXPECT_FALSE(signedReceipt->has_header("Idempotent-Replayed"));
  // The key of the malformed request may now carry a sound one.
  EXPECT_EQ(Post(*client, SaleJson("3", "other"), "retry-2")->status, 201);
  EXPECT_THAT(JournalKeys(), ElementsAre(std::pair<const std::string, int>("retry-1", 1),
                                         std::pair<const std::string, int>("retry-2", 1)));
}

TEST_F(QvfpServeOnce, KeyOfAnAttemptThatLeftAnUnsignedErrorRecordIsFreeAcrossARestart) {
  auto service = Start();
  auto client = service->Client();
  fScratch.SetBoxControl("Sign.status=5\n");
  httplib::Result refused = Post(*client, SaleJson("4.20", "refused"), "refused-key");
  ASSERT_EQ(refused->status, 503) << refused->body;
  ASSERT_EQ(ErrorRecordsOf("refused-key").size(), 1u) << ErrorsFolder();
  service->Signal(SIGKILL);
  service->Wait();
  UnsettleKey("refused-key");

  // The key is pending on disk: the till's error record says nothing was signed.
  fScratch.SetBoxControl("");
  service = Start();
  client = service->Client();
  httplib::Result signedReceipt = Post(*client, SaleJson("4.20", "refused"), "refused-key");
  ASSERT_EQ(signedReceipt->status, 201) << signedReceipt->body;
  EXPECT_FALSE(signedReceipt->has_header("Idempotent-Replayed"));
  EXPECT_EQ(Body(signedReceipt)["signature"].size(), 2u);
  httplib::Result repeat = Post(*client, SaleJson("4.20", "refused"), "refused-key");
  ASSERT_EQ(repeat->status, 201);
  EXPECT_EQ(repeat->get_header_value("Idempotent-Replayed"), "true");
  EXPECT_EQ(Body(repeat), Body(signedReceipt));
  EXPECT_THAT(JournalKeys(), ElementsAre(std::pair<const std::string, int>("refused-key", 1)));
  EXPECT_EQ(ErrorRecordsOf("refused-key").size(), 1u);
}

TEST_F(QvfpServeOnce, KeyOfAnAttemptThatLeftASignedErrorRecordIsBoundToItsFailure) {
  auto service = Start();
  auto client = service->Client();
  fScratch.SetBoxControl("Sign.status=5\n");
  ASSERT_EQ(Post(*client, SaleJson("9.10", "lost"), "lost-key")->status, 503);
  std::vector<std::string> records = ErrorRecordsOf("lost-key");
  ASSERT_EQ(records.size(), 1u) << ErrorsFolder();
  service->Signal(SIGKILL);
  service->Wait();
  UnsettleKey("lost-key");
  // The record as the library leaves it when the device signed and a later step failed.
  std::string path = ErrorsFolder() + "/" + records[0];
  std::string record = tHostScratch::ReadFile(path);
  size_t step = record.find("<Step>Signing</Step>");
  ASSERT_NE(step, std::string::npos) << record;
  record.replace(step, 20, "<Step>Journal</Step>");
  tHostScratch::WriteFile(path, record);

  fScratch.SetBoxControl("");
  service = Start();
  client = service->Client();
  httplib::Result bound = Post(*client, SaleJson("9.10", "lost"), "lost-key");
  ASSERT_EQ(bound->status, 500) << bound->body;
  EXPECT_EQ(bound->get_header_value("Idempotent-Replayed"), "true");
  EXPECT_EQ(Post(*client, SaleJson("9.10", "lost"), "lost-key")->body, bound->body);
  EXPECT_TRUE(JournalKeys().empty())
      << "a receipt was signed again for a key whose receipt was signed";
}

TEST_F(QvfpServeOnce, InterruptedAttemptIsResolvedFromTheTillsJournal) {
  auto service = Start();
  auto client = service->Client();
  httplib::Result signedReceipt = Post(*client, SaleJson("7", "signed"), "signed-key");
  ASSERT_EQ(signedReceipt->status, 201);
  service->Signal(SIGKILL);
  service->Wait();
  // As if the service had been killed after the library signed but before it kept the
  // answer, and another key after it was recorded but before the library was called.
  std::istringstream lines(tHostScratch::ReadFile(KeysLog()));
  std::string line, kept;
  while (std::getline(lines, line)) {
    if (line.find("\"answered\"") != std::string::npos) continue;
    kept += line + "\n";
    std::string pending = line;
    pending.replace(pending.find("signed-key"), 10, "unsent-key");
    kept += pending + "\n";
  }
  tHostScratch::WriteFile(KeysLog(), kept + "{\"key\":\"torn");

  service = Start();
  client = service->Client();
  httplib::Result resolved = Post(*client, SaleJson("7", "signed"), "signed-key");
  ASSERT_EQ(resolved->status, 201);
  EXPECT_EQ(resolved->get_header_value("Idempotent-Replayed"), "true");
  EXPECT_EQ(Body(resolved), Body(signedReceipt));
  httplib::Result unsent = Post(*client, SaleJson("7", "signed"), "unsent-key");
  ASSERT_EQ(unsent->status, 201);
  EXPECT_FALSE(unsent->has_header("Idempotent-Replayed"));
  EXPECT_EQ(Body(unsent)["number"], 2);
  EXPECT_THAT(JournalKeys(), ElementsAre(std::pair<const std::string, int>("signed-key", 1),
                                         std::pair<const std::string, int>("unsent-key", 1)));
}

TEST_F(QvfpServeOnce, InterruptedZReportIsResolvedFromTheTillsZNumber) {
  auto service = Start();
  auto client = service->Client();
  ASSERT_EQ(Post(*client, SaleJson("2.75", "day"), "day-sale")->status, 201);
  httplib::Result closed = client->Post("/v1/tills/T1/zreport", {{"Idempotency-Key", "close-a"}},
                                        "{}", "application/json");
  ASSERT_EQ(closed->status, 200) << closed->body;
  service->Signal(SIGKILL);
  service->Wait();
  // As if killed after the day was closed but before the answer was kept; and another key
  // recorded for the day that is open now, but never sent to the library.
  std::istringstream lines(tHostScratch::ReadFile(KeysLog()));
  std::string line, kept;
  while (std::getline(lines, line)) {
    if (line.find("\"answered\"") != std::string::npos &&
        line.find("close-a") != std::string::npos) {
      continue;
    }
    kept += line + "\n";
    if (line.find("\"close-a\"") != std::string::npos) {
      std::string unsent = line;
      unsent.replace(unsent.find("close-a"), 7, "close-b");
      unsent.replace(unsent.find("\"detail\":\"1\""), 12, "\"detail\":\"2\"");
      kept += unsent + "\n";
    }
  }
  tHostScratch::WriteFile(KeysLog(), kept);

  service = Start();
  client = service->Client();
  httplib::Result resolved = client->Post("/v1/tills/T1/zreport", {{"Idempotency-Key", "close-a"}},
                                          "{}", "application/json");
  ASSERT_EQ(resolved->status, 200) << resolved->body;
  EXPECT_EQ(resolved->get_header_value("Idempotent-Replayed"), "true");
  EXPECT_EQ(Body(resolved)["reportNumber"], 1);
  EXPECT_EQ(Body(resolved)["dayTotalAmount"], "2.75") << "from the Z-report's journal copy";
  EXPECT_EQ(Body(client->Get("/v1/tills/T1/xreport"))["reportNumber"], 2) << "closed once";
  httplib::Result fresh = client->Post("/v1/tills/T1/zreport", {{"Idempotency-Key", "close-b"}},
                                       "{}", "application/json");
  ASSERT_EQ(fresh->status, 200);
  EXPECT_FALSE(fresh->has_header("Idempotent-Replayed"));
  EXPECT_EQ(Body(fresh)["reportNumber"], 2);
}

TEST_F(QvfpServeOnce, TwentyClientsGetTwoHundredDistinctContiguousNumbersAndExactTotals) {
  auto service = Start();
  constexpr int kClients = 20, kReceipts = 10;
  std::mutex mutex;
  std::vector<int> numbers;
  std::vector<std::string> failures;
  std::vector<std::thread> clients;
  std::atomic<int> transportRetries{0};
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      auto client = service->Client();
      client->set_keep_alive(true);
      for (int i = 0; i < kReceipts; ++i) {
        int cents = c * kReceipts + i + 1;  // 0.01 to 2.00
        std::string key = "client-" + std::to_string(c) + "-" + std::to_string(i);
        // As a POS does: a lost connection is retried with the same key.
        httplib::Result answer = Post(*client, SaleJson(Cents(cents), key), key);
        for (int retry = 0; !answer && retry < 5; ++retry) {
          ++transportRetries;
          answer = Post(*client, SaleJson(Cents(cents), key), key);
        }
        std::lock_guard<std::mutex> lock(mutex);
        if (!answer || answer->status != 201) {
          failures.push_back(key + ": " +
                             (answer ? answer->body : httplib::to_string(answer.error())));
          continue;
        }
        Json body = Body(answer);
        numbers.push_back(body["number"]);
        if (body["receipt"]["ExternalReference"] != key)
          failures.push_back(key + ": another receipt");
      }
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_THAT(failures, ::testing::IsEmpty());
  std::set<int> distinct(numbers.begin(), numbers.end());
  EXPECT_EQ(numbers.size(), 200u);
  EXPECT_EQ(distinct.size(), 200u);
  EXPECT_EQ(*distinct.begin(), 1);
  EXPECT_EQ(*distinct.rbegin(), 200);
  auto client = service->Client();
  Json x = Body(client->Get("/v1/tills/T1/xreport"));
  EXPECT_EQ(x["dayTotalAmount"], "201");  // 0.01 + 0.02 + ... + 2.00
  EXPECT_EQ(x["grandTotalAmount"], "201");
  EXPECT_EQ(x["dayReceiptsNumber"], 200);
  EXPECT_EQ(Body(client->Get("/v1/tills/T1/journal")).size(), 200u);
  std::cout << "20 clients x 10 receipts; connections lost and retried with their key: "
            << transportRetries << "\n";
}

TEST_F(QvfpServeOnce, KilledAtRandomMomentsThenEveryKeyResentGivesOneJournalFilePerKey) {
  constexpr int kClients = 4, kKeysEach = 25;
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::vector<int> next(kClients, 0);  // each client's next key
  std::map<std::string, int> numbers;  // the number a key was answered with
  std::mutex mutex;
  std::vector<std::string> failures;
  auto keyOf = [](int aClient, int aIndex) {
    return "kill-" + std::to_string(aClient) + "-" + std::to_string(aIndex);
  };
  auto record = [&](const std::string& aKey, const httplib::Result& aAnswer) {
    std::lock_guard<std::mutex> lock(mutex);
    Json body = Body(aAnswer);
    if (aAnswer->status != 201) {
      failures.push_back(aKey + ": " + aAnswer->body);
      return;
    }
    if (body["receipt"]["ExternalReference"] != aKey)
      failures.push_back(aKey + ": another receipt");
    auto [known, added] = numbers.emplace(aKey, body["number"].get<int>());
    if (!added && known->second != body["number"]) {
      failures.push_back(aKey + ": answered " + std::to_string(known->second) + ", then " +
                         body["number"].dump());
    }
  };

  int kills = 0;
  for (int round = 0; round < 10; ++round) {
    bool done = true;
    for (int c = 0; c < kClients; ++c) done = done && next[c] == kKeysEach;
    if (done) break;
    auto service = Start();
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
      clients.emplace_back([&, c] {
        auto client = service->Client();
        while (next[c] < kKeysEach) {
          std::string key = keyOf(c, next[c]);
          httplib::Result answer = Post(*client, SaleJson(Cents(c * 100 + next[c] + 1), key), key);
          if (!answer) return;  // the service is gone: this key is sent again later
          record(key, answer);
          ++next[c];
        }
      });
    }
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::uniform_int_distribution<>(30, 350)(random)));
    if (service->Running()) {
      service->Signal(SIGKILL);
      ++kills;
    }
    for (std::thread& client : clients) client.join();
    service->Wait();
  }
  EXPECT_GE(kills, 1);

  // Every key once more, on a fresh start.
  auto service = Start();
  auto client = service->Client();
  for (int c = 0; c < kClients; ++c) {
    for (int i = 0; i < kKeysEach; ++i) {
      std::string key = keyOf(c, i);
      httplib::Result answer = Post(*client, SaleJson(Cents(c * 100 + i + 1), key), key);
      ASSERT_TRUE(answer);
      record(key, answer);
    }
  }
  EXPECT_THAT(failures, ::testing::IsEmpty());
  EXPECT_EQ(numbers.size(), static_cast<size_t>(kClients * kKeysEach));
  std::set<int> distinct;
  for (const auto& [key, number] : numbers) distinct.insert(number);
  EXPECT_EQ(distinct.size(), numbers.size()) << "two keys answered with one receipt";
  // A call killed between writing a journal file and renaming it into place leaves the
  // signed receipt under the temporary name: the key is answered with it, not signed again.
  std::map<std::string, int> journal = JournalKeys();
  std::map<std::string, int> unrenamed = JournalKeys(/*aTemporary=*/true);
  const size_t journalFiles = journal.size(), unrenamedFiles = unrenamed.size();
  for (const auto& [key, number] : numbers) {
    EXPECT_EQ(journal[key] + unrenamed[key], 1) << key << "\n" << KeyHistory(key);
    if (journal[key] == 0) continue;
    std::string file = JournalFolder() + "/0001-" +
                       std::string(7 - std::to_string(number).size(), '0') +
                       std::to_string(number) + ".fprd";
    EXPECT_EQ(XmlValue(tHostScratch::ReadFile(file), "RequestId"), key);
  }
  std::cout << "qvfp serve killed " << kills << " times; " << numbers.size() << " keys, "
            << journalFiles << " journal files, " << unrenamedFiles
            << " signed receipts left under a temporary name\n";
}

}  // namespace
}  // namespace qv::testing
