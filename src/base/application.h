// The application object: one per process, created when the library is loaded and destroyed
// when it is unloaded. It carries the version information (which the status call and the
// processors report), the application log, the setup registry, the run-mode flags of the
// host's command line, the message table, stopwatch timers, the single-instance guard and
// the stand-ins of the desktop parts (message box, tray icon, wait window).
//
// Threading: used from the thread that loaded the library, one call at a time; it takes no
// locks. Info() is filled at creation and may be read from any thread afterwards. The
// application log has its own writing thread.
//
// On this platform there is no desktop: a message box, the tray icon and the wait window
// become entries of the application log (or state only), and the single-instance guard is
// a lock file held by the process.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/date_time.h"
#include "base/log_sink.h"
#include "base/setup.h"
#include "base/utils.h"
#include "base/version_history.h"
#include "platform/lock_file.h"

namespace qv::base {

// Builds the application log: file aFileName + ".log" in aDirectory, no message length
// limit, not daily. The driver passes one that creates the framework's log writer.
using LogSinkFactory = std::function<std::unique_ptr<LogSink>(const std::string& aFileName,
                                                              const std::string& aDirectory)>;

// What the application object learns about its process at creation. OfThisProcess() gives
// the real host process; tests build their own.
struct tQV_ApplicationEnvironment {
  std::vector<std::string> commandLine;  // host parameters, without the program name
  std::string executableFolder;          // with a trailing delimiter
  std::string executableBaseName;        // without folder and extension
  VersionStringLookup versionStrings;    // the library's version strings
  std::string instanceLockFolder;        // where the single-instance lock file lives

  static tQV_ApplicationEnvironment OfThisProcess();
};

// The wait window. Without a desktop it keeps its state and text only.
class tQV_Wait {
 public:
  void Start(std::string_view aText);
  void Stop() { fStarted = false; }
  bool Started() const { return fStarted; }
  // "Attendere prego ..." ("Wait please ..." in English) and the extra line.
  std::string Caption() const { return fCaption; }
  const std::string& ExtraText() const { return fExtraText; }
  void SetLanguage(std::string aLanguage) { fLanguage = std::move(aLanguage); }

 private:
  bool fStarted = false;
  std::string fLanguage;
  std::string fCaption;
  std::string fExtraText;
};

// The tray icon record.
struct tQV_NotifyIconData {
  uintptr_t window = 0;
  uint32_t callbackMessage = 0;
  uint32_t iconId = 0;
  bool hasMessage = false;
  bool hasIcon = false;
};

class tQV_Application {
 public:
  // Reads the command-line flags and the version information and opens the application log
  // "<executable base name>.log" in "<executable folder>LogFiles". Fails with
  // "Invalid argument to date encode" when a release date of the version strings is not a
  // real date. An empty factory gives an application without a log.
  explicit tQV_Application(
      LogSinkFactory aLogFactory,
      tQV_ApplicationEnvironment aEnvironment = tQV_ApplicationEnvironment::OfThisProcess());
  // Removes the tray icon, releases the single-instance guard, then closes the log (which
  // writes out every queued entry).
  ~tQV_Application();
  tQV_Application(const tQV_Application&) = delete;
  tQV_Application& operator=(const tQV_Application&) = delete;

  tQV_Setup& Setup() { return fSetup; }
  tQV_Wait& Wait() { return fWait; }
  const tQV_ApplicationInfo& Info() const { return fInfo; }
  const tQV_NotifyIconData& IconData() const { return fIconData; }
  bool NotifyIcon() const { return fNotifyIcon; }
  bool HideOnMinimize() const { return fHideOnMinimize; }
  void SetHideOnMinimize(bool aValue) { fHideOnMinimize = aValue; }
  const std::string& LastError() const { return fLastError; }
  bool IsBatch() const { return fIsBatch; }
  bool IsDebug() const { return fIsDebug; }
  bool IsTest() const { return fIsTest; }
  void ForceIsBatch() { fIsBatch = true; }
  bool TerminateOnExceptionIfBatch() const { return fTerminateOnExceptionIfBatch; }
  void SetTerminateOnExceptionIfBatch(bool aValue) { fTerminateOnExceptionIfBatch = aValue; }
  const std::string& DefaultLanguage() const { return fDefaultLanguage; }
  void SetDefaultLanguage(std::string aValue) { fDefaultLanguage = std::move(aValue); }
  const std::string& Language() const { return fLanguage; }
  void SetLanguage(std::string aValue);

  // The message for aMessageId (current language, then default language, else the id
  // itself) with every "\r\n" written as backslash-r-backslash-n turned into CR LF.
  std::string GetMessage(std::string_view aMessageId) const;
  // The message for aMessageId used as a format pattern for aValues (FormatText); no escape
  // replacement.
  std::string GetMessage(std::string_view aMessageId,
                         const std::vector<FormatValue>& aValues) const;
  // Adds the "key:value" lines of a messages text; the first occurrence of a key wins.
  // A key may carry its language as "key_<language>".
  void LoadMessageLines(std::string_view aText);

  void ChangeLogDirectory(const std::string& aNewDir);
  void ChangeLogFilename(const std::string& aNewFileName);
  std::string GetLogDirectory() const;
  std::string GetLogFileName() const;
  // For let_error also LastError := aMessage; then the entry goes to the application log.
  void Log(tQV_MessageType aEntryType, const std::string& aMessage);

  void CreateNotifyIcon(uintptr_t aWindow);
  void DeleteNotifyIcon();

  void StartTimer();
  // Milliseconds since the newest running timer started (from the times of day); StopTimer
  // also ends it. Both fail with "Unbalanced stack or queue operation" when none runs.
  int32_t StopTimer();
  int32_t GetTimerValue() const;
  int GetTimerCount() const { return static_cast<int>(fTimers.size()); }

  // Waits 500 ms, then records that the application was asked to end. The library never
  // ends its host: the request is only visible through Terminated().
  void Terminate();
  bool Terminated() const { return fTerminated; }

  bool SingleInstance() const { return fSingleInstance; }
  // True: takes the lock "<executable base name>.instance.lock"; when another holder has
  // it, reports "Impossible to enter single instance mode." and asks the application to
  // end. False: releases the lock.
  void SetSingleInstance(bool aValue);

  // Kind 0 information, 1 error. In batch mode the text is logged as an error entry;
  // otherwise the message box (here: an application log entry of the kind) shows it.
  void ShowUserMessage(int aKind, const std::string& aText);
  // The same, hiding the wait window meanwhile when it is shown.
  void ShowUserMessageOverWait(int aKind, const std::string& aText);
  // The handler for errors that reach the application level: shows the message, then in
  // batch mode (with TerminateOnExceptionIfBatch) asks the application to end.
  void HandleException(const std::exception& aError);

 private:
  std::string LookupMessage(std::string_view aMessageId) const;
  void RequestEnd();

  tQV_Setup fSetup;
  tQV_Wait fWait;
  tQV_NotifyIconData fIconData;
  bool fNotifyIcon = false;
  bool fHideOnMinimize = false;
  std::unique_ptr<LogSink> fLogger;
  std::string fLastError;
  bool fIsBatch = false;
  bool fIsDebug = false;
  bool fIsTest = false;
  bool fSingleInstance = false;
  platform::LockFile fSingleInstanceLock;
  bool fTerminateOnExceptionIfBatch = true;
  std::string fDefaultLanguage;
  std::string fLanguage;
  std::map<std::string, std::string> fMessages;
  tQV_ApplicationInfo fInfo;
  std::vector<DateTime> fTimers;
  bool fTerminated = false;
  tQV_ApplicationEnvironment fEnvironment;
};

// The process's application object (the library's load and unload).
// CreateApplication builds it (fails with qv::Error when one exists already, or as the
// constructor); DestroyApplication destroys it and never throws; Application() is the
// current object or nullptr.
tQV_Application& CreateApplication(LogSinkFactory aLogFactory);
void DestroyApplication() noexcept;
tQV_Application* Application();

// The module's message functions: through the application object, nothing without one.
void ShowUserMessage(int aKind, const std::string& aText);
void ShowUserMessageOverWait(int aKind, const std::string& aText);

// The version text of the application ("1.06"), empty without an application object.
std::string ApplicationVersion();
// "Version " + version + " - " + release date in the machine's short date format
// ("Version 1.06 - 09/08/2023"); "Version  - " without an application object (the date
// is also empty when the version strings give none).
std::string DriverVersionText();

}  // namespace qv::base
