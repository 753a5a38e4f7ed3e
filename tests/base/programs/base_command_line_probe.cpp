// Prints what the command-line helpers find in this program's own command line, so that a
// test can check them against a real process.
#include <cstdio>

#include "base/utils.h"

int main() {
  using qv::base::CommandLineValue;
  std::printf("BATCH=%s\n", CommandLineValue("/BATCH", false).c_str());
  std::printf("DEBUG=%s\n", CommandLineValue("/DEBUG", true).c_str());
  std::printf("TEST=%s\n", CommandLineValue("/TEST", true).c_str());
  std::printf("BASE=%s\n", qv::base::ExecutableBaseName().c_str());
  return 0;
}
