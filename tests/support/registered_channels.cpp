// The channel classes are registered for the whole test program, as the library's load
// registers them, so that processors and devices built by the tests open their channels.
#include <gtest/gtest.h>

#include "channels/built_in_channels.h"

namespace {

class RegisteredChannels : public ::testing::Environment {
 public:
  void SetUp() override { qv::channels::RegisterBuiltInChannels(); }
};

[[maybe_unused]] ::testing::Environment* const gRegisteredChannels =
    ::testing::AddGlobalTestEnvironment(new RegisteredChannels());

}  // namespace
