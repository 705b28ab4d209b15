// The exchanges with the marketplace: each one request, its answer read through a JsonDocument.
#include <climits>
#include <cstdint>

#include "http/encodings.h"
#include "http/fetch.h"
#include "http/header_list.h"
#include "json/json_document.h"
#include "market/hosts.h"
#include "market/market_internal.h"
#include "market/marketplace.h"

namespace quillax {
namespace market_detail {

Text content_type_header(std::string_view content_type) {
  HeaderList headers;
  headers.add_header("Content-Type", content_type);
  return headers.to_header_text();
}

Text json_at(const JsonDocument& doc, std::string_view path) {
  return doc.child_document(path).to_json();
}

WinHttpOptions post_options(std::string_view body, Text& cookie_jar, std::string_view headers) {
  WinHttpOptions options;
  options.method = kPost;
  options.body_text = body;
  options.request_cookies = &cookie_jar;
  options.request_headers = headers;
  return options;
}

WinInetOptions get_options(Text& cookie_jar, std::string_view headers) {
  WinInetOptions options;
  options.request_cookies = &cookie_jar;
  options.request_headers = headers;
  return options;
}

bool set_text_member(JsonDocument& doc, std::string_view name, std::string_view value) {
  // Text mode keeps each backslash as a marker that the document writes back out as a single,
  // unescaped backslash. Doubling it first makes that output the JSON escape of a backslash, so
  // the value arrives exactly as it was.
  return doc.set_value(name, text::replace_all(value, "\\", "\\\\"), false);
}

}  // namespace market_detail

using namespace market_detail;

int leading_integer(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<std::int64_t>(INT_MAX) + 1) {
      value = static_cast<std::int64_t>(INT_MAX) + 1;  // saturate; further digits change nothing
    }
  }
  if (negative) return static_cast<int>(-value);
  return static_cast<int>(value > INT_MAX ? INT_MAX : value);
}

Text build_login_body(std::string_view account, std::string_view password) {
  JsonDocument body;
  set_text_member(body, "name", account);
  set_text_member(body, "password", password);
  return body.to_json();
}

LoginResult login_shop(std::string_view account, std::string_view password) {
  const Text headers = content_type_header(kJsonUtf8);
  const Text url = market_url("/api/plan-market/shop/login");
  const Text body = build_login_body(account, password);
  LoginResult result;
  WinHttpOptions post;  // no request cookies: the login starts a session of its own
  post.method = kPost;
  post.body_text = body;
  post.response_cookies = &result.cookies;
  post.request_headers = headers;
  const Bytes answer = winhttp_fetch(url, post);
  JsonDocument doc;
  doc.load(unescape_response_text(bytes_to_text(answer)));
  result.code = json_at(doc, "msg.code");
  result.info = doc.get_text("msg.info");
  result.shop_name = doc.get_text("data.name");
  return result;
}

void register_supplier(Text& cookie_jar) {
  const Text headers = content_type_header(kJsonUtf8);
  const Text body = "{\"secret\":\"" + Text(kRegistrationCode) + "\"}";
  // The answer is not looked at: a failed registration shows later as a shorter supplier list.
  winhttp_fetch(market_url("/api/plan-market/supplier/add"),
                post_options(body, cookie_jar, headers));
}

namespace market_detail {

Text release_body_of(const JsonDocument& source) {
  // selling_point arrives as an array; the release wants its texts joined by commas.
  Text selling_point = json_at(source, "data['selling_point']");
  selling_point = text::replace_texts(selling_point, {{"[", ""}, {"]", ""}, {"\"", ""}});

  JsonDocument out;
  set_text_member(out, "title", source.get_text("data.title"));
  set_text_member(out, "parent_id", json_at(source, "data.id"));
  set_text_member(out, "selling_point", selling_point);
  set_text_member(out, "commission_rule", source.get_text("data['commission_rule']"));
  set_text_member(out, "is_need_photo", source.get_text("data['is_need_photo']"));
  set_text_member(out, "description", source.get_text("data.description"));
  set_text_member(out, "image1", source.get_text("data.image1"));
  set_text_member(out, "fetch_code", source.get_text("data['fetch_code']"));
  set_text_member(out, "status", json_at(source, "data.status"));
  set_text_member(out, "fetch_code2", source.get_text("data['fetch_code2']"));
  set_text_member(out, "expect_income", source.get_text("data['expect_income']"));
  return out.to_json();
}

}  // namespace market_detail

Text build_release_body(std::string_view order_page) {
  JsonDocument source;
  source.load(order_page);
  return release_body_of(source);
}

Text post_release(Text& cookie_jar, std::string_view body) {
  const Text headers = content_type_header(kJsonUtf8);
  const Bytes answer = winhttp_fetch(market_url("/api/plan-market/order-page/release"),
                                     post_options(body, cookie_jar, headers));
  JsonDocument doc;
  doc.load(bytes_to_text(answer));
  return json_at(doc, "data.id");
}

Text release_product(Text& cookie_jar, std::string_view order_page_id) {
  const Text headers = content_type_header(kJson);
  const Bytes answer =
      wininet_fetch(market_url("/api/plan-market/order-page?order_page_id=" + Text(order_page_id)),
                    get_options(cookie_jar, headers));
  JsonDocument order_page;
  order_page.load(bytes_to_text(answer));
  // An order page that could not be read would release a product made of empty strings into
  // the seller's shop: post nothing and leave the row's status empty, as a failed release does.
  if (!order_page.exists("data.id")) return {};
  return post_release(cookie_jar, release_body_of(order_page));
}

ShopInfo fetch_shop_info(Text& cookie_jar) {
  const Text headers = content_type_header(kJson);
  const Bytes answer =
      wininet_fetch(market_url("/api/plan-market/user/shop"), get_options(cookie_jar, headers));
  JsonDocument doc;
  doc.load(bytes_to_text(answer));
  ShopInfo info;
  info.code = json_at(doc, "msg.code");
  info.info = doc.get_text("msg.info");
  info.shop_id = doc.get_text("data['shop_id']");
  info.shop_name = doc.get_text("data['shop_name']");
  return info;
}

Text shop_link(const ShopInfo& shop) {
  return market_url("/qlx/#/minishop?share_id=" + shop.shop_id +
                    "&shop_name=" + url_encode(shop.shop_name, true, true));
}

}  // namespace quillax
