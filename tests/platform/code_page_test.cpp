#include "platform/code_page.h"

#include <gtest/gtest.h>

#include "platform/error.h"

namespace qv::platform {
namespace {

TEST(CodePage, GreekRoundTripThrough1253) {
  const std::string greek = "Καλημέρα € 5";
  const std::string bytes = Utf8ToCodePage(greek, 1253);
  EXPECT_EQ(bytes, "\xCA\xE1\xEB\xE7\xEC\xDD\xF1\xE1 \x80 5");
  EXPECT_EQ(CodePageToUtf8(bytes, 1253), greek);
}

TEST(CodePage, CharactersTheCodePageLacksBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCodePage("a中b😀c", 1253), "a?b?c");
  EXPECT_EQ(Utf8ToCodePage("Ω", 1252), "?");
  EXPECT_EQ(Utf8ToCodePage("a\xC0z", 1253), "a?z") << "invalid UTF-8 input";
}

TEST(CodePage, BytesTheCodePageCannotDecodeBecomeReplacementCharacters) {
  // 0xAA and 0xD2 have no character in code page 1253.
  EXPECT_EQ(CodePageToUtf8("a\xAA"
                           "b\xD2",
                           1253),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
}

TEST(CodePage, OtherWindowsAndDosCodePages) {
  EXPECT_EQ(Utf8ToCodePage("é", 1252), "\xE9");
  EXPECT_EQ(Utf8ToCodePage("é", 437), "\x82");
  EXPECT_EQ(CodePageToUtf8("\x82", 437), "é");
  EXPECT_EQ(CodePageToUtf8("\xE9", 28591), "é");
}

TEST(CodePage, AnsiCodePageAndUtf8AreUtf8) {
  EXPECT_EQ(Utf8ToCodePage("Καλημέρα", 0), "Καλημέρα");
  EXPECT_EQ(Utf8ToCodePage("Καλημέρα", 65001), "Καλημέρα");
  EXPECT_EQ(CodePageToUtf8("a\xFFz", 0), "a\xEF\xBF\xBDz");
}

TEST(CodePage, UnknownCodePageIsRefused) {
  try {
    Utf8ToCodePage("x", 12345);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Code page 12345 is not supported");
  }
  EXPECT_THROW(CodePageToUtf8("x", 12345), Error);
}

}  // namespace
}  // namespace qv::platform
