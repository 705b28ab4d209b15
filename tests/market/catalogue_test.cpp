// The product catalogue (按钮2) against the demo marketplace.
#include "demo_market/demo_data.h"
#include "http/encodings.h"
#include "market/market_fixture.h"
#include "market/marketplace.h"

namespace quillax::testing {
namespace {

constexpr char kProductsPath[] = "/api/plan-market/supplier/products";

std::string products_target(const std::string& shop_id, int page) {
  return std::string(kProductsPath) + "?order_by=0&title=&parent_name=&shop_id=" + shop_id +
         "&page=" + std::to_string(page) + "&page_size=20&is_main=";
}

using CatalogueTest = MarketTest;

TEST_F(CatalogueTest, WalksEveryPageAskingForPageOneTwiceAndNumbersRowsOverAllPages) {
  log_in();
  const std::size_t before = market_.requests().size();
  window_.list_add_row();  // an earlier row goes
  products_command(window_, state_);

  const std::vector<demo::LoggedRequest> requests = market_.requests();
  ASSERT_EQ(requests.size(), before + 4);
  const int pages[] = {1, 1, 2, 3};
  for (int i = 0; i < 4; ++i) {
    const demo::LoggedRequest& r = requests[before + static_cast<std::size_t>(i)];
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.target, products_target("10231", pages[i]));
    EXPECT_EQ(r.header("Content-Type"), "application/json;charset=UTF-8");
    EXPECT_TRUE(r.has_header("Cookie"));
  }
  EXPECT_EQ(ui_.pauses(), (std::vector<int>{200, 500}));

  // 47 rows numbered 1 to 47, each with its product's title, id and added state.
  const demo::Supplier supplier = demo::make_suppliers()[0];
  ASSERT_EQ(window_.list_row_count(), 47);
  for (int row = 0; row < 47; ++row) {
    const demo::Product& p = supplier.products[static_cast<std::size_t>(row)];
    SCOPED_TRACE(row);
    EXPECT_EQ(window_.list_cell(row, 0), std::to_string(row + 1));
    EXPECT_EQ(window_.list_cell(row, 1), utf8_to_local(p.title));
    EXPECT_EQ(window_.list_cell(row, 2), p.added == 0 ? "null" : std::to_string(p.added));
    EXPECT_EQ(window_.list_value(row), p.id);
  }

  // Each answer rotated the second cookie; the jar holds the newest first, the session after.
  const std::vector<Text> jar = text::split(state_.cookie_jar, "; ");
  ASSERT_EQ(jar.size(), 2u) << state_.cookie_jar;
  EXPECT_EQ(jar[0], "qlx_track=t5");
  EXPECT_EQ(jar[1].rfind("qlx_session=", 0), 0u);
  EXPECT_EQ(requests.back().header("Cookie"), "qlx_track=t4; " + jar[1]);
}

TEST_F(CatalogueTest, NoSelectionAsksForShopMinusOneWithoutCookies) {
  products_command(window_, state_);
  const std::vector<demo::LoggedRequest> requests = market_.requests();
  // The marketplace refuses the anonymous request: no last_page, so no page walk.
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, products_target("-1", 1));
  EXPECT_FALSE(requests[0].has_header("Cookie"));
  EXPECT_EQ(window_.list_row_count(), 0);
}

TEST_F(CatalogueTest, StatusColumnShowsTheAddedMemberAsItComes) {
  answer(kProductsPath, R"({"data":{"last_page":1,"data":[)"
                        R"({"id":1,"title":"\u4e00","added":null},)"
                        R"({"id":2,"title":"b","added":1},)"
                        R"({"id":3,"title":"c"},)"
                        R"({"id":"4","title":"d","added":"55"},)"
                        R"({"id":null,"added":"abc"},)"
                        R"({"id":6,"title":"f","added":true}]}})");
  load_products(window_, state_.cookie_jar, "9");
  EXPECT_EQ(market_.requests().size(), 2u);  // last_page 1: page 1 twice
  EXPECT_EQ(column(0), (std::vector<Text>{"1", "2", "3", "4", "5", "6"}));
  EXPECT_EQ(column(1), (std::vector<Text>{gbk("一"), "b", "c", "d", "", "f"}));
  EXPECT_EQ(column(2), (std::vector<Text>{"null", "1", "", "55", "null", "true"}));
  const int want_values[] = {1, 2, 3, 4, 0, 6};
  for (int row = 0; row < 6; ++row) EXPECT_EQ(window_.list_value(row), want_values[row]);
}

TEST_F(CatalogueTest, UnreadableAnswersLeaveTheListEmpty) {
  struct Case {
    const char* name;
    std::string body;
    std::size_t want_requests;
  };
  const Case cases[] = {
      {"not JSON", "<html>502</html>", 1},
      {"no last_page", R"({"data":{"data":[{"id":1,"added":null}]}})", 1},
      {"last_page null", R"({"data":{"last_page":null,"data":[{"id":1}]}})", 1},
      {"data.data not an array", R"({"data":{"last_page":2,"data":{"id":1}}})", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    market_.reset();
    answer(kProductsPath, c.body);
    window_.list_add_row();
    load_products(window_, state_.cookie_jar, "10231");
    EXPECT_EQ(market_.requests().size(), c.want_requests);
    EXPECT_EQ(window_.list_row_count(), 0);
  }
}

TEST_F(CatalogueTest, AnAbsurdPageCountEndsAfterAThousandPages) {
  answer(kProductsPath, R"({"data":{"last_page":2147483647,"data":[]}})");
  load_products(window_, state_.cookie_jar, "10231");
  EXPECT_EQ(market_.requests().size(), 1u + 1000u);
  EXPECT_EQ(market_.requests().back().target, products_target("10231", 1000));
}

TEST_F(CatalogueTest, FailedConnectionLeavesTheListEmpty) {
  const ScopedEnv host("QUILLAX_MARKET_HOST", kDeadHost);
  window_.list_add_row();
  load_products(window_, state_.cookie_jar, "10231");
  EXPECT_EQ(window_.list_row_count(), 0);
}

}  // namespace
}  // namespace quillax::testing
