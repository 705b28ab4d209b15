// The shop link (按钮5) and the start-up announcement against the demo marketplace.
#include "market/market_fixture.h"
#include "market/marketplace.h"

namespace quillax::testing {
namespace {

using platform::MessageButton;
using platform::MessageStyle;

constexpr char kShopPath[] = "/api/plan-market/user/shop";

using ShopTest = MarketTest;

TEST_F(ShopTest, TellsTheShopAndOpensItsPage) {
  log_in();
  const std::size_t shown = ui_.messages().size();
  shop_command(window_, state_);

  const auto requests = market_.requests_to(kShopPath);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, kShopPath);
  EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
  EXPECT_NE(requests[0].header("Cookie").find("qlx_session="), std::string::npos);

  ASSERT_EQ(ui_.messages().size(), shown + 1);
  const ShownMessage m = ui_.messages().back();
  EXPECT_EQ(m.text, gbk("即将打开您的店铺链接\r\n晴天号卡 小铺"));
  EXPECT_EQ(m.caption, gbk("获取店铺信息成功"));
  EXPECT_EQ(m.style, MessageStyle::plain);
  // The name's UTF-8 bytes percent-encoded, the space as "+".
  EXPECT_EQ(ui_.opened_urls(),
            std::vector<Text>{"https://" + market_.market_host() +
                              "/qlx/#/minishop?share_id=880012&shop_name="
                              "%E6%99%B4%E5%A4%A9%E5%8F%B7%E5%8D%A1+%E5%B0%8F%E9%93%BA"});
}

TEST_F(ShopTest, FailuresTellTheCodeAndOpenNothing) {
  struct Case {
    const char* name;
    std::string scripted;
    Text want_text;
  };
  const Case cases[] = {
      {"not logged in", "", gbk("登录已失效，请重新登录(错误码:401)")},
      {"not JSON", "<html>", gbk("(错误码:)")},
      {"code as letters", R"({"msg":{"code":"E1","info":"bad"},"data":{"shop_id":1}})",
       "bad" + gbk("(错误码:") + "null)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    market_.reset();
    if (!c.scripted.empty()) answer(kShopPath, c.scripted);
    shop_command(window_, state_);
    const ShownMessage m = ui_.messages().back();
    EXPECT_EQ(m.text, c.want_text);
    EXPECT_EQ(m.caption, gbk("获取店铺信息失败"));
    EXPECT_EQ(m.style, MessageStyle::stop);
  }
  EXPECT_TRUE(ui_.opened_urls().empty());
}

TEST(ShopLink, EncodesTheNameButNotTheShareId) {
  const ScopedEnv host("QUILLAX_MARKET_HOST", "m.test");
  struct Case {
    ShopInfo shop;
    Text want;
  };
  const Case cases[] = {
      {{"0", "", "12", "A&B=c"}, "https://m.test/qlx/#/minishop?share_id=12&shop_name=A%26B%3Dc"},
      {{"0", "", "1 2&x", ""}, "https://m.test/qlx/#/minishop?share_id=1 2&x&shop_name="},
      {{"0", "", "7", "a-b_c.d'(e)*"},
       "https://m.test/qlx/#/minishop?share_id=7&shop_name=a-b_c.d'(e)*"},
  };
  for (const Case& c : cases) EXPECT_EQ(shop_link(c.shop), c.want);
}

using AnnouncementTest = MarketTest;

TEST_F(AnnouncementTest, ShowsTheDemoAnnouncementAndOpensItsLinkOnYes) {
  ui_.answer_next(MessageButton::yes);
  show_announcement(window_);
  const auto requests = market_.requests_to("/qlxnotice.txt");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].scheme, "http");
  EXPECT_FALSE(requests[0].has_header("Cookie"));
  ASSERT_EQ(ui_.messages().size(), 1u);
  EXPECT_EQ(ui_.messages()[0].caption, gbk("公告"));
  EXPECT_EQ(ui_.messages()[0].style, MessageStyle::yes_no);
  // The title is stored as UTF-8 and arrives as the characters it spells.
  EXPECT_NE(ui_.messages()[0].text.find(gbk("演示市场")), std::string::npos);
  ASSERT_EQ(ui_.opened_urls().size(), 1u);
  EXPECT_EQ(ui_.opened_urls()[0].rfind("https://127.0.0.1:", 0), 0u);
}

TEST_F(AnnouncementTest, ShowsOnlyForCode200) {
  struct Case {
    const char* name;
    std::string document;
    bool shown;
  };
  const Case cases[] = {
      {"code as a string", R"({"code":"200","title":"t","url":"https://a.test/"})", true},
      {"code 201", R"({"code":201,"title":"t","url":"https://a.test/"})", false},
      {"code ok", R"({"code":"ok","title":"t"})", false},
      {"no code", R"({"title":"t"})", false},
      {"not JSON", "<html>", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    market_.reset();
    answer("/qlxnotice.txt", c.document);
    const std::size_t before = ui_.messages().size();  // unanswered Yes/No boxes say No
    show_announcement(window_);
    EXPECT_EQ(ui_.messages().size(), before + (c.shown ? 1 : 0));
  }
  EXPECT_TRUE(ui_.opened_urls().empty());  // every shown one was answered No
}

TEST_F(AnnouncementTest, NoAnswerFromTheHostShowsNothing) {
  const ScopedEnv host("QUILLAX_NOTICE_HOST", kDeadHost);
  show_announcement(window_);
  EXPECT_TRUE(ui_.messages().empty());
}

}  // namespace
}  // namespace quillax::testing
