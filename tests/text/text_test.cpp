#include "text/text.h"

#include <gtest/gtest.h>

namespace quillax::text {
namespace {

// GBK characters whose trail byte is an ASCII separator: 乗 = 81 5C ('\'), 亅 = 81 7C ('|').
constexpr char kBackslashTrail[] = "\x81\x5C";
constexpr char kBarTrail[] = "\x81\x7C";
constexpr char kFullWidthSpace[] = "\xA1\xA1";

TEST(TextFind, NeverMatchesOnATrailByte) {
  const Text t = std::string("a") + kBackslashTrail + "\\b";
  EXPECT_EQ(find(t, "\\"), 3u);
  EXPECT_EQ(find(t, "\\", 4), npos);
  EXPECT_EQ(find(kBarTrail, "|"), npos);
  EXPECT_EQ(find("abc", ""), npos);
  EXPECT_EQ(find_ignore_case("x Content-TYPE: y", "content-type:"), 2u);
}

TEST(TextSplit, KeepsLeadingAndInnerEmptyPiecesButNoTrailingOne) {
  struct Case {
    const char* name;
    Text text;
    Text sep;
    std::vector<Text> want;
  };
  const Case cases[] = {
      {"empty text", "", "&", {}},
      {"plain", "a=1&b=2", "&", {"a=1", "b=2"}},
      {"trailing separator", "a=1&", "&", {"a=1"}},
      {"inner empty", "a&&b", "&", {"a", "", "b"}},
      {"leading empty", "&a", "&", {"", "a"}},
      {"multi-byte separator", "a; b;c", "; ", {"a", "b;c"}},
      {"separator as trail byte",
       std::string("x") + kBarTrail + "|y",
       "|",
       {std::string("x") + kBarTrail, "y"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(split(c.text, c.sep), c.want);
  }
}

TEST(TextTrim, RemovesAsciiAndFullWidthSpacesOnly) {
  EXPECT_EQ(trim("  a b  "), "a b");
  EXPECT_EQ(trim(std::string(kFullWidthSpace) + "x" + kFullWidthSpace), "x");
  EXPECT_EQ(trim("\tx\r\n"), "\tx\r\n");
  EXPECT_EQ(trim("   "), "");
  // B0 A1 A1: the character 啊 (B0 A1) then a stray A1 — its last two bytes are no space.
  EXPECT_EQ(trim("\xB0\xA1\xA1"), "\xB0\xA1\xA1");
}

TEST(TextReplace, ReplaceTextsRules) {
  struct Case {
    const char* name;
    Text text;
    std::vector<Replacement> pairs;
    std::optional<int> count;
    int start;
    bool case_sensitive;
    Text want;
  };
  const Case cases[] = {
      {"all brackets", "[a],[b]", {{"[", ""}}, std::nullopt, 1, false, "a],b]"},
      {"count 1", "[a],[b]", {{"[", ""}}, 1, 1, false, "a],[b]"},
      {"pairs in order",
       "[\"x\",\"y\"]",
       {{"[", ""}, {"]", ""}, {"\"", ""}},
       std::nullopt,
       1,
       false,
       "x,y"},
      {"case folded", "AbAB", {{"ab", "-"}}, std::nullopt, 1, false, "--"},
      {"case sensitive", "AbAB", {{"ab", "-"}}, std::nullopt, 1, true, "AbAB"},
      {"start position", "aaaa", {{"a", "b"}}, std::nullopt, 3, false, "aabb"},
      {"start beyond end", "aa", {{"a", "b"}}, std::nullopt, 9, false, "aa"},
      {"start 0 means 1", "aa", {{"a", "b"}}, std::nullopt, 0, false, "bb"},
      {"empty search", "aa", {{"", "b"}}, std::nullopt, 1, false, "aa"},
      {"trail byte kept",
       std::string(kBackslashTrail) + "\\",
       {{"\\", "/"}},
       std::nullopt,
       1,
       false,
       std::string(kBackslashTrail) + "/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(replace_texts(c.text, c.pairs, c.count, c.start, c.case_sensitive), c.want);
  }
  EXPECT_EQ(replace_all(std::string(kBarTrail) + "|", "|", ","), std::string(kBarTrail) + ",");
}

}  // namespace
}  // namespace quillax::text
