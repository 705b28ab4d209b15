#include "http/header_text.h"

#include <gtest/gtest.h>

namespace quillax {
namespace {

TEST(HeaderText, NormalizeHeaderBlock) {
  struct Case {
    const char* name;
    Text in;
    Text want;
  };
  const Case cases[] = {
      {"drops lines without colon", "accept: */*\r\nbad line\r\n\r\nx-a-b: 1",
       "Accept: */*\r\nX-A-B: 1"},
      {"empty", "", ""},
      {"no colon at all", "abc\r\ndef", ""},
      {"empty name", ":v", ":v"},
      {"trailing dash kept", "x-: v", "X-: v"},
      {"leading space", " accept: v", " accept: v"},
      {"value untouched", "content-type: application/json;charset=x-y",
       "Content-Type: application/json;charset=x-y"},
      {"double-byte word", "\xD6\xD0-a: v", "\xD6\xD0-A: v"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(normalize_header_block(c.in), c.want);
  }
}

TEST(HeaderText, LinePartsAndMarkers) {
  EXPECT_EQ(header_name_of(" Content-Type :  text/html "), "Content-Type");
  EXPECT_EQ(header_value_of(" Content-Type :  text/html "), "text/html");
  EXPECT_EQ(header_value_of("X-Time: 10:30"), "10:30");
  EXPECT_EQ(header_name_of("no colon"), "");
  EXPECT_EQ(header_value_of("no colon"), "");
  EXPECT_EQ(text_before("Set-Cookie: a=1", ": "), "Set-Cookie");
  EXPECT_EQ(text_before("abc", ": "), "");
  EXPECT_EQ(text_between("Set-Cookie: sid=7; path=/", "Set-Cookie:", ";"), " sid=7");
  EXPECT_EQ(text_between("Set-Cookie: sid=7", "Set-Cookie:", ";"), "");
  // "#引号" names a double quote.
  EXPECT_EQ(text_between("a=\"v\"", "#\xD2\xFD\xBA\xC5", "#\xD2\xFD\xBA\xC5"), "v");
  EXPECT_EQ(capitalize_first("\xD6\xD0x"), "\xD6\xD0x");
}

TEST(HeaderText, MergeCookieText) {
  struct Case {
    const char* name;
    Text old_cookies;
    Text new_cookies;
    Text want;
  };
  const Case cases[] = {
      {"new wins", "a=1; b=2", "b=3", "b=3; a=1"},
      {"deleted dropped", "a=1; b=2", "b=deleted", "a=1"},
      {"first old of a name survives", "a=1; a=2", "", "a=1"},
      {"trailing semicolons", "a=1;", "c=3;", "c=3; a=1"},
      {"no space is one pair", "a=1;b=2", "b=3", "b=3; a=1;b=2"},
      {"both empty", "", "", ""},
      {"case-sensitive names", "SID=1", "sid=2", "sid=2; SID=1"},
      {"exact repeats removed", "x=1", "x=1; y=2; y=2", "x=1; y=2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Text old_cookies = c.old_cookies;
    Text new_cookies = c.new_cookies;
    EXPECT_EQ(merge_cookie_text(old_cookies, new_cookies), c.want);
    EXPECT_EQ(old_cookies, c.want);
  }
  Text old_cookies = " a=1; ";
  Text new_cookies = " b=2;";
  merge_cookie_text(old_cookies, new_cookies);
  EXPECT_EQ(new_cookies, "b=2; ");
}

TEST(HeaderText, ListHelpers) {
  EXPECT_EQ(join_unique("x; y; x", "; "), "x; y");
  EXPECT_EQ(join_unique("", "; "), "");
  EXPECT_EQ(index_in_list({"a", "b", "b"}, "b"), 2);
  EXPECT_EQ(index_in_list({"a"}, "c"), -1);
  EXPECT_EQ(cookie_name_of(" sid = 1"), "sid");
  EXPECT_EQ(cookie_name_of(" flag "), "flag");
  EXPECT_TRUE(has_cookie_named({"a=1", " b=2"}, "b"));
  EXPECT_FALSE(has_cookie_named({"a=1"}, "A"));
}

}  // namespace
}  // namespace quillax
