// Helper of the process and regional settings tests: prints what the platform layer sees of
// this process, one "name=value" line each, then one "parameter=" line per command-line
// parameter.
#include <cstdio>

#include "platform/process.h"
#include "platform/regional_settings.h"

// glibc's newlocale never frees the LOCPATH search list it builds; the locale tests set
// LOCPATH, so the leak checker of the test build ignores that one allocation.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:__argz_add_sep\n";
}
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_options() {
  return "print_suppressions=0";
}

int main() {
  const qv::platform::RegionalSettings settings = qv::platform::CurrentRegionalSettings();
  std::printf("executable=%s\n", qv::platform::ExecutablePath().c_str());
  std::printf("directory=%s\n", qv::platform::WorkingDirectory().c_str());
  std::printf("process=%d\n", qv::platform::ProcessId());
  std::printf("decimal=%s\n", settings.decimalSeparator.c_str());
  std::printf("thousands=%s\n", settings.thousandSeparator.c_str());
  std::printf("date=%s\n", settings.dateSeparator.c_str());
  std::printf("time=%s\n", settings.timeSeparator.c_str());
  std::printf("shortdate=%s\n", settings.shortDateFormat.c_str());
  for (const std::string& parameter : qv::platform::CommandLineParameters()) {
    std::printf("parameter=%s\n", parameter.c_str());
  }
  return 0;
}
