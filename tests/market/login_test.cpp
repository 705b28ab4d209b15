// Login, supplier registration and the supplier list against the demo marketplace.
#include "json/json_document.h"
#include "market/market_fixture.h"
#include "market/marketplace.h"

namespace quillax::testing {
namespace {

using demo::LoggedRequest;
using platform::MessageStyle;

constexpr char kLoginPath[] = "/api/plan-market/shop/login";
constexpr char kSupplierAddPath[] = "/api/plan-market/supplier/add";
constexpr char kSupplierListPath[] = "/api/qlx/supplier/list";

using LoginTest = MarketTest;

TEST_F(LoginTest, SuccessGreetsStoresCookiesRegistersAndListsSuppliers) {
  log_in();

  ASSERT_EQ(ui_.messages().size(), 1u);
  const ShownMessage welcome = ui_.messages()[0];
  EXPECT_EQ(welcome.text,
            gbk("尊敬的晴天号卡您好，感谢您选择使用本软件。祝愿您生意兴隆，财源广进！"));
  EXPECT_EQ(welcome.caption, gbk("登录成功"));
  EXPECT_EQ(welcome.style, MessageStyle::plain);

  // The three exchanges, in order, as they arrived.
  const std::vector<LoggedRequest> requests = market_.requests();
  ASSERT_EQ(requests.size(), 3u);
  const LoggedRequest& login = requests[0];
  EXPECT_EQ(login.method, "POST");
  EXPECT_EQ(login.target, kLoginPath);
  EXPECT_EQ(login.body, R"({"name":"demo","password":"demo123"})");
  EXPECT_EQ(login.header("Content-Type"), "application/json;charset=UTF-8");
  EXPECT_FALSE(login.has_header("Cookie"));

  // The jar holds exactly the login's cookies; the registration sends them and merges.
  const Text session = text::split(state_.cookie_jar, "; ").at(0);
  EXPECT_EQ(session.rfind("qlx_session=", 0), 0u) << state_.cookie_jar;
  const LoggedRequest& add = requests[1];
  EXPECT_EQ(add.method, "POST");
  EXPECT_EQ(add.target, kSupplierAddPath);
  EXPECT_EQ(add.body, R"({"secret":"Pw3hRy7dKa"})");
  EXPECT_EQ(add.header("Content-Type"), "application/json;charset=UTF-8");
  EXPECT_EQ(add.header("Cookie"), state_.cookie_jar);

  const LoggedRequest& list = requests[2];
  EXPECT_EQ(list.method, "GET");
  EXPECT_EQ(list.target, std::string(kSupplierListPath) +
                             "?page=1&page_size=100&is_shield_goods=&is_shield_notice=");
  EXPECT_EQ(list.header("Content-Type"), "application/json");
  EXPECT_EQ(list.header("Cookie"), state_.cookie_jar);

  EXPECT_EQ(ui_.pauses(), std::vector<int>{200});
  ASSERT_EQ(window_.combo_count(), 4);
  const Text names[] = {gbk("星河号卡"), gbk("蓝海通信"), gbk("远山靓号"), gbk("新店试营业")};
  const int ids[] = {10231, 10587, 11002, 11350};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(window_.combo_text(i), names[i]);
    EXPECT_EQ(window_.combo_value(i), ids[i]);
  }
  EXPECT_EQ(window_.combo_selection(), 0);
}

TEST_F(LoginTest, LoggingInTwiceListsTheSuppliersTwiceAndSelectsTheFirstEntry) {
  log_in();
  window_.combo_select(2);
  log_in();
  ASSERT_EQ(window_.combo_count(), 8);
  EXPECT_EQ(window_.combo_value(4), 10231);
  EXPECT_EQ(window_.combo_selection(), 0);
}

// Every failing outcome: the message tells the code, and the earlier jar and entries stay.
TEST_F(LoginTest, FailuresShowTheCodeAndChangeNothing) {
  struct Case {
    const char* name;
    std::string account;
    std::string password;
    std::string scripted;  // empty: the demo marketplace answers itself
    bool dead_host;
    Text want_text;
  };
  const Case cases[] = {
      {"wrong password", "demo", "nope", "", false, gbk("账号或密码错误(错误码:10002)")},
      {"empty account and password", "", "", "", false, gbk("请输入账号和密码(错误码:10001)")},
      {"code of letters", "demo", "demo123", R"({"msg":{"code":"abc","info":"x"}})", false,
       "x(" + gbk("错误码:") + "null)"},
      {"code null", "demo", "demo123", R"({"msg":{"code":null,"info":""}})", false,
       "(" + gbk("错误码:") + "null)"},
      {"not JSON", "demo", "demo123", "<html>busy</html>", false,
       gbk("登录间隔太短，请过几秒再试")},
      {"no msg.code", "demo", "demo123", R"({"msg":{"info":"x"}})", false,
       gbk("登录间隔太短，请过几秒再试")},
      {"no connection", "demo", "demo123", "", true, gbk("登录间隔太短，请过几秒再试")},
  };
  state_.cookie_jar = "qlx_session=earlier";
  window_.combo_add("earlier", 7);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    market_.reset();
    if (!c.scripted.empty()) answer(kLoginPath, c.scripted, {"qlx_session=new; Path=/"});
    const ScopedEnv host("QUILLAX_MARKET_HOST", c.dead_host ? kDeadHost : market_.market_host());
    const std::size_t shown = ui_.messages().size();
    log_in(c.account, c.password);

    ASSERT_EQ(ui_.messages().size(), shown + 1);
    const ShownMessage m = ui_.messages().back();
    EXPECT_EQ(m.text, c.want_text);
    EXPECT_EQ(m.caption, gbk("登录失败"));
    EXPECT_EQ(m.style, MessageStyle::stop);
    EXPECT_EQ(state_.cookie_jar, "qlx_session=earlier");
    EXPECT_EQ(window_.combo_count(), 1);
    EXPECT_EQ(market_.requests_to(kSupplierAddPath).size(), 0u);
  }
}

TEST_F(LoginTest, CodeAsTheStringZeroSucceedsAndAnAnswerWithoutCookiesEmptiesTheJar) {
  state_.cookie_jar = "qlx_session=earlier";
  answer(kLoginPath, R"({"msg":{"code":"0","info":"ok"},"data":{"name":"A"}})");
  log_in();
  EXPECT_EQ(ui_.messages().at(0).caption, gbk("登录成功"));
  EXPECT_EQ(state_.cookie_jar, "");
  // The supplier exchanges still run, with an empty cookie text; the marketplace refuses them.
  EXPECT_EQ(market_.requests_to(kSupplierAddPath).size(), 1u);
  EXPECT_EQ(market_.requests_to(kSupplierListPath).size(), 1u);
  EXPECT_FALSE(market_.requests_to(kSupplierListPath)[0].has_header("Cookie"));
  EXPECT_EQ(window_.combo_count(), 0);
  EXPECT_EQ(window_.combo_selection(), -1);
}

TEST_F(LoginTest, SupplierListReadingRules) {
  state_.cookie_jar = "qlx_session=x";
  answer(kSupplierListPath,
         R"({"msg":{"code":0},"data":{"data":[)"
         R"({"name":"\u661f\u6cb3","shop_id":"12"},)"  // escapes resolved; digits in a string
         R"({"name":"B","shop_id":null},)"
         R"({"name":"C","shop_id":"abc"},)"
         R"({"name":"D"},)"
         R"({"name":"E","shop_id":-3}]}})");
  load_suppliers(window_, state_.cookie_jar);
  ASSERT_EQ(window_.combo_count(), 5);
  EXPECT_EQ(window_.combo_text(0), gbk("星河"));
  const int want[] = {12, 0, 0, 0, -3};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(window_.combo_value(i), want[i]) << i;
}

TEST(LoginBody, AccountAndPasswordAreWrittenAsJsonStrings) {
  struct Case {
    const char* name;
    Text account;
    Text password;
    Text want;
  };
  const Case cases[] = {
      {"plain", "demo", "demo123", R"({"name":"demo","password":"demo123"})"},
      {"empty", "", "", R"({"name":"","password":""})"},
      {"quote and backslash", "a\"b", "c\\d", R"({"name":"a\"b","password":"c\\d"})"},
      {"injected member", "x", R"(p","admin":"1)",
       R"({"name":"x","password":"p\",\"admin\":\"1"})"},
      {"control characters", "a\tb", "c\r\nd\x01", R"({"name":"a\tb","password":"c\r\nd\u0001"})"},
      // 乗 is 81 5C in GBK: its trail byte is a backslash that must not be touched.
      {"GBK trail byte 5C", "\x81\x5C", gbk("密码"),
       "{\"name\":\"\x81\x5C\",\"password\":\"" + gbk("密码") + "\"}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Text body = build_login_body(c.account, c.password);
    EXPECT_EQ(body, c.want);
    JsonDocument doc;
    ASSERT_TRUE(doc.load(body));
    EXPECT_EQ(doc.get_text("name"), c.account);
    EXPECT_EQ(doc.get_text("password"), c.password);
  }
}

TEST(LeadingInteger, ReadsTheLeadingDecimalNumber) {
  struct Case {
    const char* text;
    int want;
  };
  const Case cases[] = {{"90", 90},
                        {"  -12x", -12},
                        {"+7", 7},
                        {"1.5", 1},
                        {"abc", 0},
                        {"", 0},
                        {"null", 0},
                        {"\"5\"", 0},
                        {"- 3", 0},
                        {"99999999999", 2147483647},
                        {"-99999999999", -2147483647 - 1}};
  for (const Case& c : cases) EXPECT_EQ(leading_integer(c.text), c.want) << c.text;
}

}  // namespace
}  // namespace quillax::testing
