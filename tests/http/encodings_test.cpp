#include "http/encodings.h"

#include <gtest/gtest.h>

namespace quillax {
namespace {

// 登录成功 in GBK.
constexpr char kLoginOk[] = "\xB5\xC7\xC2\xBC\xB3\xC9\xB9\xA6";

TEST(UnescapeResponseText, ResolvesUnicodeEscapesAndLeavesTheRestAlone) {
  struct Case {
    const char* name;
    Text in;
    Text want;
  };
  const Case cases[] = {
      {"chinese escapes", R"({"info":"\u767b\u5f55\u6210\u529f"})",
       std::string("{\"info\":\"") + kLoginOk + "\"}"},
      {"upper-case hex", R"(\u767B)", "\xB5\xC7"},
      {"line breaks and apostrophe", "a\r\nb\nc'd", "a\r\nb\nc'd"},
      {"leading CR kept", "\rx", "\rx"},
      {"percent and marker untouched", "%41 100% {$} \xA1\xAF", "%41 100% {$} \xA1\xAF"},
      {"escaped quote stays", R"("a\"b")", R"("a\"b")"},
      {"escaped quote as unicode stays", R"("a\u0022b\u005cc")", R"("a\u0022b\u005cc")"},
      {"control escape stays", R"(\u000a\n\t)", R"(\u000a\n\t)"},
      {"escaped backslash is a pair", R"(\\u0041)", R"(\\u0041)"},
      {"slash escape left for the reader", R"(http:\/\/x)", R"(http:\/\/x)"},
      {"right quote escape", R"(\u2019)", "\xA1\xAF"},
      {"no gbk form", R"(\u00e9x)", "\xA8\xA6x"},  // é exists in GBK
      {"emoji pair is one character", R"(\ud83d\ude00!)", "?!"},
      {"lone surrogate", R"(\ud800x)", "?x"},
      {"short escape", R"(\u12)", R"(\u12)"},
      {"backslash at end", "a\\", "a\\"},
      {"trail byte 5C is not an escape", "\x81\x5Cu767b", "\x81\x5Cu767b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(unescape_response_text(c.in), c.want);
  }
}

TEST(Encodings, Utf8AndLocal) {
  EXPECT_EQ(utf8_to_local("\xE4\xB8\xAD"), "\xD6\xD0");
  EXPECT_EQ(utf8_to_local(""), "");
  EXPECT_EQ(utf8_to_local("a\xFF"
                          "b"),
            "a?b");
  EXPECT_EQ(local_to_utf8_text("\xD6\xD0!"), "\xE4\xB8\xAD!");
  EXPECT_EQ(local_to_utf8_bytes("\xD6\xD0"), (Bytes{0xE4, 0xB8, 0xAD}));
  EXPECT_EQ(unicode_bytes_to_text(Bytes{0x2D, 0x4E, 'a', 0}),
            "\xD6\xD0"
            "a");
}

TEST(Encodings, BuildingBlocksStopAtZero) {
  EXPECT_EQ(multibyte_to_utf16(Bytes{'a', 0, 'b'}, 936), (Bytes{'a', 0, 0, 0}));
  EXPECT_EQ(multibyte_to_utf16(Bytes{0, 'a'}, 936), Bytes{});
  EXPECT_EQ(utf16_to_multibyte(Bytes{'a', 0, 0, 0, 'b', 0}, 936), Bytes{'a'});
  EXPECT_EQ(utf16_to_multibyte(Bytes{}, 936), Bytes{});
}

TEST(Encodings, UrlEncode) {
  EXPECT_EQ(url_encode("a b~\xD6\xD0", true, true), "a+b%7E%E4%B8%AD");
  EXPECT_EQ(url_encode("a b~\xD6\xD0", true, false), "a+b%7E%D6%D0");
  EXPECT_EQ(url_encode("ab", false, false), "%61%62");
  EXPECT_EQ(url_encode("a b", false, false), "%61+%62");
  EXPECT_EQ(url_encode("-_.'()*!", true), "-_.'()*%21");
  EXPECT_EQ(percent_encode_bytes(Bytes{0x41, 0x00, 0x42}, true), "AB");
  EXPECT_EQ(url_encode(""), "");
}

}  // namespace
}  // namespace quillax
