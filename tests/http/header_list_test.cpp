#include "http/header_list.h"

#include <gtest/gtest.h>

namespace quillax {
namespace {

TEST(HeaderList, EmptyListRendersEmpty) {
  HeaderList list;
  EXPECT_EQ(list.to_header_text(), "");
  EXPECT_EQ(list.to_form_text(), "");
  EXPECT_EQ(list.to_json_text(), "{}");
}

TEST(HeaderList, OneContentTypeLineWithoutTrailingCrLf) {
  HeaderList list;
  list.add_header("Content-Type", "application/json");
  EXPECT_EQ(list.to_header_text(), "Content-Type: application/json");
}

TEST(HeaderList, DuplicatesKeptFirstOneAddressed) {
  HeaderList list;
  list.add_header("A", "1");
  list.add_header("A", "2");
  EXPECT_EQ(list.to_header_text(), "A: 1\r\nA: 2");
  EXPECT_EQ(list.to_form_text(), "A=1&A=2");
  EXPECT_EQ(list.to_json_text(), R"({"A":"1","A":"2"})");
  EXPECT_EQ(list.header_value("A"), "1");
  EXPECT_EQ(list.header_value("a"), "");
  list.set_header("A", "3");
  EXPECT_EQ(list.to_form_text(), "A=3&A=2");
  list.remove_header("A");
  EXPECT_EQ(list.to_form_text(), "A=2");
  list.set_header("B", "4");
  EXPECT_EQ(list.to_form_text(), "A=2&B=4");

  HeaderList copy = list.clone_headers();
  list.clear_headers();
  EXPECT_EQ(copy.to_form_text(), "A=2&B=4");
  std::vector<Text> names{"old"};
  copy.copy_names(names);
  EXPECT_EQ(names, (std::vector<Text>{"A", "B"}));
}

TEST(HeaderList, AddPairs) {
  struct Case {
    const char* name;
    Text form;
    Text want_form;
    std::size_t want_size;
  };
  const Case cases[] = {
      {"two pairs", "a=1&b=2", "a=1&b=2", 2},
      {"trailing separator", "a=1&", "a=1", 1},
      {"empty middle piece", "a=1&&b=2", "a=1&=&b=2", 3},
      {"no equals", "x", "=", 1},
      {"empty", "", "", 0},
      {"last equals wins", "k=x=y", "k=y", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HeaderList list;
    list.add_pairs(c.form);
    EXPECT_EQ(list.size(), c.want_size);
    EXPECT_EQ(list.to_form_text(), c.want_form);
  }
}

TEST(HeaderList, JsonEscapesOnlyQuotes) {
  HeaderList list;
  list.add_header("q", "say \"hi\" \\ there");
  EXPECT_EQ(list.to_json_text(), R"({"q":"say \"hi\" \ there"})");
}

TEST(HeaderList, PercentEncodedRenderings) {
  HeaderList list;
  list.add_header("a b", "x y~\xD6\xD0");
  EXPECT_EQ(list.to_form_text(true), "a+b=x+y%7E%D6%D0");
  EXPECT_EQ(list.to_header_text(true), "a b: x+y%7E%D6%D0");
  HeaderList utf8;
  utf8.add_header("\xD6\xD0", "v", true);
  EXPECT_EQ(utf8.to_form_text(), "\xE4\xB8\xAD=v");
}

TEST(HeaderList, StripSeparator) {
  struct Case {
    Text in;
    Text want;
  };
  const Case cases[] = {{",a,", "a"}, {"a,,", "a,"}, {",", ""}, {"a", "a"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    Text t = c.in;
    EXPECT_EQ(HeaderList::strip_separator(t, ","), c.want);
    EXPECT_EQ(t, c.want);
  }
  Text t = ",a";
  EXPECT_EQ(HeaderList::strip_separator(t, ""), ",a");
}

}  // namespace
}  // namespace quillax
