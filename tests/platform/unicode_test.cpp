#include "platform/unicode.h"

#include <gtest/gtest.h>

namespace qv::platform {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

std::string Replacements(int aCount) {
  std::string text;
  for (int i = 0; i < aCount; ++i) text += kReplacement;
  return text;
}

// UTF-8 through UTF-16 and back.
std::string Cleaned(const std::string& aText) { return Utf16ToUtf8(Utf8ToUtf16(aText)); }

TEST(Utf8ToUtf16, ValidTextRoundTrips) {
  const std::string text = "Καλημέρα, € 12.50 — 😀 end";
  const std::u16string units = Utf8ToUtf16(text);
  EXPECT_EQ(units, u"Καλημέρα, € 12.50 — 😀 end");
  EXPECT_EQ(Utf16ToUtf8(units), text);
}

TEST(Utf8ToUtf16, InvalidInputBecomesOneReplacementPerBrokenPiece) {
  EXPECT_EQ(Cleaned("\xC0\xAF"), Replacements(2)) << "overlong slash";
  EXPECT_EQ(Cleaned("\xE0\x80\xAF"), Replacements(3)) << "overlong three-byte form";
  EXPECT_EQ(Cleaned("\xF0\x80\x80\xAF"), Replacements(4)) << "overlong four-byte form";
  EXPECT_EQ(Cleaned("\xED\xA0\x80"), Replacements(3)) << "surrogate encoded in UTF-8";
  EXPECT_EQ(Cleaned("\xF4\x90\x80\x80"), Replacements(4)) << "above U+10FFFF";
  EXPECT_EQ(Cleaned("\xFF\xFE"), Replacements(2)) << "bytes that never occur";
  EXPECT_EQ(Cleaned("a\x80z"), "a" + kReplacement + "z") << "stray continuation byte";
}

TEST(Utf8ToUtf16, TruncatedSequenceKeepsTheFollowingCharacters) {
  EXPECT_EQ(Cleaned("a\xE2\x82"), "a" + kReplacement) << "cut off at the end";
  EXPECT_EQ(Cleaned("a\xE2\x82z"), "a" + kReplacement + "z");
  EXPECT_EQ(Cleaned("\xF0\x9F\x98"), kReplacement);
  EXPECT_EQ(Cleaned("\xCE"
                    "Α"),
            kReplacement + "Α")
      << "lead byte followed by a new lead";
}

TEST(Utf16ToUtf8, LoneSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD83D, u'b'}), "a" + kReplacement + "b");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDE00, u'b'}), kReplacement + "b");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD83D}), "a" + kReplacement);
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D, 0xD83D, 0xDE00}), kReplacement + "😀");
}

TEST(AppendUtf8, WritesCharactersAndReplacesWhatIsNoCharacter) {
  std::string text = "a";
  for (char32_t codePoint : {U'\u00E9', U'\u20AC', U'\U0001F600', U'\U0010FFFF'}) {
    AppendUtf8(text, codePoint);
  }
  EXPECT_EQ(text, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF");
  for (char32_t noCharacter : {0xD800u, 0xDBFFu, 0xDC00u, 0xDFFFu, 0x110000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(static_cast<unsigned>(noCharacter));
    std::string out = "x";
    AppendUtf8(out, noCharacter);
    EXPECT_EQ(out, "x" + kReplacement);
  }
}

TEST(Utf16Length, CountsUnitsNotBytes) {
  EXPECT_EQ(Utf16Length(""), 0u);
  EXPECT_EQ(Utf16Length("abc"), 3u);
  EXPECT_EQ(Utf16Length("Καλημέρα"), 8u);
  EXPECT_EQ(Utf16Length("€"), 1u);
  EXPECT_EQ(Utf16Length("😀"), 2u);
  EXPECT_EQ(Utf16Length("a\xE0\x80\xAF"), 4u) << "each replacement counts one";
}

TEST(Utf16Left, TakesLeadingUnits) {
  EXPECT_EQ(Utf16Left("Καλημέρα", 4), "Καλη");
  EXPECT_EQ(Utf16Left("abc", 10), "abc");
  EXPECT_EQ(Utf16Left("abc", 0), "");
  EXPECT_EQ(Utf16Left("ab😀c", 4), "ab😀");
  EXPECT_EQ(Utf16Left("ab😀c", 3), "ab" + kReplacement) << "pair cut in half";
}

TEST(Utf16Mid, TakesUnitsFromAStart) {
  EXPECT_EQ(Utf16Mid("Καλημέρα", 4, 4), "μέρα");
  EXPECT_EQ(Utf16Mid("Καλημέρα", 6, 100), "ρα");
  EXPECT_EQ(Utf16Mid("abc", 3, 1), "");
  EXPECT_EQ(Utf16Mid("abc", 99, 1), "");
  EXPECT_EQ(Utf16Mid("a😀b", 2, 2), kReplacement + "b") << "starts on the second half";
}

TEST(Utf16Mid, AgreesWithCuttingTheWholeConvertedTextAnywhere) {
  // Pieces of a text of every kind of character (ASCII, Greek, euro sign, pairs, damaged
  // bytes) taken at every start and length agree with converting it all and cutting.
  const std::string text = "ab Καλη😀μέρα €\xE0\x80\xAF 😀😀x\xF0\x9F z" + std::string("\xC3");
  const std::u16string units = Utf8ToUtf16(text);
  for (std::size_t start = 0; start <= units.size() + 1; ++start) {
    for (std::size_t count = 0; count <= units.size() + 1; ++count) {
      const std::string expected =
          start >= units.size() ? "" : Utf16ToUtf8(std::u16string_view(units).substr(start, count));
      ASSERT_EQ(Utf16Mid(text, start, count), expected) << start << " " << count;
    }
  }
  EXPECT_EQ(Utf16Mid(text, 3, SIZE_MAX), Utf16ToUtf8(units.substr(3))) << "no overflow";
}

TEST(Utf16Mid, ReadsALongTextOnlyUpToThePieceItTakes) {
  // The piece at the head of a text that ends in damaged bytes is the same as of the text
  // without them, and a piece deep inside is found by its unit position.
  std::string text;
  for (int i = 0; i < 100000; ++i) text += i % 2 == 0 ? "α" : "😀";
  EXPECT_EQ(Utf16Left(text + "\xFF", 3), "α😀");
  EXPECT_EQ(Utf16Mid(text, 149996, 4), kReplacement + "α😀") << "from the second half of a pair";
  EXPECT_EQ(Utf16Mid(text, 150000, 10), "") << "past the end";
}

TEST(FindUnpairedSurrogate, FindsTheFirstHalfWithoutItsPartner) {
  const std::u16string pair = u"a\U0001F600b";
  EXPECT_EQ(FindUnpairedSurrogate(pair), std::u16string::npos);
  EXPECT_EQ(FindUnpairedSurrogate(u""), std::u16string::npos);
  EXPECT_EQ(FindUnpairedSurrogate(std::u16string(u"ab") + char16_t(0xD83D)), 2u) << "at the end";
  EXPECT_EQ(FindUnpairedSurrogate(std::u16string(1, char16_t(0xDE00)) + u"x"), 0u) << "low first";
  EXPECT_EQ(FindUnpairedSurrogate(std::u16string(u"x") + char16_t(0xD83D) + char16_t(0xD83D) +
                                  char16_t(0xDE00)),
            1u)
      << "two highs: the first has no partner";
}

}  // namespace
}  // namespace qv::platform
