// The timed update (按钮4, 时钟1) on the in-memory window's virtual clock.
#include "app/timed_update.h"

#include "market/market_fixture.h"
#include "market/marketplace.h"

namespace quillax::testing {
namespace {

constexpr char kReleasePath[] = "/api/plan-market/order-page/release";

class TimedUpdateTest : public MarketTest {
 protected:
  void SetUp() override {
    MarketTest::SetUp();
    window_.on_event(Control::Timer1, [this] { timed_run(window_, state_); });
  }
};

TEST(TimedUpdatePeriod, MinutesBecomeMillisecondsWithinThe32BitRange) {
  struct Case {
    const char* interval;
    int want;
  };
  const Case cases[] = {
      {"90", 5400000},
      {"1", 60000},
      {"1.5", 60000},
      {" +2x", 120000},
      {"0", 0},
      {"-5", 0},
      {"abc", 0},
      {"", 0},
      {"35791", 2147460000},
      {"35792", kMaxTimerPeriod},
      {"99999999999", kMaxTimerPeriod},
  };
  for (const Case& c : cases) EXPECT_EQ(timed_update_period(c.interval), c.want) << c.interval;
}

TEST_F(TimedUpdateTest, BeforeALoginTheClickOnlyAsksForOne) {
  start_timed_update(window_, state_);
  ASSERT_EQ(ui_.messages().size(), 1u);
  EXPECT_EQ(ui_.messages()[0].text, gbk("请先登录再开启定时更新"));
  EXPECT_EQ(ui_.messages()[0].caption, gbk("失败"));
  EXPECT_EQ(ui_.messages()[0].style, platform::MessageStyle::stop);
  EXPECT_TRUE(window_.enabled(Control::Button4));
  EXPECT_EQ(window_.text(Control::Button4), gbk("定时更新"));
  EXPECT_EQ(window_.timer_period(), 0);
}

TEST_F(TimedUpdateTest, ABadIntervalStillDisablesTheButtonAndNeverRuns) {
  state_.cookie_jar = "qlx_session=x";
  window_.set_text(Control::Edit3, "abc");
  start_timed_update(window_, state_);
  EXPECT_FALSE(window_.enabled(Control::Button4));
  EXPECT_EQ(window_.text(Control::Button4), gbk("已开启定时"));
  ui_.advance(10 * 24 * 3600 * 1000);
  EXPECT_TRUE(market_.requests().empty());
}

TEST_F(TimedUpdateTest, EachTickReloadsAndReleasesWithoutAMessage) {
  log_in();
  window_.combo_select(1);  // 蓝海通信: 12 products, 3 of them already in the shop
  window_.set_text(Control::Edit3, "1");
  start_timed_update(window_, state_);
  EXPECT_EQ(window_.timer_period(), 60000);
  const std::size_t shown = ui_.messages().size();

  ui_.advance(59999);  // no run before one full period
  EXPECT_TRUE(market_.requests_to(kReleasePath).empty());
  ui_.advance(1);
  ASSERT_EQ(window_.list_row_count(), 12);
  EXPECT_EQ(market_.requests_to(kReleasePath).size(), 9u);
  EXPECT_NE(market_.requests_to("/api/plan-market/supplier/products")[0].target.find(
                "&shop_id=10587&page=1&"),
            std::string::npos);
  for (const Text& status : column(2)) EXPECT_NE(status, "null");
  EXPECT_EQ(ui_.messages().size(), shown);
  EXPECT_EQ(ui_.pauses(), (std::vector<int>{200, 500, 10000}));

  // The next run finds nothing left to release.
  ui_.advance(60000);
  EXPECT_EQ(market_.requests_to(kReleasePath).size(), 9u);
}

}  // namespace
}  // namespace quillax::testing
