#include <gtest/gtest.h>

#include "core/Text.h"

namespace zorvik::text {
namespace {

TEST(TextTest, InStrCountsFromOneAndAnswersZeroWhenAbsent) {
  EXPECT_EQ(InStr("abcabc", "c"), 3u);
  EXPECT_EQ(InStr(6, "abcabc", "c"), 6u);  // the last character
  EXPECT_EQ(InStr(7, "abcabc", "c"), 0u);
  EXPECT_EQ(InStr("abc", "x"), 0u);
  EXPECT_EQ(InStr(0, "abc", "a"), 1u) << "position 0 counts as 1";
  EXPECT_EQ(InStr(2, "abc", ""), 2u);
  EXPECT_EQ(InStr(4, "abc", ""), 0u) << "a start beyond the text finds nothing";
  EXPECT_EQ(InStr("", ""), 0u);
  EXPECT_EQ(InStrNoCase(1, "Text/HTML; charset", "text/"), 1u);
  EXPECT_EQ(InStrNoCase(2, "aXbx", "X"), 2u);
  EXPECT_EQ(InStrNoCase(3, "aXbx", "X"), 4u);
}

TEST(TextTest, MidLeftRightClampToTheText) {
  EXPECT_EQ(Mid("abcdef", 2, 3), "bcd");
  EXPECT_EQ(Mid("abcdef", 5, 10), "ef");
  EXPECT_EQ(Mid("abcdef", 7, 1), "");
  EXPECT_EQ(Mid("abcdef", 3), "cdef");
  EXPECT_EQ(Right("abc", 2), "bc");
  EXPECT_EQ(Right("abc", 9), "abc");
}

TEST(TextTest, CaseFoldingIsAsciiOnlyAndTrimDropsOnlyBlanks) {
  EXPECT_EQ(LCase("AbC\xC3\x84Z"), "abc\xC3\x84z");
  EXPECT_EQ(Trim("  a b \t "), "a b \t");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(TrimWhiteSpace("\r\n\t a b\v\f "), "a b");
  EXPECT_EQ(TrimWhiteSpace(" \t"), "");
  EXPECT_TRUE(EqualsNoCase("Content-Type", "content-type"));
  EXPECT_FALSE(EqualsNoCase("abc", "abcd"));
  EXPECT_TRUE(ContainsNoCase("image/GIF", "gif"));
  EXPECT_FALSE(HasControlCharacter("http://x/a b\xC3\xA4~"));
  EXPECT_TRUE(HasControlCharacter("a\r\nb"));
  EXPECT_TRUE(HasControlCharacter(std::string_view("a\0b", 3)));
  EXPECT_TRUE(HasControlCharacter("\x7f"));
}

}  // namespace
}  // namespace zorvik::text
