#include "platform/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace qv::platform {
namespace {

std::string HexOf(std::string_view aData) { return Sha256Hex(Sha256(aData)); }

// The test vectors of FIPS 180-2 and their well-known companions.
TEST(Sha256, GivesTheStandardDigestsOfTheKnownMessages) {
  EXPECT_EQ(HexOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(HexOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(HexOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(HexOf(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, HashesEveryByteIncludingZerosAndHighBytes) {
  const std::string bytes("\x00\xff\x80\r\n", 5);
  EXPECT_NE(HexOf(bytes), HexOf(std::string("\x00\xff\x80\r", 4)));
  EXPECT_EQ(Sha256(bytes), Sha256(bytes));
  EXPECT_EQ(HexOf(std::string(1, '\0')),
            "6e340b9cffb37a989ca544e6bb780a2c78901d3fb33738768511a30617afa01d");
}

TEST(Sha256, WritesDigestsAsSixtyFourLowerCaseDigits) {
  Sha256Digest digest{};
  digest[0] = 0xAB;
  digest[31] = 0x0F;
  const std::string text = Sha256Hex(digest);
  EXPECT_EQ(text.size(), 64u);
  EXPECT_EQ(text.substr(0, 4), "ab00");
  EXPECT_EQ(text.substr(60), "000f");
}

}  // namespace
}  // namespace qv::platform
