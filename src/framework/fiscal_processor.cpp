#include "framework/fiscal_processor.h"

#include <string>
#include <string_view>
#include <vector>

#include "base/application.h"
#include "base/utils.h"
#include "documents/other_documents.h"
#include "framework/io_handler.h"
#include "framework/request_context.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace qv::framework {

namespace {

constexpr const char* kFiscalDatabaseRoot = "C:\\QV_FPR_DB\\";
constexpr const char* kLogSubFolder = "LogFiles\\FiscalPrinter";
constexpr const char* kInvalidPath = "Invalid characters in path";

// Characters that no Windows path may hold (control characters, quote, angle brackets and
// the bar); the same set is refused on every platform so that a till works on both.
bool HasInvalidPathCharacters(std::string_view aPart) {
  for (unsigned char c : aPart) {
    if (c < 0x20 || c == '"' || c == '<' || c == '>' || c == '|') return true;
  }
  return false;
}

// A till serial names one folder below the fiscal database: a delimiter, a drive or a parent
// reference would put the till's files elsewhere.
bool IsValidTillSerial(std::string_view aTillSerial) {
  if (HasInvalidPathCharacters(aTillSerial)) return false;
  if (aTillSerial.find_first_of("\\/:") != std::string_view::npos) return false;
  return aTillSerial.find("..") == std::string_view::npos;
}

std::vector<std::string> SplitLines(const std::string& aText) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < aText.size(); ++i) {
    const char c = aText[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < aText.size() && aText[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace

std::string JoinPath(const std::string& aFirst, const std::string& aSecond) {
  if (HasInvalidPathCharacters(aFirst) || HasInvalidPathCharacters(aSecond)) {
    throw Error(kInvalidPath);
  }
  if (aFirst.empty() || platform::IsPathDelimiter(aFirst.back())) return aFirst + aSecond;
  return aFirst + "\\" + aSecond;
}

std::string TillRootFolder(const std::string& aTillSerial) {
  if (!IsValidTillSerial(aTillSerial)) throw Error(kInvalidPath);
  return kFiscalDatabaseRoot + aTillSerial;
}

kFiscalProcessor::kFiscalProcessor(kFiscalProcessorHandler& aHandler)
    : fVatTable(std::make_unique<documents::kVatTable>()),
      fDeptTable(std::make_unique<documents::kDeptTable>()),
      fEATable(std::make_unique<documents::kEconomicActivityTable>()) {
  // The host application's folder, not this library's.
  const std::string logFolder = JoinPath(base::ExecutableFolder(), kLogSubFolder);
  fIOHandler = aHandler.CreateIOHandler(logFolder);
  fIOHandler->SetVersion(GetDriverVersion());
}

kFiscalProcessor::~kFiscalProcessor() {
  fVatTable.reset();
  fDeptTable.reset();
  fEATable.reset();
  fIOHandler.reset();
}

void kFiscalProcessor::Suspend() noexcept {
  try {
    fIOHandler->SuspendLog();
  } catch (...) {
    // The thread could not be ended; the processor works on with it.
  }
}

void kFiscalProcessor::Resume() { fIOHandler->ResumeLog(); }

std::string kFiscalProcessor::GetDriverVersion() { return base::DriverVersionText(); }

bool kFiscalProcessor::LoadIniSection(const std::string& aFileName, const std::string& aSectionName,
                                      std::vector<std::string>& aList) {
  if (!platform::FileExists(aFileName)) return false;
  aList.clear();
  std::string content;
  platform::ReadWholeFile(aFileName, content).ThrowIfFailed();
  const std::string header = "[" + aSectionName + "]";
  bool inSection = false;
  for (const std::string& line : SplitLines(content)) {
    if (inSection) {
      if (!line.empty() && line.front() == '[') break;
      aList.push_back(line);
    } else if (base::SameText(line, header)) {
      inSection = true;
    }
  }
  return true;
}

bool kFiscalProcessor::Open(kFiscalProcessorHandler& aHandler) {
  const std::string root = TillRootFolder(aHandler.TillSerial());
  fDirErrors = JoinPath(root, "Errors");
  fDirJournal = JoinPath(root, "Journal");
  fDirProcessed = JoinPath(root, "Processed");
  fDirQueue = JoinPath(root, "Queue");
  for (const std::string* folder : {&fDirQueue, &fDirErrors, &fDirProcessed, &fDirJournal}) {
    // A folder that cannot be made is passed over: the file written there fails instead.
    platform::ForceDirectories(*folder).IgnoreFailure();
  }
  fCountersActualFileName = JoinPath(root, "counters.actual.fprc");
  fCountersPreviousFileName = JoinPath(root, "counters.previous.fprc");
  return true;
}

}  // namespace qv::framework
