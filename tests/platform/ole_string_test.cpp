#include "platform/ole_string.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace qv::platform {
namespace {

uint32_t PrefixOf(OleStr aText) {
  uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<char*>(aText) - 4, sizeof prefix);
  return prefix;
}

TEST(OleStringLayout, LengthPrefixUnitsAndTerminator) {
  OleStr text = SysAllocString(u"Kavren");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(PrefixOf(text), 12u);
  EXPECT_EQ(SysStringLen(text), 6u);
  EXPECT_EQ(SysStringByteLen(text), 12u);
  EXPECT_EQ(std::u16string(text, 6), u"Kavren");
  EXPECT_EQ(text[6], 0);
  // A host frees with the C library exactly as the layout promises.
  std::free(reinterpret_cast<char*>(text) - 4);
}

TEST(OleStringLayout, LengthWithoutTextIsZeroFilled) {
  OleStr text = SysAllocStringLen(nullptr, 5);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringLen(text), 5u);
  for (int i = 0; i <= 5; ++i) EXPECT_EQ(text[i], 0) << "unit " << i;
  SysFreeString(text);
}

TEST(OleStringLayout, EmbeddedNulKeepsTheWholeLength) {
  const char16_t units[] = {u'a', 0, u'b'};
  OleStr text = SysAllocStringLen(units, 3);
  EXPECT_EQ(SysStringLen(text), 3u);
  EXPECT_EQ(OleStringToUtf8(text), std::string("a\0b", 3));
  SysFreeString(text);
}

TEST(OleStringLayout, NullIsAnEmptyText) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);
  EXPECT_EQ(OleStringToUtf8(nullptr), "");
  OleStr empty = SysAllocString(u"");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  EXPECT_EQ(empty[0], 0);
  SysFreeString(empty);
}

TEST(OleStringLayout, ImpossibleLengthGivesNull) {
  EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(OleStringConversion, GreekAndEuroRoundTrip) {
  const std::string text = "Απόδειξη 12,50 €";
  OleStr ole = NewOleString(text);
  EXPECT_EQ(SysStringLen(ole), 16u);
  EXPECT_EQ(ole[0], u'Α');
  EXPECT_EQ(ole[15], u'€');
  EXPECT_EQ(OleStringToUtf8(ole), text);
  SysFreeString(ole);
}

TEST(OleStringConversion, CharacterOutsideTheBasicPlaneTakesTwoUnits) {
  OleString text("ok 😀");
  EXPECT_EQ(SysStringLen(text.Get()), 5u);
  EXPECT_EQ(text.Get()[3], 0xD83D);
  EXPECT_EQ(text.Get()[4], 0xDE00);
  EXPECT_EQ(text.ToUtf8(), "ok 😀");
}

TEST(OleStringConversion, InvalidUtf16BecomesReplacementCharacter) {
  const char16_t loneHigh[] = {u'A', 0xD800, u'B'};
  const char16_t loneLowAtEnd[] = {u'A', 0xDC00};
  const char16_t swapped[] = {0xDE00, 0xD83D};
  OleString first, second, third;
  first.Reset(SysAllocStringLen(loneHigh, 3));
  second.Reset(SysAllocStringLen(loneLowAtEnd, 2));
  third.Reset(SysAllocStringLen(swapped, 2));
  EXPECT_EQ(first.ToUtf8(),
            "A\xEF\xBF\xBD"
            "B");
  EXPECT_EQ(second.ToUtf8(), "A\xEF\xBF\xBD");
  EXPECT_EQ(third.ToUtf8(), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(OleStringConversion, EmptyTextIsAValidEmptyString) {
  OleString text("");
  ASSERT_NE(text.Get(), nullptr);
  EXPECT_EQ(SysStringLen(text.Get()), 0u);
}

TEST(OleStringOwner, MoveOutReleaseAndReset) {
  OleString first("first");
  OleString second(std::move(first));
  EXPECT_EQ(first.Get(), nullptr);
  EXPECT_EQ(second.ToUtf8(), "first");

  OleString third("third");
  third = std::move(second);
  EXPECT_EQ(third.ToUtf8(), "first");

  // Out frees the old text first, as an out-argument of a companion call needs; the leak
  // checker of the test build catches a text that is not freed.
  OleStr* out = third.Out();
  EXPECT_EQ(*out, nullptr);
  *out = NewOleString("answer");
  EXPECT_EQ(third.ToUtf8(), "answer");

  OleStr released = third.Release();
  EXPECT_EQ(third.Get(), nullptr);
  EXPECT_EQ(OleStringToUtf8(released), "answer");
  SysFreeString(released);
}

}  // namespace
}  // namespace qv::platform
