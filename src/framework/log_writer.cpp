#include "framework/log_writer.h"

#include <cstdio>
#include <set>
#include <utility>

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/unicode.h"

namespace qv::framework {

namespace {

constexpr int kAppendAttempts = 10;
constexpr int kRetryDelayMs = 50;
constexpr int kSizeCheckInterval = 20;

// Every live writer, so that the library's unload can write out their queues although the
// processors that own them are never destroyed. Allocated once and never freed: writers
// owned by other static objects may outlive any static registry.
struct WriterRegistry {
  std::mutex mutex;
  std::set<tQV_LogWriter*> writers;
};

WriterRegistry& Registry() {
  static WriterRegistry* registry = new WriterRegistry;
  return *registry;
}

// Characters that no Windows path may hold.
bool HasInvalidPathChars(const std::string& aPath) {
  for (char c : aPath) {
    const auto code = static_cast<unsigned char>(c);
    if (code < 0x20 || c == '"' || c == '<' || c == '>' || c == '|') return true;
  }
  return false;
}

// "yyyy-mm-dd hh:mm:ss:zzz" (a colon before the milliseconds).
std::string LineTimeStamp(const platform::LocalTime& aTime) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d:%03d", aTime.year,
                aTime.month, aTime.day, aTime.hour, aTime.minute, aTime.second, aTime.millisecond);
  return buffer;
}

// "yyyymmdd", the date in a daily file name.
std::string FileDateStamp(const platform::LocalTime& aTime) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", aTime.year, aTime.month, aTime.day);
  return buffer;
}

// "yyyymmddhhnnsszzz", the time stamp of a file moved aside.
std::string RollOverStamp(const platform::LocalTime& aTime) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d%02d%02d%02d%02d%02d%03d", aTime.year, aTime.month,
                aTime.day, aTime.hour, aTime.minute, aTime.second, aTime.millisecond);
  return buffer;
}

// FileName without the extension of its file-name part.
std::string WithoutExtension(const std::string& aFileName) {
  const std::size_t namePart = aFileName.size() - LogFileNamePart(aFileName).size();
  const std::size_t dot = aFileName.rfind('.');
  if (dot == std::string::npos || dot < namePart) return aFileName;
  return aFileName.substr(0, dot);
}

}  // namespace

std::string JoinLogPath(const std::string& aFolder, const std::string& aFileName) {
  if (HasInvalidPathChars(aFolder) || HasInvalidPathChars(aFileName)) {
    throw Error("Invalid characters in path");
  }
  if (aFolder.empty() || platform::IsAbsolutePath(aFileName)) return aFileName;
  if (platform::IsPathDelimiter(aFolder.back())) return aFolder + aFileName;
  return aFolder + "\\" + aFileName;
}

std::string LogFileNamePart(const std::string& aPath) {
  const std::size_t cut = aPath.find_last_of("\\/:");
  return cut == std::string::npos ? aPath : aPath.substr(cut + 1);
}

// ---------------------------------------------------------------------------------------
// tQV_LogThread

tQV_LogThread::tQV_LogThread() : fThread([this] { Run(); }) {}

tQV_LogThread::~tQV_LogThread() { StopAndJoin(); }

tQV_LogWriter* tQV_LogThread::Writer() const {
  std::lock_guard lock(fMutex);
  return fWriter;
}

void tQV_LogThread::SetWriter(tQV_LogWriter* aWriter) {
  {
    std::lock_guard lock(fMutex);
    fWriter = aWriter;
  }
  fWakeUp.notify_all();
}

bool tQV_LogThread::Enqueue(tQV_LogLine&& aLine) {
  bool wasEmpty;
  {
    std::lock_guard lock(fMutex);
    if (fEnded) return false;
    wasEmpty = fQueue.empty();
    fQueue.push_back(std::move(aLine));
  }
  // The thread waits only on an empty queue; while it has lines it needs no wake-up call.
  if (wasEmpty) fWakeUp.notify_one();
  return true;
}

void tQV_LogThread::RequestStop() {
  {
    std::lock_guard lock(fMutex);
    fStopRequested = true;
  }
  fWakeUp.notify_all();
}

void tQV_LogThread::StopAndJoin() {
  RequestStop();
  std::lock_guard joinLock(fJoinMutex);
  if (fThread.joinable()) fThread.join();
}

void tQV_LogThread::Restart() {
  std::lock_guard joinLock(fJoinMutex);
  {
    std::lock_guard lock(fMutex);
    if (!fEnded) return;
    fStopRequested = false;
    fEnded = false;
  }
  if (fThread.joinable()) fThread.join();
  fThread = std::thread([this] { Run(); });
}

std::size_t tQV_LogThread::QueuedLines() const {
  std::lock_guard lock(fMutex);
  return fQueue.size();
}

// Waits on the condition variable instead of polling every 60 ms; a line is taken from the
// head, written, and only then removed, so an empty queue means everything was handed over.
void tQV_LogThread::Run() {
  std::unique_lock lock(fMutex);
  for (;;) {
    fWakeUp.wait(lock, [this] { return (fWriter && !fQueue.empty()) || fStopRequested; });
    if (!fWriter || fQueue.empty()) {
      fEnded = true;  // stop requested and nothing (more) to write
      return;
    }
    // References to deque elements stay valid while callers push at the tail.
    const tQV_LogLine& line = fQueue.front();
    tQV_LogWriter* writer = fWriter;
    lock.unlock();
    writer->AppendLine(line);
    lock.lock();
    fQueue.pop_front();
  }
}

// ---------------------------------------------------------------------------------------
// tQV_LogWriter

tQV_LogWriter::tQV_LogWriter(const std::string& aFileName, const std::string& aDirectory,
                             int32_t aMaxMessageLength, bool aDaily) {
  if (aDaily) {
    fFileDay = FileDateStamp(platform::Now());
    fFileName = aFileName + "_" + fFileDay + ".log";
  } else {
    fFileName = aFileName + ".log";
  }
  SetDirectory(aDirectory);
  fMaxMessageLength = aMaxMessageLength;
  fDaily = aDaily;
  fCounter = 0;
  fMaxLogfileSize.store(5000);
  fThread.SetWriter(this);
  WriterRegistry& registry = Registry();
  std::lock_guard lock(registry.mutex);
  registry.writers.insert(this);
}

tQV_LogWriter::~tQV_LogWriter() {
  {
    WriterRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    registry.writers.erase(this);
  }
  fThread.StopAndJoin();
}

std::string tQV_LogWriter::FormatLine(const platform::LocalTime& aTime, tQV_MessageType aEntryType,
                                      const std::string& aMessage) const {
  std::string line = LineTimeStamp(aTime);
  line += aEntryType == let_error ? " - ERROR - " : " - ";
  if (fMaxMessageLength > 0 &&
      platform::Utf16Length(aMessage) > static_cast<std::size_t>(fMaxMessageLength)) {
    line += platform::Utf16Left(aMessage, static_cast<std::size_t>(fMaxMessageLength));
  } else {
    line += aMessage;
  }
  return line;
}

void tQV_LogWriter::Write(tQV_MessageType aEntryType, const std::string& aMessage) {
  const platform::LocalTime now = platform::Now();
  std::lock_guard order(fWriteMutex);
  if (FileName().empty()) throw Error("Log filename is empty ");
  const bool newDay = FollowTheDay(now);
  const std::string fileName = FileName();
  std::string banner;
  {
    std::lock_guard lock(fSettingsMutex);
    banner = fDailyBanner;
  }
  if (newDay && !banner.empty()) Queue({fileName, FormatLine(now, let_info, banner)});
  Queue({fileName, FormatLine(now, aEntryType, aMessage)});
}

void tQV_LogWriter::SetDailyBanner(const std::string& aMessage) {
  std::lock_guard lock(fSettingsMutex);
  fDailyBanner = aMessage;
}

bool tQV_LogWriter::FollowTheDay(const platform::LocalTime& aTime) {
  if (!fDaily) return false;
  const std::string day = FileDateStamp(aTime);
  std::lock_guard lock(fSettingsMutex);
  if (day == fFileDay) return false;
  const std::string oldEnding = "_" + fFileDay + ".log";
  fFileDay = day;
  const bool dailyName =
      fFileName.size() >= oldEnding.size() &&
      fFileName.compare(fFileName.size() - oldEnding.size(), oldEnding.size(), oldEnding) == 0;
  if (!dailyName) return false;
  fFileName.replace(fFileName.size() - oldEnding.size(), oldEnding.size(), "_" + day + ".log");
  return true;
}

void tQV_LogWriter::Queue(tQV_LogLine&& aLine) {
  if (fThread.Enqueue(std::move(aLine))) return;
  // The thread has ended (library unload): write on the caller's thread, in call order.
  std::lock_guard lock(fLateWriteMutex);
  AppendLine(aLine);
}

std::string tQV_LogWriter::Directory() const {
  std::lock_guard lock(fSettingsMutex);
  return fDirectory;
}

std::string tQV_LogWriter::FileName() const {
  std::lock_guard lock(fSettingsMutex);
  return fFileName;
}

void tQV_LogWriter::SetDirectory(const std::string& aValue) {
  {
    std::lock_guard lock(fSettingsMutex);
    std::string fileName = JoinLogPath(aValue, LogFileNamePart(fFileName));
    fDirectory = aValue;
    fFileName = std::move(fileName);
  }
  if (aValue.empty()) throw Error("Unable to create directory");
  // A folder that cannot be created is not reported: the writes fail and are given up.
  platform::ForceDirectories(aValue).IgnoreFailure();
}

void tQV_LogWriter::SetFileName(const std::string& aValue) {
  std::lock_guard lock(fSettingsMutex);
  fFileName = JoinLogPath(fDirectory, LogFileNamePart(aValue));
}

int64_t tQV_LogWriter::GetLogFileSize() const {
  int64_t size = 0;
  if (!platform::FileSize(FileName(), size).IsOk()) return -1;
  return size;
}

bool tQV_LogWriter::CheckLogfileSize() const { return fCounter % kSizeCheckInterval == 0; }

void tQV_LogWriter::DrainAndStop() {
  fStoppedForGood = true;
  fThread.StopAndJoin();
}

void tQV_LogWriter::Suspend() { fThread.StopAndJoin(); }

void tQV_LogWriter::Resume() {
  if (!fStoppedForGood) fThread.Restart();
}

void tQV_LogWriter::SetFileAppender(FileAppender aAppender) {
  std::lock_guard lock(fSettingsMutex);
  fAppender = std::move(aAppender);
}

void tQV_LogWriter::RollOverIfTooLarge(const std::string& aFileName) {
  const int64_t limit = static_cast<int64_t>(MaxLogFileSize()) * 1024;
  int64_t size = 0;
  // A file whose size cannot be read (none yet) has nothing to roll over.
  if (!platform::FileSize(aFileName, size).IsOk() || size <= limit) return;
  const std::string target =
      WithoutExtension(aFileName) + "_" + RollOverStamp(platform::Now()) + ".log";
  // When the move fails the line goes to the oversized file anyway.
  platform::MoveFile(aFileName, target).IgnoreFailure();
}

bool tQV_LogWriter::AppendOnce(const std::string& aFileName, const std::string& aData) {
  FileAppender appender;
  {
    std::lock_guard lock(fSettingsMutex);
    appender = fAppender;
  }
  // A refused append is tried again by the caller and finally given up without a report.
  if (appender) return appender(aFileName, aData).IsOk();
  return platform::AppendToFile(aFileName, aData).IsOk();
}

void tQV_LogWriter::AppendLine(const tQV_LogLine& aLine) {
  try {
    const std::string& fileName = aLine.fileName;
    if (CheckLogfileSize()) RollOverIfTooLarge(fileName);
    const std::string data = aLine.text + "\r\n";
    for (int attempt = 1; attempt <= kAppendAttempts; ++attempt) {
      if (AppendOnce(fileName, data)) return;
      platform::SleepMilliseconds(kRetryDelayMs);
    }
    // Given up after the last attempt, without a report: logging never fails a caller.
  } catch (...) {
    // The log thread must outlive any failure of one line (out of memory, a failing hook).
  }
}

void DrainAndStopAllLogWriters() {
  WriterRegistry& registry = Registry();
  std::lock_guard lock(registry.mutex);
  for (tQV_LogWriter* writer : registry.writers) writer->DrainAndStop();
}

}  // namespace qv::framework
