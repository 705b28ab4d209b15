// The marketplace and announcement exchanges, and the commands behind the window's buttons.
//
// Every exchange builds its own header list and JSON document and releases them before it
// returns. Those that talk to the marketplace after the login take the cookie jar by reference:
// it is sent as the request cookies and receives the merge of the cookies the answer set.
// Nothing here raises: a failed exchange reads as empty texts, and only the commands tell the
// user anything, through the window's message box. Every function runs on the window's thread
// except show_announcement, which runs on the announcement thread.
#pragma once

#include <string_view>

#include "app/main_window.h"
#include "text/text.h"

namespace quillax {

// The fixed code that registers a shop with the supplier (member "secret").
inline constexpr std::string_view kRegistrationCode = "Pw3hRy7dKa";

// The outcome of one login exchange. `code` is the JSON text of msg.code ("0" on success, the
// empty text when the answer had none); `cookies` the cookie text the answer set.
struct LoginResult {
  Text code;
  Text info;
  Text shop_name;
  Text cookies;
};

// The shop's identity. `code` as in LoginResult; `shop_id` is the share id of the shop page.
struct ShopInfo {
  Text code;
  Text info;
  Text shop_id;
  Text shop_name;
};

// ---- Login, supplier registration and supplier list ----

// The login body {"name":...,"password":...}: both texts as JSON strings, exactly as typed
// (quotes, backslashes and control characters escaped, nothing else changed).
Text build_login_body(std::string_view account, std::string_view password);

// One login exchange (POST /api/plan-market/shop/login). Sends no cookies.
LoginResult login_shop(std::string_view account, std::string_view password);

// 按钮1: logs in with 编辑框1/编辑框2 and tells the outcome; on success replaces the cookie jar
// by the login's cookies, registers the shop, pauses 200 ms and appends the supplier list to
// 组合框1. A failed login changes nothing.
void login_command(MainWindow& window, ProcessState& state);

// Registers the shop with the supplier (POST /api/plan-market/supplier/add); the answer is not
// looked at.
void register_supplier(Text& cookie_jar);

// Appends one 组合框1 entry per supplier (text = name, item value = shop_id) and selects the
// box's first entry.
void load_suppliers(MainWindow& window, Text& cookie_jar);

// ---- Product catalogue ----

// 按钮2: load_products for the item value of 组合框1's selected entry (-1 when none).
void products_command(MainWindow& window, ProcessState& state);

// Empties 超级列表框1 and fills it with every product of the supplier `shop_id` (decimal text),
// page by page: No = row number over all pages, 产品名称 = title, 状态 = JSON text of "added",
// item value = the product's order-page id. Asks for at most 1000 pages. Lets window events run
// between rows and pages.
void load_products(MainWindow& window, Text& cookie_jar, std::string_view shop_id);

// ---- Product release ----

// 按钮3: release_rows, then the message "已全部上架".
void release_command(MainWindow& window, ProcessState& state);

// The release walk: for every row present when it starts whose 状态 is exactly "null", releases
// the product of the row's item value and writes the result into 状态. Lets window events run
// after every row. Shared by the release command and the timed run.
void release_rows(MainWindow& window, Text& cookie_jar);

// Reads the order page of `order_page_id` and posts its release. Returns the new status text:
// the JSON text of the release answer's data.id, or the empty text when the order page had no
// data.id (nothing is posted then) or the release failed.
Text release_product(Text& cookie_jar, std::string_view order_page_id);

// The release body for an order-page answer: a compact JSON object of eleven string members
// (title, parent_id, selling_point, commission_rule, is_need_photo, description, image1,
// fetch_code, status, fetch_code2, expect_income) that carries every value exactly.
Text build_release_body(std::string_view order_page);

// Posts a release body (POST /api/plan-market/order-page/release); returns the JSON text of
// the answer's data.id, empty when there is none.
Text post_release(Text& cookie_jar, std::string_view body);

// ---- Shop link ----

// The shop's identity (GET /api/plan-market/user/shop).
ShopInfo fetch_shop_info(Text& cookie_jar);

// The shop page: "https://" + host + "/qlx/#/minishop?share_id=" + shop_id (as it is) +
// "&shop_name=" + the name's UTF-8 bytes percent-encoded.
Text shop_link(const ShopInfo& shop);

// 按钮5: fetches the shop's identity, tells it, and opens the shop page in the browser.
void shop_command(MainWindow& window, ProcessState& state);

// ---- Start-up announcement ----

// Fetches http://<announcement host>/qlxnotice.txt; when its code is 200 shows its title in a
// Yes/No box captioned "公告" and opens its url on Yes. Reports nothing otherwise. Runs on the
// announcement thread and touches no control and not the cookie jar.
void show_announcement(MainWindow& window);

// ---- Shared reading rule ----

// The leading decimal integer of a text (white space and one sign allowed first; reading stops
// at the first other character; 0 without digits), saturated to the int range.
int leading_integer(std::string_view text);

}  // namespace quillax
