#include "serve/request_keys.h"

#include <cmath>
#include <sstream>

#include <nlohmann/json.hpp>

#include "base/date_time.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace qv::host {

namespace {

using Json = nlohmann::json;

std::string FolderOf(const std::string& aPath) {
  size_t delimiter = aPath.find_last_of("\\/");
  return delimiter == std::string::npos ? std::string() : aPath.substr(0, delimiter);
}

std::string Line(const Json& aRecord) {
  return aRecord.dump(-1, ' ', /*ensure_ascii=*/false, Json::error_handler_t::replace) + "\n";
}

Json PendingLine(const std::string& aKey, const KeyRecord& aRecord) {
  return Json{{"key", aKey},
              {"state", "pending"},
              {"operation", aRecord.operation},
              {"request", aRecord.request},
              {"day", aRecord.day},
              {"detail", aRecord.detail}};
}

}  // namespace

int Today() { return static_cast<int>(std::floor(base::NowDateTime())); }

RequestKeys::RequestKeys(const std::string& aFile, int aRetentionDays) : fFile(aFile) {
  // A folder that cannot be made fails the rewrite below with the system's text.
  platform::ForceDirectories(FolderOf(aFile)).IgnoreFailure();
  std::string content;
  if (platform::FileExists(aFile)) platform::ReadWholeFile(aFile, content).ThrowIfFailed();
  std::istringstream lines(content);
  std::string line;
  while (std::getline(lines, line)) Apply(line);
  const int oldest = Today() - aRetentionDays;
  std::string compact;
  for (auto it = fKeys.begin(); it != fKeys.end();) {
    if (it->second.day < oldest) {
      it = fKeys.erase(it);
      continue;
    }
    compact += Line(PendingLine(it->first, it->second));
    if (it->second.state == KeyRecord::State::kAnswered) {
      compact += Line(Json{{"key", it->first},
                           {"state", "answered"},
                           {"status", it->second.status},
                           {"answer", it->second.answer}});
    }
    ++it;
  }
  platform::ReplaceFileAtomically(aFile, compact).ThrowIfFailed();
  fLog.Open(aFile).ThrowIfFailed();
}

void RequestKeys::Apply(const std::string& aLine) {
  Json record = Json::parse(aLine, nullptr, /*allow_exceptions=*/false);
  if (!record.is_object() || !record.contains("key") || !record["key"].is_string()) return;
  const std::string key = record["key"];
  const std::string state = record.value("state", "");
  if (state == "pending") {
    KeyRecord& entry = fKeys[key];
    entry = KeyRecord{};
    entry.operation = record.value("operation", "");
    entry.request = record.value("request", "");
    entry.day = record.value("day", 0);
    entry.detail = record.value("detail", "");
  } else if (state == "answered" && fKeys.count(key) != 0) {
    KeyRecord& entry = fKeys[key];
    entry.state = KeyRecord::State::kAnswered;
    entry.status = record.value("status", 500);
    entry.answer = record.value("answer", "");
  } else if (state == "freed") {
    fKeys.erase(key);
  }
}

void RequestKeys::Append(const std::string& aLine, bool aDurable) {
  fLog.Append(aLine, aDurable).ThrowIfFailed();
}

const KeyRecord* RequestKeys::Find(const std::string& aKey) const {
  auto found = fKeys.find(aKey);
  return found == fKeys.end() ? nullptr : &found->second;
}

void RequestKeys::RecordPending(const std::string& aKey, const std::string& aOperation,
                                const std::string& aRequest, const std::string& aDetail) {
  KeyRecord record;
  record.operation = aOperation;
  record.request = aRequest;
  record.day = Today();
  record.detail = aDetail;
  Append(Line(PendingLine(aKey, record)), /*aDurable=*/true);
  fKeys[aKey] = record;
}

// Not flushed to the disk: should it be lost with the machine, the pending line that stays
// is resolved again from the till's journal.
void RequestKeys::RecordAnswer(const std::string& aKey, int aStatus, const std::string& aAnswer) {
  Append(Line(Json{{"key", aKey}, {"state", "answered"}, {"status", aStatus}, {"answer", aAnswer}}),
         /*aDurable=*/false);
  KeyRecord& record = fKeys[aKey];
  record.state = KeyRecord::State::kAnswered;
  record.status = aStatus;
  record.answer = aAnswer;
}

void RequestKeys::Free(const std::string& aKey) {
  Append(Line(Json{{"key", aKey}, {"state", "freed"}}), /*aDurable=*/false);
  fKeys.erase(aKey);
}

}  // namespace qv::host
