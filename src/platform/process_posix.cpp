// The host process seen through /proc/self. Safe from any thread.
#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/process.h"

namespace qv::platform {
namespace {

std::string ReadLink(const char* aPath) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = readlink(aPath, buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);  // the link may have been cut short
  }
}

// The NUL-separated entries of a /proc file.
std::vector<std::string> ReadNulSeparated(const char* aPath) {
  std::ifstream file(aPath, std::ios::binary);
  const std::string content{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  std::vector<std::string> entries;
  std::string::size_type start = 0;
  while (start < content.size()) {
    auto end = content.find('\0', start);
    if (end == std::string::npos) end = content.size();
    entries.push_back(content.substr(start, end - start));
    start = end + 1;
  }
  return entries;
}

// The entries of a /proc folder, without "." and ".."; -1 when it cannot be listed.
int CountEntries(const char* aFolder) {
  DIR* folder = opendir(aFolder);
  if (folder == nullptr) return -1;
  int count = 0;
  while (const dirent* entry = readdir(folder)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(folder);
  return count;
}

}  // namespace

std::string ExecutablePath() { return ReadLink("/proc/self/exe"); }

std::vector<std::string> CommandLineParameters() {
  std::vector<std::string> entries = ReadNulSeparated("/proc/self/cmdline");
  if (!entries.empty()) entries.erase(entries.begin());  // the program name
  return entries;
}

std::string WorkingDirectory() {
  std::vector<char> buffer(256);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  std::string folder(buffer.data());
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

int ProcessId() { return static_cast<int>(getpid()); }

int ThreadCount() { return CountEntries("/proc/self/task"); }

int OpenFileCount() {
  const int entries = CountEntries("/proc/self/fd");
  return entries < 0 ? entries : entries - 1;  // the listing's own descriptor
}

}  // namespace qv::platform
