#include "json/json_document.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quillax {
namespace {

// GBK: 中 = D6 D0, 文 = CE C4; 乗 = 81 5C has a backslash as its trail byte.
const Text kZhong = "\xD6\xD0";
const Text kWen = "\xCE\xC4";
const Text kBackslashTrail = "\x81\x5C";

JsonDocument loaded(const Text& text) {
  JsonDocument doc;
  EXPECT_TRUE(doc.load(text)) << text;
  return doc;
}

TEST(JsonLoad, ResultAndRootFollowTheExpressionRules) {
  struct Case {
    const char* name;
    Text text;
    bool raw;
    bool ok;
    Text json;
  };
  const Case cases[] = {
      {"empty text leaves the root missing", "", false, false, ""},
      {"blank text", " \r\n", false, false, ""},
      {"null", "null", false, false, "null"},
      {"zero", "0", false, true, "0"},
      {"empty object", "{}", false, true, "{}"},
      {"false", "false", false, true, "false"},
      {"string holding a number is read again", "\"200\"", false, true, "200"},
      {"string holding an array", "\"[1, 2]\"", false, true, "[1,2]"},
      {"string holding a string is read twice only", "\"\\\"x\\\"\"", false, true, "\"x\""},
      {"string holding abc fails, root null", "\"abc\"", false, false, "null"},
      {"string holding nothing", "\"\"", false, false, ""},
      {"HTML page", "<html><body>502 Bad Gateway</body></html>", false, false, "null"},
      {"raw string stays a string", "\"200\"", true, true, "\"200\""},
      {"raw empty text fails", "", true, false, "null"},
      {"duplicate key keeps first place, last value", "{\"a\":1,\"b\":2,\"a\":3}", false, true,
       "{\"a\":3,\"b\":2}"},
      {"whitespace between tokens", " [ 1 ,\n2 ] ", false, true, "[1,2]"},
      {"big integer loses precision like a double", "[12345678901234567890]", false, true,
       "[12345678901234567000]"},
      {"minus zero", "[-0]", false, true, "[0]"},
      {"literal too large is Infinity, written null", "[1e400,-1e400]", false, true, "[null,null]"},
      {"literal too small is zero", "[1e-400]", false, true, "[0]"},
      {"raw tab inside a string is taken", "[\"a\tb\"]", false, true, "[\"a\\tb\"]"},
      {"raw line break inside a string fails", "[\"a\nb\"]", false, false, "null"},
      {"truncated object", "{\"a\":", false, false, "null"},
      {"truncated string", "[\"abc", false, false, "null"},
      {"truncated escape", "[\"\\u12\"]", false, false, "null"},
      {"invalid escape", "[\"\\x41\"]", false, false, "null"},
      {"trailing comma", "[1,]", false, false, "null"},
      {"text after the value", "1 2", false, false, "null"},
      {"leading zero", "[01]", false, false, "null"},
      {"single quotes", "['a']", false, false, "null"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JsonDocument doc;
    EXPECT_EQ(doc.load(c.text, c.raw), c.ok);
    EXPECT_EQ(doc.to_json(), c.json);
  }
}

TEST(JsonLoad, AFailedLoadLeavesEveryReadEmpty) {
  JsonDocument doc = loaded("{\"msg\":{\"code\":0}}");
  EXPECT_FALSE(doc.load("<html>oops</html>"));
  EXPECT_EQ(doc.get_text("msg.code"), "");
  EXPECT_EQ(doc.child_document("msg.code").to_json(), "");
  EXPECT_EQ(doc.count("data"), 0);
  EXPECT_EQ(doc.get_number("msg.code"), 0);
  EXPECT_EQ(doc.type_of("msg.code"), JsonType::JsonOther);
}

TEST(JsonLoad, ErrorDetailsPlaceTheFailure) {
  JsonDocument doc;
  ScriptError err;
  EXPECT_FALSE(doc.load("{\"a\":1,\n \"b\":}", false, &err));
  EXPECT_NE(err.number, 0);
  EXPECT_FALSE(err.description.empty());
  EXPECT_EQ(err.line, 2);
  EXPECT_EQ(err.column, 5);
  EXPECT_EQ(err.text, " \"b\":}");
  // A string's content read again is where the failure lies.
  EXPECT_FALSE(doc.load("\"[1,\\nx]\"", false, &err));
  EXPECT_EQ(err.line, 2);
  EXPECT_EQ(err.column, 0);
  EXPECT_EQ(err.text, "x]");
  EXPECT_TRUE(doc.load("[1]", false, &err));
  EXPECT_EQ(err.number, 0);
  EXPECT_EQ(err.line, 0);
}

TEST(JsonLoad, GbkTextConvertsWithoutTakingTrailBytesForEscapes) {
  // The trail byte 5C of 乗 must not start an escape; the member name is Chinese.
  JsonDocument doc = loaded("{\"" + kZhong + kWen + "\":\"" + kBackslashTrail + "\"}");
  EXPECT_EQ(doc.get_text(kZhong + kWen), kBackslashTrail);
  EXPECT_EQ(doc.to_json(), "{\"" + kZhong + kWen + "\":\"" + kBackslashTrail + "\"}");
  // A lead byte without its trail becomes U+FFFD, written as an escape.
  JsonDocument bad = loaded("[\"a\x81\"]");
  EXPECT_EQ(bad.to_json(), "[\"a\\ufffd\"]");
}

TEST(JsonSerialise, WritesTheCompactEscapedForm) {
  struct Case {
    const char* name;
    Text in;
    Text want;
  };
  const Case cases[] = {
      {"short escapes", "[\"\\b\\t\\n\\f\\r\"]", "[\"\\b\\t\\n\\f\\r\"]"},
      {"other controls as lowercase \\u", "[\"\\u0001\\u001F\\u007f\\u009f\"]",
       "[\"\\u0001\\u001f\\u007f\\u009f\"]"},
      {"format characters",
       "[\"\\u00AD\\u0600\\u070f\\u17b5\\u200c\\u2028\\u202f\\u2060\\ufeff\\ufff0\"]",
       "[\"\\u00ad\\u0600\\u070f\\u17b5\\u200c\\u2028\\u202f\\u2060\\ufeff\\ufff0\"]"},
      {"quote and backslash", "[\"a\\\"b\\\\c\"]", "[\"a\\\"b\\\\c\"]"},
      {"slash unchanged", "[\"a\\/b\"]", "[\"a/b\"]"},
      {"Chinese unchanged", "[\"\\u4e2d\"]", "[\"" + kZhong + "\"]"},
      {"character GBK lacks", "[\"\\ud83d\\ude00\",\"\\ud800\"]", "[\"?\",\"?\"]"},
      {"marker written as a backslash", "[\"\\u2400n\"]", "[\"\\n\"]"},
      {"nesting without spaces", "{ \"a\" : [ { } , [ ] , null , true ] }",
       "{\"a\":[{},[],null,true]}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(loaded(c.in).to_json(), c.want);
  }
}

TEST(JsonSerialise, NumbersUseTheShortestScriptForm) {
  struct Case {
    Text in;
    Text want;
  };
  const Case cases[] = {
      {"200", "200"},           {"1.5", "1.5"},
      {"0.1", "0.1"},           {"-2.5e-3", "-0.0025"},
      {"0.000001", "0.000001"}, {"1e-7", "1e-7"},
      {"1.25e-7", "1.25e-7"},   {"123456789012345680000", "123456789012345680000"},
      {"1e21", "1e+21"},        {"1.5e300", "1.5e+300"},
      {"5e-324", "5e-324"},     {"1.7976931348623157e308", "1.7976931348623157e+308"},
      {"100E2", "10000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(loaded("[" + c.in + "]").to_json(), "[" + c.want + "]");
    JsonDocument doc = loaded("{\"n\":" + c.in + "}");
    EXPECT_EQ(doc.get_text("n"), c.want);
  }
}

TEST(JsonSerialise, NumbersRoundTripThroughTheirText) {
  std::mt19937_64 rng(7);
  std::uniform_int_distribution<std::uint64_t> bits;
  for (int i = 0; i < 5000; ++i) {
    const std::uint64_t b = bits(rng);
    double x;
    static_assert(sizeof x == sizeof b);
    std::memcpy(&x, &b, sizeof x);
    if (!std::isfinite(x)) continue;
    JsonDocument doc;
    doc.set_number("n", x);
    JsonDocument back = loaded(doc.to_json());
    ASSERT_EQ(back.get_number("n"), x == 0 ? 0.0 : x) << doc.to_json();
  }
}

// One document read through every path form.
const char kPaths[] =
    "{\"title\":\"t\",\"x\":1,\"data\":{\"data\":[{\"name\":\"n0\",\"shop_id\":7},"
    "{\"name\":\"n1\"}],\"last_page\":3},\"arr\":[1,\"a\",null,[2,[3,null]],{}],"
    "\"n\":null,\"s\":\"abc\",\"t\":true,\"f\":1.5,\"da\":{\"y\":2},\"10\":\"ten\","
    "\"num\":\" 12.5 \"}";

TEST(JsonPath, ResolvesEveryFormAndTheRootNameRule) {
  struct Case {
    const char* path;
    JsonType type;
    Text text;
    bool exists;
  };
  const Case cases[] = {
      {"", JsonType::JsonObject, "[object Object]", true},
      {"title", JsonType::JsonString, "t", true},
      {"data.data[1].name", JsonType::JsonString, "n1", true},
      {"data['last_page']", JsonType::JsonNumber, "3", true},
      {"data.data[0]['shop_id']", JsonType::JsonNumber, "7", true},
      {"data[\"last_page\"]", JsonType::JsonNumber, "3", true},
      {"['title']", JsonType::JsonString, "t", true},
      {"[10]", JsonType::JsonString, "ten", true},
      {"arr['1']", JsonType::JsonString, "a", true},
      {"arr", JsonType::JsonArray, "1,a,,2,3,,[object Object]", true},
      {"arr[3][1][0]", JsonType::JsonNumber, "3", true},
      {"arr[2]", JsonType::JsonNull, "", false},
      {"arr[9]", JsonType::JsonNull, "", false},
      {"t", JsonType::JsonBoolean, "true", true},
      {"f", JsonType::JsonNumber, "1.5", true},
      {"missing", JsonType::JsonNull, "", false},
      {"missing.x", JsonType::JsonOther, "", false},
      {"n", JsonType::JsonNull, "", false},
      {"n.x", JsonType::JsonOther, "", false},
      {"s.length", JsonType::JsonNull, "", false},
      {"s[0]", JsonType::JsonNull, "", false},
      // "da.x" is absolute while root.x holds a value ...
      {"da.x", JsonType::JsonNumber, "1", true},
      {"da", JsonType::JsonObject, "[object Object]", true},
      // ... and relative otherwise: da.y becomes da.da.y.
      {"da.y", JsonType::JsonNumber, "2", true},
      // Leading name "data" is not the root name.
      {"data.last_page", JsonType::JsonNumber, "3", true},
      {"a..b", JsonType::JsonOther, "", false},
      {".x", JsonType::JsonOther, "", false},
      {"arr[", JsonType::JsonOther, "", false},
      {"arr[1", JsonType::JsonOther, "", false},
      {"x y", JsonType::JsonOther, "", false},
  };
  const JsonDocument doc = loaded(kPaths);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(doc.type_of(c.path), c.type);
    EXPECT_EQ(doc.get_text(c.path), c.text);
    EXPECT_EQ(doc.exists(c.path), c.exists);
  }
}

TEST(JsonPath, ResolvePathRewritesToTheFullPath) {
  struct Case {
    Text path;
    Text full;
    bool exists;
  };
  const Case cases[] = {
      {"", "da", true},       {"[0]", "da[0]", false},      {"title", "da.title", true},
      {"da.x", "da.x", true}, {"da.zz", "da.da.zz", false}, {"data.data", "da.data.data", true},
      {"da", "da", true},
  };
  const JsonDocument doc = loaded(kPaths);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Text path = c.path;
    EXPECT_EQ(doc.resolve_path(path), c.exists);
    EXPECT_EQ(path, c.full);
  }
  JsonDocument empty;
  EXPECT_EQ(empty.get_text("da.x"), "");
}

TEST(JsonRead, NumbersCountsAndNames) {
  const JsonDocument doc = loaded(kPaths);
  const std::pair<const char*, double> numbers[] = {
      {"x", 1}, {"f", 1.5}, {"t", -1},      {"num", 12.5},    {"s", 0},
      {"n", 0}, {"", 0},    {"missing", 0}, {"missing.x", 0},
  };
  for (const auto& [path, want] : numbers) {
    SCOPED_TRACE(path);
    EXPECT_EQ(doc.get_number(path), want);
  }
  const std::pair<const char*, int> counts[] = {
      {"data.data", 2}, {"arr", 5}, {"arr[4]", 0}, {"s", 0}, {"missing", 0}, {"missing.x", 0},
  };
  for (const auto& [path, want] : counts) {
    SCOPED_TRACE(path);
    EXPECT_EQ(doc.count(path), want);
  }
  EXPECT_EQ(loaded("[]").count(""), 0);

  std::vector<Text> names{"stale"};
  EXPECT_EQ(doc.member_names(names, "data.data[0]"), 2);
  EXPECT_EQ(names, (std::vector<Text>{"name", "shop_id"}));
  for (const char* path : {"arr", "s", "n", "missing", "missing.x"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(doc.member_names(names, path), 0);
    EXPECT_TRUE(names.empty());
  }
  // An empty trailing name is dropped like any trailing empty piece.
  EXPECT_EQ(loaded("{\"\":1,\"a\":2,\"\":3}").member_names(names, ""), 2);
  EXPECT_EQ(names, (std::vector<Text>{"", "a"}));
}

TEST(JsonRead, ElementReads) {
  const JsonDocument doc = loaded("{\"a\":[\"s\",2,{\"k\":1}],\"o\":{\"1\":\"one\"}}");
  EXPECT_EQ(doc.element_text(0, "a"), "s");
  EXPECT_EQ(doc.element_text(1, "a"), "");  // only a string gives its text
  EXPECT_EQ(doc.element_text(1, "a", true), "2");
  EXPECT_EQ(doc.element_text(2, "a", true), "{\"k\":1}");
  EXPECT_EQ(doc.element_text(5, "a", true), "");
  EXPECT_EQ(doc.element_text(-1, "a", true), "");
  EXPECT_EQ(doc.element_text(1, "o"), "one");
  EXPECT_EQ(doc.element_text(0, "missing.x", true), "");
  EXPECT_EQ(doc.element_document(2, "a").get_text("k"), "1");
  EXPECT_EQ(doc.element_document(1, "a").to_json(), "2");
  EXPECT_EQ(doc.get_json("a[2]"), "{\"k\":1}");
  EXPECT_EQ(doc.get_text("a[2]", true), "{\"k\":1}");
  EXPECT_EQ(loaded("{\"n\":null}").get_json("n"), "null");
}

TEST(JsonRead, LeafValues) {
  const JsonDocument doc = loaded(
      "{\"a\":\"x\",\"b\":{\"c\":2},\"d\":\"\",\"e\":[true,null,\"s\",\"\",1.5],\"f\":null}");
  std::vector<Text> values{"stale"};
  EXPECT_EQ(doc.leaf_values(values, "", true), 7);
  EXPECT_EQ(values, (std::vector<Text>{"x", "2", "", "true", "s", "", "1.5"}));
  const JsonDocument nested = loaded("{\"a\":\"x\",\"b\":{\"c\":2},\"d\":\"\"}");
  EXPECT_EQ(nested.leaf_values(values, "", true), 2);
  EXPECT_EQ(values, (std::vector<Text>{"x", "2"}));
  EXPECT_EQ(nested.leaf_values(values, "", false), 1);
  EXPECT_EQ(values, (std::vector<Text>{"x"}));
  EXPECT_EQ(nested.leaf_values(values, "a"), 0);  // a string has no members
  EXPECT_EQ(nested.leaf_values(values, "missing.x", true), 0);
}

TEST(JsonChildDocument, ReadsTheValueBackAsAnExpression) {
  const JsonDocument doc = loaded(
      "{\"n\":200,\"s200\":\"200\",\"abc\":\"abc\",\"nul\":null,\"o\":{\"b\":[1,2]},"
      "\"arr\":\"[1,2]\",\"b\":true,\"empty\":\"\",\"code\":\"0\",\"neg\":-0,"
      "\"quoted\":\"\\\"q\\\"\",\"deep\":{\"x\":[1,{\"y\":\"z\"}]}}");
  struct Case {
    const char* path;
    Text json;
  };
  const Case cases[] = {
      {"n", "200"},           {"s200", "200"},
      {"abc", "null"},        {"nul", "null"},
      {"missing", ""},        {"missing.x", ""},
      {"o", "{\"b\":[1,2]}"}, {"arr", "[1,2]"},
      {"b", "true"},          {"empty", ""},
      {"code", "0"},          {"neg", "0"},
      {"quoted", "\"q\""},    {"deep", "{\"x\":[1,{\"y\":\"z\"}]}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(doc.child_document(c.path).to_json(), c.json);
  }
  // The child holds a copy: changing it leaves the source alone.
  JsonDocument child = doc.child_document("o");
  child.set_value("b", "changed");
  EXPECT_EQ(doc.get_json("o"), "{\"b\":[1,2]}");
  EXPECT_EQ(child.to_json(), "{\"b\":\"changed\"}");
}

TEST(JsonChildDocument, GoesThroughTheWrittenText) {
  JsonDocument doc;
  doc.set_value("m", "a\\n");            // written "a\n": reads back as a, line break
  doc.set_value("u", "\\u0032\\u0030");  // written "\u0032\u0030": reads back as 20
  doc.set_number("inf", std::numeric_limits<double>::infinity());
  doc.assign_json("holes", "[1]");
  doc.set_element(2, "holes", "3", true);
  doc.set_value("gone", "", true);  // a member that holds nothing
  EXPECT_EQ(doc.child_document("m").to_json(), "null");
  EXPECT_EQ(doc.child_document("u").to_json(), "20");
  EXPECT_EQ(doc.child_document("inf").to_json(), "null");
  EXPECT_EQ(doc.child_document("holes").to_json(), "[1,null,3]");
  EXPECT_EQ(doc.child_document("").to_json(),
            "{\"m\":\"a\\n\",\"u\":\"20\",\"inf\":null,\"holes\":[1,null,3]}");
}

TEST(JsonMarker, EveryLeavingTextTurnsTheMarkerIntoABackslash) {
  const JsonDocument doc = loaded("{\"a\":\"x\\u2400y\",\"k\\u2400\":[\"\\u2400\"]}");
  EXPECT_EQ(doc.get_text("a"), "x\\y");
  EXPECT_EQ(doc.get_json("a"), "\"x\\y\"");
  EXPECT_EQ(doc.to_json(), "{\"a\":\"x\\y\",\"k\\\":[\"\\\"]}");
  EXPECT_EQ(doc.element_text(0, "['k\\u2400']"), "\\");
  // Names and leaf values keep the marker (GBK has no form for it).
  std::vector<Text> out;
  doc.member_names(out, "");
  EXPECT_EQ(out[1], "k?");
  doc.leaf_values(out, "", false);
  EXPECT_EQ(out, (std::vector<Text>{"x?y"}));
}

TEST(JsonSetValue, TextModeStoresTextsExactly) {
  const Text values[] = {
      "it's", "say \"hi\"", "a\r\nb", kZhong + kWen, kBackslashTrail, "a\\nb", "\\u4e2d", "",
  };
  for (const Text& v : values) {
    SCOPED_TRACE(v);
    JsonDocument doc;
    doc.set_value("v", v);
    EXPECT_EQ(doc.get_text("v"), v);
  }
  JsonDocument doc;
  doc.set_value("q", "a'\"\r\n" + kZhong);
  doc.set_value("bs", "x\\ny\\u4e2d");
  EXPECT_EQ(doc.to_json(), "{\"q\":\"a'\\\"\\r\\n" + kZhong + "\",\"bs\":\"x\\ny\\u4e2d\"}");
}

TEST(JsonSetValue, BuildsTheReleaseBodyInOrder) {
  JsonDocument doc;
  doc.set_value("title", "a");
  doc.set_value("parent_id", "7");
  doc.set_value("title", "b");  // an existing member keeps its place
  EXPECT_EQ(doc.to_json(), "{\"title\":\"b\",\"parent_id\":\"7\"}");
}

TEST(JsonSetValue, WhereTheMemberIsCreated) {
  struct Case {
    const char* name;
    Text start;
    const char* path;
    Text want;
  };
  const Case cases[] = {
      {"parent missing", "{}", "b.c", "{}"},
      {"parent null", "{\"b\":null}", "b.c", "{\"b\":null}"},
      {"parent a string", "{\"b\":\"s\"}", "b.c", "{\"b\":\"s\"}"},
      {"nested object", "{\"b\":{}}", "b.c", "{\"b\":{\"c\":\"v\"}}"},
      {"array grows with holes", "{\"a\":[1]}", "a[3]", "{\"a\":[1,null,null,\"v\"]}"},
      {"quoted index on an array", "{\"a\":[1]}", "a['0']", "{\"a\":[\"v\"]}"},
      {"name on an array changes nothing", "{\"a\":[1]}", "a.len", "{\"a\":[1]}"},
      {"da.x without x is da.da.x", "{}", "da.x", "{}"},
      {"da.x with x is absolute", "{\"x\":1}", "da.x", "{\"x\":\"v\"}"},
      {"the root", "{\"x\":1}", "", "\"v\""},
      {"far index refused", "{\"a\":[]}", "a[4294967294]", "{\"a\":[]}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JsonDocument doc;
    doc.load(c.start);
    doc.set_value(c.path, "v");
    EXPECT_EQ(doc.to_json(), c.want);
  }
}

TEST(JsonSetValue, JsonModeMergesIntoObjectsAndSetsElsewhere) {
  struct Case {
    const char* name;
    Text start;
    const char* path;
    Text value;
    Text want;
  };
  const Case cases[] = {
      {"merge keeps order and recurses", "{\"o\":{\"a\":\"y\",\"b\":{\"d\":2}}}", "o",
       "{\"a\":\"x\",\"b\":{\"c\":1}}", "{\"o\":{\"a\":\"x\",\"b\":{\"d\":2,\"c\":1}}}"},
      {"merge appends to an array member", "{\"o\":{\"l\":[1]}}", "o", "{\"l\":[2,3]}",
       "{\"o\":{\"l\":[1,2,3]}}"},
      {"merge replaces number and null members", "{\"o\":{\"n\":1,\"z\":null}}", "o",
       "{\"n\":{\"x\":1},\"z\":[1]}", "{\"o\":{\"n\":{\"x\":1},\"z\":[1]}}"},
      {"merge into the root", "{\"a\":1}", "", "{\"b\":2}", "{\"a\":1,\"b\":2}"},
      {"empty value merges nothing", "{\"o\":{\"a\":1}}", "o", "", "{\"o\":{\"a\":1}}"},
      {"empty value at a missing member", "{\"a\":1}", "m", "", "{\"a\":1}"},
      {"bad merge source changes nothing", "{\"o\":{\"a\":1}}", "o",
       "{\"a\":", "{\"o\":{\"a\":1}}"},
      {"array replaced, not merged", "{\"a\":[1]}", "a", "[2]", "{\"a\":[2]}"},
      {"string content read again", "{}", "n", "\"200\"", "{\"n\":200}"},
      {"string holding abc changes nothing", "{\"n\":1}", "n", "\"abc\"", "{\"n\":1}"},
      {"null", "{\"n\":1}", "n", "null", "{\"n\":null}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JsonDocument doc;
    doc.load(c.start);
    doc.set_value(c.path, c.value, true);
    EXPECT_EQ(doc.to_json(), c.want);
  }
  // A member set to nothing keeps its place for a later value.
  JsonDocument doc;
  doc.set_value("m", "", true);
  doc.set_value("a", "1", true);
  EXPECT_EQ(doc.to_json(), "{\"a\":1}");
  doc.set_value("m", "2", true);
  EXPECT_EQ(doc.to_json(), "{\"m\":2,\"a\":1}");
  EXPECT_TRUE(doc.assign_json("a", "[true]"));
  EXPECT_FALSE(doc.assign_json("a", "nope"));
  EXPECT_EQ(doc.to_json(), "{\"m\":2,\"a\":[true]}");
}

TEST(JsonArrays, AddSetAndRemoveElements) {
  struct Case {
    const char* name;
    Text start;
    std::function<void(JsonDocument&)> change;
    Text want;
  };
  const Case cases[] = {
      {"add raw to a missing member", "{}", [](JsonDocument& d) { d.array_add("1", "list", true); },
       "{\"list\":[1]}"},
      {"add at front", "{\"list\":[1]}",
       [](JsonDocument& d) { d.array_add("2", "list", true, true); }, "{\"list\":[2,1]}"},
      {"add replaces an object", "{\"list\":{\"a\":1}}",
       [](JsonDocument& d) { d.array_add("1", "list", true); }, "{\"list\":[1]}"},
      {"raw string stays a string", "{}",
       [](JsonDocument& d) { d.array_add("\"200\"", "l", true); }, "{\"l\":[\"200\"]}"},
      {"quoted text has its escapes read", "{}",
       [](JsonDocument& d) { d.array_add("a\\tb\\x41\\u4e2d\\'", "l"); },
       "{\"l\":[\"a\\tbA" + kZhong + "'\"]}"},
      {"a bare quote changes nothing at all", "{\"l\":{}}",
       [](JsonDocument& d) { d.array_add("it's", "l"); }, "{\"l\":{}}"},
      {"a line break changes nothing", "{}", [](JsonDocument& d) { d.array_add("a\nb", "l"); },
       "{}"},
      {"a trailing backslash changes nothing", "{}",
       [](JsonDocument& d) { d.array_add("a\\", "l"); }, "{}"},
      {"empty raw text makes the array only", "{}",
       [](JsonDocument& d) { d.array_add("", "l", true); }, "{\"l\":[]}"},
      {"add under a missing parent", "{}", [](JsonDocument& d) { d.array_add("1", "a.b", true); },
       "{}"},
      {"set element past the end", "{\"a\":[1]}",
       [](JsonDocument& d) { d.set_element(2, "a", "x"); }, "{\"a\":[1,null,\"x\"]}"},
      {"set element of an object", "{\"o\":{}}",
       [](JsonDocument& d) { d.set_element(5, "o", "{\"k\":1}", true); },
       "{\"o\":{\"5\":{\"k\":1}}}"},
      {"set element of a missing value", "{}", [](JsonDocument& d) { d.set_element(0, "a", "x"); },
       "{}"},
      {"set element, negative index", "{\"a\":[1]}",
       [](JsonDocument& d) { d.set_element(-1, "a", "x"); }, "{\"a\":[1]}"},
      {"set element, empty raw text", "{\"a\":[1]}",
       [](JsonDocument& d) { d.set_element(0, "a", "", true); }, "{\"a\":[1]}"},
      {"set element, far index", "{\"a\":[1]}",
       [](JsonDocument& d) { d.set_element(2000000000, "a", "x"); }, "{\"a\":[1]}"},
      {"remove last by -1", "{\"a\":[1,2,3]}", [](JsonDocument& d) { d.remove_element(-1, "a"); },
       "{\"a\":[1,2]}"},
      {"remove at the count", "{\"a\":[1,2,3]}", [](JsonDocument& d) { d.remove_element(3, "a"); },
       "{\"a\":[1,2,3]}"},
      {"remove far before the first", "{\"a\":[1,2,3]}",
       [](JsonDocument& d) { d.remove_element(-9, "a"); }, "{\"a\":[2,3]}"},
      {"remove in the middle", "{\"a\":[1,2,3]}", [](JsonDocument& d) { d.remove_element(1, "a"); },
       "{\"a\":[1,3]}"},
      {"remove element of an object", "{\"a\":{\"0\":1}}",
       [](JsonDocument& d) { d.remove_element(0, "a"); }, "{\"a\":{\"0\":1}}"},
      {"delete an element leaves a hole", "{\"a\":[1,2,3]}",
       [](JsonDocument& d) { d.remove("a[1]"); }, "{\"a\":[1,null,3]}"},
      {"delete a member, re-adding goes last", "{\"a\":1,\"b\":2}",
       [](JsonDocument& d) {
         d.remove("a");
         d.set_number("a", 0.5);
       },
       "{\"b\":2,\"a\":0.5}"},
      {"delete a missing member", "{\"a\":1}", [](JsonDocument& d) { d.remove("x.y"); },
       "{\"a\":1}"},
      {"delete the root", "{\"a\":1}", [](JsonDocument& d) { d.remove(""); }, "{\"a\":1}"},
      {"clear", "{\"a\":1}", [](JsonDocument& d) { d.clear(); }, "{}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JsonDocument doc;
    doc.load(c.start);
    c.change(doc);
    EXPECT_EQ(doc.to_json(), c.want);
  }
  JsonDocument doc = loaded("{\"a\":[1,2,3]}");
  doc.remove("a[0]");
  EXPECT_EQ(doc.count("a"), 3);
  EXPECT_EQ(doc.get_text("a"), ",2,3");
}

TEST(JsonDocumentLife, CopiesShareTheDataUntilOneLoads) {
  JsonDocument doc = loaded("{\"a\":1}");
  JsonDocument copy = doc.copy();
  EXPECT_EQ(copy.root_name(), "da");
  EXPECT_EQ(copy.get_engine(), doc.get_engine());
  copy.set_value("b", "x");
  EXPECT_EQ(doc.to_json(), "{\"a\":1,\"b\":\"x\"}");
  EXPECT_TRUE(copy.load("[1]"));
  EXPECT_EQ(doc.to_json(), "{\"a\":1,\"b\":\"x\"}");
  EXPECT_NE(copy.get_engine(), doc.get_engine());

  doc.destroy();
  EXPECT_EQ(doc.get_engine(), nullptr);
  EXPECT_FALSE(doc.load("{}"));
  EXPECT_EQ(doc.to_json(), "");
  EXPECT_FALSE(doc.set_value("a", "b"));
  EXPECT_EQ(doc.child_document("a").to_json(), "");
  doc.init_engine();
  EXPECT_EQ(doc.to_json(), "{}");
}

TEST(JsonRobustness, DeepNestingFailsCleanly) {
  for (const char* open : {"[", "{\"a\":"}) {
    SCOPED_TRACE(open);
    Text deep;
    for (int i = 0; i < 100000; ++i) deep += open;
    JsonDocument doc;
    EXPECT_FALSE(doc.load(deep));
    EXPECT_EQ(doc.to_json(), "null");
  }
  const int limit = JsonDocument::kMaxDepth;
  JsonDocument doc;
  EXPECT_TRUE(doc.load(Text(limit, '[') + Text(limit, ']')));
  EXPECT_FALSE(doc.load(Text(limit + 1, '[') + Text(limit + 1, ']')));
  // Changes cannot build deeper than a load could.
  JsonDocument built;
  Text path = "a";
  for (int i = 0; i < limit + 10; ++i) {
    built.set_value(path, "{}", true);
    built.array_add("[[1]]", path + ".l", true);
    path += ".a";
  }
  const Text json = built.to_json();
  JsonDocument back;
  EXPECT_TRUE(back.load(json));
  EXPECT_EQ(back.to_json(), json);
}

TEST(JsonRobustness, LargeInputLoads) {
  Text big = "{\"data\":[";
  int rows = 0;
  while (big.size() < (Text::size_type{4} << 20)) {
    if (rows > 0) big += ",";
    big += "{\"id\":" + std::to_string(rows) + ",\"name\":\"" + kZhong + kWen +
           std::to_string(rows) + "\",\"tags\":[\"a\",\"b\"],\"price\":" + std::to_string(rows) +
           ".25}";
    ++rows;
  }
  big += "]}";
  JsonDocument doc = loaded(big);
  EXPECT_EQ(doc.count("data"), rows);
  EXPECT_EQ(doc.get_text("data[" + std::to_string(rows - 1) + "].name"),
            kZhong + kWen + std::to_string(rows - 1));
  EXPECT_EQ(doc.to_json(), big);
}

TEST(JsonRobustness, MutatedInputNeverBreaksTheDocument) {
  const Text seed = "{\"msg\":{\"code\":\"0\",\"info\":\"ok\"},\"data\":{\"data\":[{\"name\":\"" +
                    kZhong +
                    "\\u4e2d\\ud800\",\"n\":-1.5e3,\"b\":[true,false,null]}],\"last_page\":2}}";
  const char alphabet[] = "{}[]\",:\\u0123456789eE.-+ tfnlr\x81\xFE\x5C";
  std::mt19937 rng(42);
  for (int i = 0; i < 3000; ++i) {
    Text t = seed;
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = rng() % (t.size() + 1);
      switch (rng() % 3) {
        case 0:
          if (at < t.size()) t.erase(at, 1 + rng() % 8);
          break;
        case 1:
          t.insert(at, 1, alphabet[rng() % (sizeof alphabet - 1)]);
          break;
        default:
          t = t.substr(0, at);
      }
    }
    JsonDocument doc;
    if (doc.load(t)) {
      // What loads writes a text that loads to the same text.
      const Text once = doc.to_json();
      JsonDocument again;
      again.load(once, true);
      ASSERT_EQ(again.to_json(), once) << t;
    }
    doc.get_text("data.data[0].name");
    doc.child_document("data.data[0]").to_json();
    std::vector<Text> leaves;
    doc.leaf_values(leaves, "", true);
  }
}

}  // namespace
}  // namespace quillax
