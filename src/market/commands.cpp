// The commands behind the buttons and the exchanges that write into the window's controls.
#include <algorithm>
#include <string>

#include "http/encodings.h"
#include "http/fetch.h"
#include "json/json_document.h"
#include "market/hosts.h"
#include "market/market_internal.h"
#include "market/marketplace.h"

namespace quillax {

using namespace market_detail;

namespace {

// The columns of 超级列表框1 (No, 产品名称, 状态), and the 状态 of a product not yet in the shop.
constexpr int kNoColumn = 0;
constexpr int kTitleColumn = 1;
constexpr int kStatusColumn = 2;
constexpr std::string_view kNotInShop = "null";
// The most catalogue pages one walk asks for (20 000 products): the page count comes from the
// server, and an absurd one must not keep the walk going for days.
constexpr int kMaxCataloguePages = 1000;

Text decimal(int value) { return std::to_string(value); }

Text products_url(std::string_view shop_id, int page) {
  return market_url("/api/plan-market/supplier/products?order_by=0&title=&parent_name=&shop_id=" +
                    Text(shop_id) + "&page=" + decimal(page) + "&page_size=20&is_main=");
}

// One catalogue page, its "\u" escapes resolved, loaded into `doc`.
void fetch_products_page(JsonDocument& doc, Text& cookie_jar, std::string_view shop_id, int page,
                         const Text& headers) {
  const Bytes answer = wininet_fetch(products_url(shop_id, page), get_options(cookie_jar, headers));
  doc.load(unescape_response_text(bytes_to_text(answer)));
}

}  // namespace

void login_command(MainWindow& window, ProcessState& state) {
  const LoginResult result = login_shop(window.text(Control::Edit1), window.text(Control::Edit2));
  if (result.code.empty()) {
    window.show_message(gbk("登录间隔太短，请过几秒再试"), gbk("登录失败"), MessageStyle::stop);
    return;
  }
  if (result.code != "0") {
    window.show_message(result.info + gbk("(错误码:") + result.code + ")", gbk("登录失败"),
                        MessageStyle::stop);
    return;
  }
  window.show_message(gbk("尊敬的") + result.shop_name +
                          gbk("您好，感谢您选择使用本软件。祝愿您生意兴隆，财源广进！"),
                      gbk("登录成功"), MessageStyle::plain);
  state.cookie_jar = result.cookies;
  register_supplier(state.cookie_jar);
  window.pause_with_events(200);
  load_suppliers(window, state.cookie_jar);
}

void load_suppliers(MainWindow& window, Text& cookie_jar) {
  const Text headers = content_type_header(kJson);
  const Bytes answer = wininet_fetch(
      market_url("/api/qlx/supplier/list?page=1&page_size=100&is_shield_goods=&is_shield_notice="),
      get_options(cookie_jar, headers));
  JsonDocument doc;
  doc.load(bytes_to_text(answer));
  const int n = doc.count("data.data");
  for (int i = 0; i < n; ++i) {
    const Text element = "data.data[" + decimal(i) + "]";
    const Text name = doc.get_text(element + ".name");
    const int shop_id = leading_integer(json_at(doc, element + "['shop_id']"));
    window.combo_add(name, shop_id);
  }
  window.combo_select(0);
}

void products_command(MainWindow& window, ProcessState& state) {
  // No selection reads as the item value -1, which the request then carries.
  load_products(window, state.cookie_jar, decimal(window.combo_value(window.combo_selection())));
}

void load_products(MainWindow& window, Text& cookie_jar, std::string_view shop_id) {
  const Text headers = content_type_header(kJsonUtf8);
  JsonDocument doc;
  window.list_clear();
  fetch_products_page(doc, cookie_jar, shop_id, 1, headers);
  const int last_page =
      std::min(leading_integer(json_at(doc, "data['last_page']")), kMaxCataloguePages);
  window.pause_with_events(500);
  // Page 1 is asked for again: the first answer only tells how many pages there are.
  for (int page = 1; page <= last_page; ++page) {
    fetch_products_page(doc, cookie_jar, shop_id, page, headers);
    const int n = doc.count("data.data");
    for (int k = 0; k < n; ++k) {
      const Text product = "data.data[" + decimal(k) + "]";
      window.list_add_row();
      // Every write goes to the last row as it is now: a click handled during the event
      // processing below may have changed the list.
      window.list_set_cell(window.list_row_count() - 1, kNoColumn,
                           decimal(window.list_row_count()));
      window.list_set_value(window.list_row_count() - 1,
                            leading_integer(json_at(doc, product + ".id")));
      window.list_set_cell(window.list_row_count() - 1, kTitleColumn,
                           doc.get_text(product + ".title"));
      window.list_set_cell(window.list_row_count() - 1, kStatusColumn,
                           json_at(doc, product + ".added"));
      window.process_events();
    }
    window.process_events();
  }
}

void release_rows(MainWindow& window, Text& cookie_jar) {
  const int n = window.list_row_count();
  for (int row = 0; row < n; ++row) {
    if (window.list_cell(row, kStatusColumn) == kNotInShop) {
      const Text status = release_product(cookie_jar, decimal(window.list_value(row)));
      window.list_set_cell(row, kStatusColumn, status);
      window.process_events();
    }
    window.process_events();
  }
}

void release_command(MainWindow& window, ProcessState& state) {
  release_rows(window, state.cookie_jar);
  window.show_message(gbk("已全部上架"), {}, MessageStyle::plain);
}

void shop_command(MainWindow& window, ProcessState& state) {
  const ShopInfo shop = fetch_shop_info(state.cookie_jar);
  if (shop.code != "0") {
    window.show_message(shop.info + gbk("(错误码:") + shop.code + ")", gbk("获取店铺信息失败"),
                        MessageStyle::stop);
    return;
  }
  window.show_message(gbk("即将打开您的店铺链接\r\n") + shop.shop_name, gbk("获取店铺信息成功"),
                      MessageStyle::plain);
  window.open_url(shop_link(shop));
}

void show_announcement(MainWindow& window) {
  JsonDocument doc;
  const Bytes answer = wininet_fetch("http://" + notice_host() + "/qlxnotice.txt");
  doc.load(utf8_to_local(bytes_to_text(answer)));
  if (json_at(doc, "code") != "200") return;
  if (window.show_message(doc.get_text("title"), gbk("公告"), MessageStyle::yes_no) ==
      MessageButton::yes) {
    window.open_url(doc.get_text("url"));
  }
}

}  // namespace quillax
