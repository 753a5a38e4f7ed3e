// tQV_LogWriter: a plain-text log file of time-stamped lines, written by a background thread.
//
// A caller hands the writer a line and goes on at once: Write formats the line
// ("yyyy-mm-dd hh:mm:ss:zzz - message", or " - ERROR - " for errors) and puts it at the tail
// of a queue; it never touches the disk. The writer's own thread (tQV_LogThread) takes the
// lines in order and appends each one to the file, opening and closing the file per line so
// that other programs can read or move it at any moment. A file grown past MaxLogFileSize
// units of 1024 bytes is moved aside under a time-stamped name before the next line; a busy
// file is retried 10 times, 50 ms apart, after which the line is given up silently.
//
// Every I/O channel owns one writer for its device log (one file per day: each line goes to
// the file of the day on which it was written, and each new day's file starts with the
// channel's START banner); the application object owns one for the application log.
//
// Threading: Write and the setters may be called from any thread. Lines reach the file in
// the order of the Write calls. Destroying a writer blocks until every queued line has been
// handed to the file, then joins the thread.
//
// At library unload the processors (and so their channels and writers) are never destroyed.
// DrainAndStopAllLogWriters() writes out every queued line of every live writer and ends
// their threads, so a host that exits right after a call loses no log line; the library's
// unload routine calls it. A writer stopped that way still accepts lines: they are appended
// on the caller's thread from then on.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "base/log_sink.h"
#include "platform/clock.h"
#include "platform/file_status.h"

namespace qv::framework {

using base::let_error;
using base::let_info;
using base::tQV_MessageType;

class tQV_LogWriter;

// One finished line and the file it goes to, both fixed when the line was written.
struct tQV_LogLine {
  std::string fileName;
  std::string text;
};

// The writer's thread and its queue of finished lines. A line stays at the head of the queue
// while it is being written and is removed only after its write has ended, so an empty queue
// means that every line was handed to the file.
class tQV_LogThread {
 public:
  // Creates the empty queue and starts the thread; it writes nothing before SetWriter.
  tQV_LogThread();
  // Requests a stop, waits until the queue is empty and the thread has ended.
  ~tQV_LogThread();
  tQV_LogThread(const tQV_LogThread&) = delete;
  tQV_LogThread& operator=(const tQV_LogThread&) = delete;

  tQV_LogWriter* Writer() const;
  void SetWriter(tQV_LogWriter* aWriter);

  // Adds a line at the tail (moving it). Returns false, leaving aLine as it was, once the
  // thread has ended.
  bool Enqueue(tQV_LogLine&& aLine);
  // After a stop request the thread still writes every queued line, then ends.
  void RequestStop();
  // Requests a stop and joins the thread; every line queued before has been written.
  void StopAndJoin();
  // Starts a new thread once the previous one has ended (StopAndJoin); nothing while one
  // runs.
  void Restart();
  std::size_t QueuedLines() const;

 private:
  void Run();

  mutable std::mutex fMutex;
  std::mutex fJoinMutex;  // one joiner at a time (owner's destructor, library unload)
  std::condition_variable fWakeUp;
  std::deque<tQV_LogLine> fQueue;
  tQV_LogWriter* fWriter = nullptr;
  bool fStopRequested = false;
  bool fEnded = false;
  std::thread fThread;  // last: starts after the fields above exist
};

class tQV_LogWriter : public base::LogSink {
 public:
  // Appends aData to the file at aPath (creating it), as platform::AppendToFile does.
  using FileAppender =
      std::function<platform::FileStatus(std::string_view aPath, std::string_view aData)>;

  // The file is aFileName + "_yyyymmdd.log" when aDaily is true, else aFileName + ".log",
  // inside aDirectory, which is created with its parents. A daily writer follows the clock:
  // a line written on a later (or earlier) day than the current file's goes to the file of
  // its own day, which then becomes FileName (a file name given by SetFileName that does
  // not end in the current day's "_yyyymmdd.log" is kept as it is).
  // Fails with "Invalid characters in path" for a folder or name that no path may hold and
  // with "Unable to create directory" for an empty aDirectory. aMaxMessageLength > 0 cuts
  // every message to that many characters (UTF-16 code units).
  tQV_LogWriter(const std::string& aFileName, const std::string& aDirectory,
                int32_t aMaxMessageLength, bool aDaily);
  // Writes out every queued line, then ends the thread. Never throws.
  ~tQV_LogWriter() override;
  tQV_LogWriter(const tQV_LogWriter&) = delete;
  tQV_LogWriter& operator=(const tQV_LogWriter&) = delete;

  // Formats one line with the current local time and queues it for the file of that day.
  // Fails with "Log filename is empty " when FileName is empty (the queue is then unchanged).
  void Write(tQV_MessageType aEntryType, const std::string& aMessage) override;
  // An information message that a daily writer puts at the head of every file that a new
  // day opens, before that day's first line (the channel's START banner); empty: none.
  void SetDailyBanner(const std::string& aMessage);

  std::string Directory() const;
  // Moves the log into aValue (keeping the file-name part of FileName) and creates the
  // folder with its parents; a folder that cannot be created is not reported. An empty
  // aValue fails with "Unable to create directory" after Directory and FileName were set.
  void SetDirectory(const std::string& aValue);
  std::string FileName() const;
  // FileName <- Directory joined with the file-name part of aValue; nothing is created.
  void SetFileName(const std::string& aValue);

  // The application log reaches the file through base::LogSink: these forward to
  // Directory, FileName, SetDirectory and SetFileName, with their failures.
  std::string LogDirectory() const override { return Directory(); }
  std::string LogFileName() const override { return FileName(); }
  void MoveToDirectory(const std::string& aDirectory) override { SetDirectory(aDirectory); }
  void RenameFile(const std::string& aFileName) override { SetFileName(aFileName); }

  int32_t MaxMessageLength() const { return fMaxMessageLength; }
  bool Daily() const { return fDaily; }
  int32_t MaxLogFileSize() const { return fMaxLogfileSize.load(); }
  void SetMaxLogFileSize(int32_t aValue) { fMaxLogfileSize.store(aValue); }

  // Size in bytes of the file at FileName, or -1 when it cannot be read (no file yet).
  int64_t GetLogFileSize() const;
  // Whether the size check is due before the next line; the line counter never moves, so
  // the check is made before every line.
  bool CheckLogfileSize() const;

  // Writes out every queued line and ends the thread; later lines are appended on the
  // caller's thread. Idempotent.
  void DrainAndStop();
  // The same for a writer that is not used for a while (the log of a processor whose OPEN
  // failed): the writer holds no thread until Resume starts a new one. A writer stopped by
  // DrainAndStop (library unload) stays stopped.
  void Suspend();
  void Resume();
  std::size_t QueuedLines() const { return fThread.QueuedLines(); }

  // Replaces the function that appends one line to the file (the platform's append by
  // default); an empty function restores the default. Tests use it to make the file busy.
  void SetFileAppender(FileAppender aAppender);

 private:
  friend class tQV_LogThread;

  // Runs on the log thread: size check and roll-over, then up to 10 append attempts.
  void AppendLine(const tQV_LogLine& aLine);
  void RollOverIfTooLarge(const std::string& aFileName);
  bool AppendOnce(const std::string& aFileName, const std::string& aData);
  std::string FormatLine(const platform::LocalTime& aTime, tQV_MessageType aEntryType,
                         const std::string& aMessage) const;
  // A daily writer whose file is named after another day than aTime's moves FileName to
  // aTime's day; says whether the line opens a new day's file.
  bool FollowTheDay(const platform::LocalTime& aTime);
  // Hands the line to the thread, or writes it here once the thread has ended.
  void Queue(tQV_LogLine&& aLine);

  mutable std::mutex fSettingsMutex;  // guards fDirectory, fFileName and fAppender
  std::string fDirectory;
  int32_t fMaxMessageLength = 0;
  std::string fFileName;
  bool fDaily = false;
  std::string fFileDay;  // "yyyymmdd" of the daily file name
  std::string fDailyBanner;
  std::atomic<int32_t> fMaxLogfileSize{5000};
  int32_t fCounter = 0;
  FileAppender fAppender;
  std::mutex fWriteMutex;      // one Write at a time: a new day's banner comes first
  std::mutex fLateWriteMutex;  // orders lines written after the thread has ended
  std::atomic<bool> fStoppedForGood{false};
  tQV_LogThread fThread;  // last: destroyed (drained) first
};

// Writes out the queued lines of every live writer and ends their threads (library unload).
// Writers remain usable afterwards; their lines are then written synchronously.
void DrainAndStopAllLogWriters();

// Joins a folder and a file name as the log writer does: an empty folder gives the name
// alone, an absolute name is taken alone, otherwise one "\" goes between them unless the
// folder already ends with a delimiter. Fails with "Invalid characters in path".
std::string JoinLogPath(const std::string& aFolder, const std::string& aFileName);
// The part of a path after its last "\", "/" or ":".
std::string LogFileNamePart(const std::string& aPath);

}  // namespace qv::framework
