// The fiscal processor library as the tests load it into a fresh process: the same exports,
// tables, load and unload as QVFP_CYKAVREN_10, with the test processor "QVFP_TEST_10"
// registered after the built-in processors. Built as QVFP_DRIVERTEST.so.
#include "driver/library_lifetime.h"
#include "driver/processor_registry.h"
#include "driver/support/test_processor.h"

namespace {

void RegisterProcessorsForTests() {
  qv::driver::RegisterBuiltInProcessors();
  qv::driver::testing::RegisterTestProcessor();
}

class tTestLibraryLifetime {
 public:
  tTestLibraryLifetime() { qv::driver::LoadLibraryState(&RegisterProcessorsForTests); }
  ~tTestLibraryLifetime() { qv::driver::UnloadLibraryState(); }
  tTestLibraryLifetime(const tTestLibraryLifetime&) = delete;
  tTestLibraryLifetime& operator=(const tTestLibraryLifetime&) = delete;
};

const tTestLibraryLifetime gTestLibraryLifetime;

}  // namespace
