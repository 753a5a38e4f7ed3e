// The application object and the process-wide reference to it.
#include "base/application.h"

#include <atomic>

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/process.h"

namespace qv::base {

namespace {

constexpr uint32_t kNotifyIconMessage = 1124;
constexpr char kSingleInstanceMessage[] = "Impossible to enter single instance mode.";

std::atomic<tQV_Application*> gApplication{nullptr};

std::string ReplaceEscapedLineBreaks(std::string aText) {
  static constexpr std::string_view kEscaped = "\\r\\n";
  for (size_t at = aText.find(kEscaped); at != std::string::npos;
       at = aText.find(kEscaped, at + 2)) {
    aText.replace(at, kEscaped.size(), "\r\n");
  }
  return aText;
}

std::string MessageKey(std::string_view aMessageId, const std::string& aLanguage) {
  return aLanguage.empty() ? std::string(aMessageId) : std::string(aMessageId) + "_" + aLanguage;
}

}  // namespace

tQV_ApplicationEnvironment tQV_ApplicationEnvironment::OfThisProcess() {
  tQV_ApplicationEnvironment environment;
  environment.commandLine = platform::CommandLineParameters();
  environment.executableFolder = ExecutableFolder();
  environment.executableBaseName = ExecutableBaseName();
  environment.versionStrings = &LibraryVersionString;
  environment.instanceLockFolder = platform::TemporaryFolder();
  return environment;
}

void tQV_Wait::Start(std::string_view aText) {
  fCaption = fLanguage == "en" ? "Wait please ..." : "Attendere prego ...";
  fExtraText = std::string(aText);
  fStarted = true;
}

tQV_Application::tQV_Application(LogSinkFactory aLogFactory,
                                 tQV_ApplicationEnvironment aEnvironment)
    : fEnvironment(std::move(aEnvironment)) {
  if (aLogFactory) {
    fLogger =
        aLogFactory(fEnvironment.executableBaseName, fEnvironment.executableFolder + "LogFiles");
  }
  const auto flag = [this](std::string_view aName) {
    return !CommandLineValueIn(fEnvironment.commandLine, aName, /*aWhole=*/true).empty();
  };
  fIsBatch = flag("/BATCH");
  fIsDebug = flag("/DEBUG");
  fIsTest = flag("/TEST");
  if (fEnvironment.versionStrings) fInfo.Load(fEnvironment.versionStrings);
  // This library carries no "MESSAGES" resource: the message table stays empty.
}

tQV_Application::~tQV_Application() {
  try {
    DeleteNotifyIcon();
  } catch (...) {
    // The log may already refuse entries; the icon is gone with the process anyway.
  }
  fSingleInstanceLock.Release();
  fLogger.reset();
}

void tQV_Application::SetLanguage(std::string aValue) {
  fLanguage = std::move(aValue);
  fWait.SetLanguage(fLanguage);
}

std::string tQV_Application::LookupMessage(std::string_view aMessageId) const {
  for (const std::string* language : {&fLanguage, &fDefaultLanguage}) {
    const auto found = fMessages.find(MessageKey(aMessageId, *language));
    if (found != fMessages.end()) return found->second;
  }
  return std::string(aMessageId);
}

std::string tQV_Application::GetMessage(std::string_view aMessageId) const {
  return ReplaceEscapedLineBreaks(LookupMessage(aMessageId));
}

std::string tQV_Application::GetMessage(std::string_view aMessageId,
                                        const std::vector<FormatValue>& aValues) const {
  return FormatText(LookupMessage(aMessageId), aValues);
}

void tQV_Application::LoadMessageLines(std::string_view aText) {
  size_t start = 0;
  while (start < aText.size()) {
    size_t end = aText.find('\n', start);
    if (end == std::string_view::npos) end = aText.size();
    std::string_view line = aText.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string key = TextField(line, 1, ':', /*aToEnd=*/false);
    if (!key.empty()) fMessages.emplace(key, TextField(line, 2, ':', /*aToEnd=*/false));
    start = end + 1;
  }
}

void tQV_Application::ChangeLogDirectory(const std::string& aNewDir) {
  const std::string directory = platform::IsAbsolutePath(aNewDir)
                                    ? aNewDir
                                    : fEnvironment.executableFolder + "LogFiles" + "\\" + aNewDir;
  if (fLogger) fLogger->MoveToDirectory(directory);
}

void tQV_Application::ChangeLogFilename(const std::string& aNewFileName) {
  if (fLogger) fLogger->RenameFile(aNewFileName);
}

std::string tQV_Application::GetLogDirectory() const {
  return fLogger ? fLogger->LogDirectory() : std::string();
}

std::string tQV_Application::GetLogFileName() const {
  return fLogger ? fLogger->LogFileName() : std::string();
}

void tQV_Application::Log(tQV_MessageType aEntryType, const std::string& aMessage) {
  if (aEntryType == let_error) fLastError = aMessage;
  if (fLogger) fLogger->Write(aEntryType, aMessage);
}

void tQV_Application::CreateNotifyIcon(uintptr_t aWindow) {
  fIconData = tQV_NotifyIconData{aWindow, kNotifyIconMessage, /*iconId=*/1, /*hasMessage=*/true,
                                 /*hasIcon=*/true};
  if (fLogger) fLogger->Write(let_info, "Notify icon added");
  fNotifyIcon = true;
}

void tQV_Application::DeleteNotifyIcon() {
  if (!fNotifyIcon) return;
  if (fLogger) fLogger->Write(let_info, "Notify icon removed");
  fNotifyIcon = false;
}

void tQV_Application::StartTimer() { fTimers.push_back(NowDateTime()); }

int32_t tQV_Application::GetTimerValue() const {
  if (fTimers.empty()) throw Error("Unbalanced stack or queue operation");
  return MillisecondsOfDay(NowDateTime()) - MillisecondsOfDay(fTimers.back());
}

int32_t tQV_Application::StopTimer() {
  const int32_t elapsed = GetTimerValue();
  fTimers.pop_back();
  return elapsed;
}

void tQV_Application::Terminate() {
  platform::SleepMilliseconds(500);
  RequestEnd();
}

void tQV_Application::RequestEnd() { fTerminated = true; }

void tQV_Application::SetSingleInstance(bool aValue) {
  if (aValue == fSingleInstance) return;
  fSingleInstance = aValue;
  if (!aValue) {
    fSingleInstanceLock.Release();
    return;
  }
  std::string folder = fEnvironment.instanceLockFolder;
  if (!folder.empty() && !platform::IsPathDelimiter(folder.back())) folder += "\\";
  // Whatever kept the lock (another instance, a folder that cannot be written), this
  // instance does not run.
  if (!fSingleInstanceLock.TryAcquire(folder + fEnvironment.executableBaseName + ".instance.lock")
           .IsOk()) {
    ShowUserMessageOverWait(1, kSingleInstanceMessage);
    RequestEnd();
  }
}

void tQV_Application::ShowUserMessage(int aKind, const std::string& aText) {
  if (fIsBatch) {
    Log(let_error, aText);
    return;
  }
  // The message box of a desktop; here the text becomes an entry of its kind.
  if (fLogger && aKind == 0) fLogger->Write(let_info, aText);
  if (fLogger && aKind == 1) fLogger->Write(let_error, aText);
}

void tQV_Application::ShowUserMessageOverWait(int aKind, const std::string& aText) {
  if (!fWait.Started()) {
    ShowUserMessage(aKind, aText);
    return;
  }
  fWait.Stop();
  ShowUserMessage(aKind, aText);
  fWait.Start("");
}

void tQV_Application::HandleException(const std::exception& aError) {
  const std::string message = aError.what();
  if (!message.empty()) ShowUserMessageOverWait(1, message);
  if (fIsBatch && fTerminateOnExceptionIfBatch) RequestEnd();
}

tQV_Application& CreateApplication(LogSinkFactory aLogFactory) {
  if (gApplication.load() != nullptr) throw Error("The application object exists already");
  auto application = std::make_unique<tQV_Application>(std::move(aLogFactory));
  gApplication.store(application.get());
  return *application.release();
}

void DestroyApplication() noexcept {
  // The destructor never throws; the object is unreachable before it goes.
  delete gApplication.exchange(nullptr);
}

tQV_Application* Application() { return gApplication.load(); }

void ShowUserMessage(int aKind, const std::string& aText) {
  if (tQV_Application* application = Application()) application->ShowUserMessage(aKind, aText);
}

void ShowUserMessageOverWait(int aKind, const std::string& aText) {
  if (tQV_Application* application = Application()) {
    application->ShowUserMessageOverWait(aKind, aText);
  }
}

std::string ApplicationVersion() {
  const tQV_Application* application = Application();
  return application ? application->Info().Version() : std::string();
}

std::string DriverVersionText() {
  const tQV_Application* application = Application();
  if (!application) return "Version  - ";
  const tQV_ApplicationInfo& info = application->Info();
  // Version strings without a release date leave the date empty, as before loading.
  const std::string date =
      info.ReleaseDate() == 0 ? std::string() : ShortDateText(info.ReleaseDate());
  return "Version " + info.Version() + " - " + date;
}

}  // namespace qv::base
