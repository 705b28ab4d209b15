#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace quillax::platform {
namespace {

TEST(Codepage, RoundTripsGbkAndUtf8) {
  const std::string gbk = "\xD6\xD0\xCE\xC4 abc";  // 中文 abc
  const std::u16string wide = u"中文 abc";
  EXPECT_EQ(multibyte_to_wide(gbk, kGbkCodePage), wide);
  EXPECT_EQ(wide_to_multibyte(wide, kGbkCodePage), gbk);
  EXPECT_EQ(wide_to_multibyte(wide, kUtf8CodePage), "\xE4\xB8\xAD\xE6\x96\x87 abc");
  EXPECT_EQ(multibyte_to_wide("\xE4\xB8\xAD", kUtf8CodePage), u"中");
  EXPECT_EQ(multibyte_to_wide(std::string_view("a\0b", 3), kGbkCodePage),
            std::u16string(u"a\0b", 3));
}

TEST(Codepage, BadInputBecomesReplacementAndUnmappableBecomesQuestionMark) {
  EXPECT_EQ(multibyte_to_wide("a\xE4\xB8"
                              "b",
                              kUtf8CodePage),
            u"a\uFFFDb");
  EXPECT_EQ(multibyte_to_wide("\xFF"
                              "a",
                              kUtf8CodePage),
            u"\uFFFDa");
  EXPECT_EQ(multibyte_to_wide("a\xD6", kGbkCodePage), u"a\uFFFD");  // cut in the middle
  EXPECT_EQ(wide_to_multibyte(u"a\uFFFDb", kGbkCodePage), "a?b");
  EXPECT_EQ(wide_to_multibyte(u"\U0001F600x", kGbkCodePage), "?x");  // one character
  EXPECT_EQ(wide_to_multibyte(std::u16string(1, u'\xD800') + u"x", kGbkCodePage), "?x");
  EXPECT_EQ(wide_to_multibyte(std::u16string(1, u'\xD800'), kUtf8CodePage), "?");
}

TEST(Codepage, LocalCodePageIsGbkByDefault) { EXPECT_EQ(local_code_page(), kGbkCodePage); }

}  // namespace
}  // namespace quillax::platform
