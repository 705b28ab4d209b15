// The demo marketplace's data (suppliers, their catalogues and order pages, the shop) and the
// JSON it answers with. Texts are UTF-8 here; the answers carry them as \u escapes.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillax::demo {

// One product of a supplier's catalogue together with its order page.
struct Product {
  long long id = 0;  // the order-page id
  std::string title;
  long long added = 0;  // the id of the seller's released copy; 0: not yet in the shop
  std::vector<std::string> selling_points;
  std::string commission_amount;
  std::string description;
  std::string image1;
  std::string fetch_code;
  std::string fetch_code2;
  std::string expect_income;
  int is_need_photo = 0;
};

struct Supplier {
  long long shop_id = 0;
  std::string name;
  std::vector<Product> products;
};

struct Shop {
  long long shop_id = 0;
  std::string shop_name;
  std::string seller_name;
};

// The initial marketplace: four suppliers (one with 47 products, one with none), about a
// quarter of every catalogue already in the demo shop.
std::vector<Supplier> make_suppliers();
Shop make_shop();

// Compact JSON as the marketplace writes it: every character outside ASCII as a \u escape
// (lower-case hex, surrogate pairs for characters beyond the BMP), the slash as "\/".
std::string json_quote(std::string_view utf8);
std::string json_object(std::initializer_list<std::pair<std::string_view, std::string>> members);
std::string json_array(const std::vector<std::string>& elements);

// {"msg":{"code":<code>,"info":<info>},"data":<data_json>}
std::string envelope(int code, std::string_view info, std::string_view data_json);

// The answers of the marketplace endpoints.
std::string supplier_list_json(const std::vector<Supplier>& suppliers, int page, int page_size);
std::string products_page_json(const Supplier& supplier, int page, int page_size);
std::string order_page_json(const Product& product);

}  // namespace quillax::demo
