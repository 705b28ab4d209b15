// The demo marketplace's own pieces: how it writes JSON, and its request log.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "demo_market/demo_data.h"
#include "http/fetch.h"
#include "market/market_fixture.h"

namespace quillax::testing {
namespace {

TEST(DemoJson, WritesTextTheWayTheMarketplaceDoes) {
  struct Case {
    const char* name;
    std::string utf8;
    std::string want;
  };
  const Case cases[] = {
      {"Chinese as escapes", "号卡", R"("\u53f7\u5361")"},
      {"slash escaped", "https://a/b", R"("https:\/\/a\/b")"},
      {"quote, backslash, CR LF, tab", "a\"\\\r\n\t", R"("a\"\\\r\n\t")"},
      {"other control characters", std::string("\x01\x7f", 2), R"("\u0001\u007f")"},
      {"beyond the BMP as a surrogate pair", "\xF0\x9F\x98\x80", R"("\ud83d\ude00")"},
  };
  for (const Case& c : cases) EXPECT_EQ(demo::json_quote(c.utf8), c.want) << c.name;
  EXPECT_EQ(demo::envelope(0, "成功", "null"),
            R"({"msg":{"code":0,"info":"\u6210\u529f"},"data":null})");
}

TEST(DemoMarketLog, AppendsEveryRequestToItsFile) {
  const std::filesystem::path log =
      std::filesystem::temp_directory_path() / ("quillax-demo-log-" + std::to_string(::getpid()));
  std::filesystem::remove(log);
  {
    demo::DemoOptions options;
    options.log_file = log.string();
    demo::DemoMarket market(options);
    ASSERT_TRUE(market.start()) << market.error();
    wininet_fetch("http://" + market.notice_host() + "/qlxnotice.txt?x=1");
  }
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  std::filesystem::remove(log);
  EXPECT_NE(text.str().find("== http GET /qlxnotice.txt?x=1"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("Accept-Language: zh-cn"), std::string::npos);
}

}  // namespace
}  // namespace quillax::testing
