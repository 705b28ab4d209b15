// The release (按钮3) against the demo marketplace.
#include <algorithm>

#include "json/json_document.h"
#include "market/market_fixture.h"
#include "market/marketplace.h"

namespace quillax::testing {
namespace {

constexpr char kOrderPagePath[] = "/api/plan-market/order-page";
constexpr char kReleasePath[] = "/api/plan-market/order-page/release";

// An order page with every member the release reads, in awkward shapes.
constexpr char kOrderPage[] =
    R"({"msg":{"code":0},"data":{"id":77,"title":"Card \"VIP\"",)"
    R"("selling_point":["a","b"],"commission_rule":{"type":1},"is_need_photo":0,)"
    R"("description":"line1\r\nC:\\cards\\u4e2d","image1":"https:\/\/img\/1.png",)"
    R"("fetch_code":"F1","status":"1","fetch_code2":null,"expect_income":45.5}})";
constexpr char kReleaseBody[] =
    R"({"title":"Card \"VIP\"","parent_id":"77","selling_point":"a,b",)"
    R"("commission_rule":"[object Object]","is_need_photo":"0",)"
    R"("description":"line1\r\nC:\\cards\\u4e2d","image1":"https://img/1.png",)"
    R"("fetch_code":"F1","status":"1","fetch_code2":"","expect_income":"45.5"})";

using ReleaseTest = MarketTest;

TEST(ReleaseBody, CarriesEveryValueExactlyAsValidJson) {
  const Text body = build_release_body(kOrderPage);
  EXPECT_EQ(body, kReleaseBody);
  JsonDocument doc;
  ASSERT_TRUE(doc.load(body, true));
  EXPECT_EQ(doc.get_text("description"), "line1\r\nC:\\cards\\u4e2d");
  EXPECT_EQ(doc.get_text("title"), "Card \"VIP\"");
}

TEST(ReleaseBody, UnreadableOrderPageGivesElevenEmptyMembers) {
  EXPECT_EQ(build_release_body("<html>"),
            R"({"title":"","parent_id":"","selling_point":"","commission_rule":"",)"
            R"("is_need_photo":"","description":"","image1":"","fetch_code":"","status":"",)"
            R"("fetch_code2":"","expect_income":""})");
}

TEST_F(ReleaseTest, ReleasesEveryPendingRowAndReportsOnce) {
  log_in();
  products_command(window_, state_);
  const std::vector<Text> before = column(2);
  const std::size_t pending =
      static_cast<std::size_t>(std::count(before.begin(), before.end(), "null"));
  ASSERT_GT(pending, 0u);
  const std::size_t shown = ui_.messages().size();

  release_command(window_, state_);

  const auto order_pages = market_.requests_to(kOrderPagePath);
  const auto releases = market_.requests_to(kReleasePath);
  ASSERT_EQ(order_pages.size(), pending);
  ASSERT_EQ(releases.size(), pending);
  std::vector<Text> released_ids;
  for (int row = 0, k = 0; row < window_.list_row_count(); ++row) {
    if (before[static_cast<std::size_t>(row)] != "null") {
      EXPECT_EQ(window_.list_cell(row, 2), before[static_cast<std::size_t>(row)]);
      continue;
    }
    const auto& get = order_pages[static_cast<std::size_t>(k)];
    EXPECT_EQ(get.target, std::string(kOrderPagePath) +
                              "?order_page_id=" + std::to_string(window_.list_value(row)));
    EXPECT_EQ(get.header("Content-Type"), "application/json");
    const auto& post = releases[static_cast<std::size_t>(k)];
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.header("Content-Type"), "application/json;charset=UTF-8");
    EXPECT_NE(post.header("Cookie").find("qlx_session="), std::string::npos);
    EXPECT_EQ(window_.list_cell(row, 2), std::to_string(700001 + k));
    ++k;
  }
  ASSERT_EQ(ui_.messages().size(), shown + 1);
  EXPECT_EQ(ui_.messages().back().text, gbk("已全部上架"));
  EXPECT_EQ(ui_.messages().back().caption, gbk("信息："));
  EXPECT_EQ(ui_.messages().back().style, platform::MessageStyle::plain);

  // The marketplace now lists them as added, so a second walk releases nothing.
  products_command(window_, state_);
  const std::vector<Text> after = column(2);
  EXPECT_EQ(std::count(after.begin(), after.end(), "null"), 0);
  // Some eighty exchanges, GETs and POSTs alike, over one kept-alive connection.
  EXPECT_EQ(market_.connection_count(), 1);
}

TEST_F(ReleaseTest, OnlyRowsMarkedExactlyNullAreReleased) {
  log_in();
  const Text statuses[] = {"null", "123", "", "NULL", " null"};
  for (const Text& s : statuses) {
    const int row = window_.list_add_row();
    window_.list_set_cell(row, 2, s);
    window_.list_set_value(row, 310001);
  }
  answer(kOrderPagePath, kOrderPage);
  release_command(window_, state_);
  ASSERT_EQ(market_.requests_to(kOrderPagePath).size(), 1u);
  const auto releases = market_.requests_to(kReleasePath);
  ASSERT_EQ(releases.size(), 1u);
  EXPECT_EQ(releases[0].body, kReleaseBody);
  EXPECT_EQ(market_.requests_to(kOrderPagePath)[0].target,
            std::string(kOrderPagePath) + "?order_page_id=310001");
  // The marketplace knows no product 77 and refuses it: the row's status becomes empty.
  EXPECT_EQ(column(2), (std::vector<Text>{"", "123", "", "NULL", " null"}));
}

TEST_F(ReleaseTest, StatusTakesTheReleaseAnswersId) {
  struct Case {
    const char* name;
    std::string order_page;  // empty: the demo marketplace's own
    std::string release_answer;
    Text want_status;
    std::size_t want_posts;
  };
  const Case cases[] = {
      {"number id", "", R"({"msg":{"code":0},"data":{"id":5566}})", "5566", 1},
      {"null id: released again next time", "", R"({"data":{"id":null}})", "null", 1},
      {"no id", "", R"({"msg":{"code":500,"info":"x"}})", "", 1},
      {"release not JSON", "", "<html>", "", 1},
      {"order page without data.id", R"({"msg":{"code":40004},"data":null})", "", "", 0},
      {"order page not JSON", "<html>", "", "", 0},
      {"order page with null id", R"({"data":{"id":null,"title":"t"}})", "", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    market_.reset();
    log_in();
    if (!c.order_page.empty()) answer(kOrderPagePath, c.order_page);
    if (!c.release_answer.empty()) answer(kReleasePath, c.release_answer);
    EXPECT_EQ(release_product(state_.cookie_jar, "310001"), c.want_status);
    EXPECT_EQ(market_.requests_to(kReleasePath).size(), c.want_posts);
  }
}

TEST_F(ReleaseTest, EmptyListSendsNothingAndStillReports) {
  release_command(window_, state_);
  EXPECT_TRUE(market_.requests().empty());
  ASSERT_EQ(ui_.messages().size(), 1u);
  EXPECT_EQ(ui_.messages()[0].text, gbk("已全部上架"));
}

TEST_F(ReleaseTest, RowsAddedDuringTheWalkAreNotWalked) {
  log_in();
  for (int i = 0; i < 2; ++i) {
    const int row = window_.list_add_row();
    window_.list_set_cell(row, 2, "null");
    window_.list_set_value(row, 310001 + i * 4);  // two products not yet in the shop
  }
  // A click during the walk appends a pending row; the walk keeps the count it read first.
  bool added = false;
  ui_.on_process_events([&] {
    if (added) return;
    added = true;
    const int row = window_.list_add_row();
    window_.list_set_cell(row, 2, "null");
    window_.list_set_value(row, 310009);
  });
  release_rows(window_, state_.cookie_jar);
  EXPECT_EQ(market_.requests_to(kReleasePath).size(), 2u);
  EXPECT_EQ(window_.list_cell(2, 2), "null");
}

}  // namespace
}  // namespace quillax::testing
