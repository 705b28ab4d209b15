#include "demo_data.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/codepage.h"

namespace quillax::demo {
namespace {

struct Carrier {
  const char* name;
  std::array<const char*, 3> prefixes;
};

constexpr std::array<Carrier, 4> kCarriers = {{
    {"移动", {"138", "139", "187"}},
    {"联通", {"130", "186", "166"}},
    {"电信", {"133", "189", "199"}},
    {"广电", {"192", "192", "192"}},
}};
constexpr std::array<const char*, 8> kProvinces = {"广东", "浙江", "江苏", "四川",
                                                   "湖北", "山东", "河南", "福建"};
constexpr std::array<const char*, 5> kKinds = {"流量王卡", "畅享卡", "靓号卡", "5G套餐卡",
                                               "大流量卡"};
constexpr std::array<int, 4> kFees = {19, 29, 39, 59};

std::string tail_digits(long long n) {
  // Patterns sellers like: AABB, ABAB, AAAB, ABCD.
  const char a = static_cast<char>('0' + n % 10);
  const char b = static_cast<char>('0' + (n / 10) % 10);
  switch (n % 4) {
    case 0:
      return {a, a, b, b};
    case 1:
      return {a, b, a, b};
    case 2:
      return {a, a, a, b};
    default:
      return {a, b, static_cast<char>('0' + (n + 1) % 10), static_cast<char>('0' + (n + 3) % 10)};
  }
}

std::string money(int yuan) { return std::to_string(yuan) + ".00"; }

Product make_product(long long id, int seed) {
  const Carrier& carrier = kCarriers[static_cast<std::size_t>(seed) % kCarriers.size()];
  const int fee = kFees[static_cast<std::size_t>(seed / 3) % kFees.size()];
  const int flow = 100 + (seed % 5) * 35;
  Product p;
  p.id = id;
  p.title = std::string(kProvinces[static_cast<std::size_t>(seed * 7 / 3) % kProvinces.size()]) +
            carrier.name + " " + carrier.prefixes[static_cast<std::size_t>(seed) % 3] + "****" +
            tail_digits(id * 7 + seed) + " " +
            kKinds[static_cast<std::size_t>(seed) % kKinds.size()] + " 月租" + std::to_string(fee) +
            "元";
  p.selling_points = {"月租" + std::to_string(fee) + "元", "通用流量" + std::to_string(flow) + "G",
                      "首月免费"};
  p.commission_amount = money(30 + (seed % 6) * 5);
  p.description =
      "【办理须知】\r\n1. 仅限16周岁以上本人办理，一证限办一张；\r\n2. "
      "收货时请出示\"身份证\"原件。";
  if (seed % 9 == 4) {
    // A back-slash in a seller-visible text: releases must carry it as it is.
    p.description += "\r\n资费档位：A\\B 两档可选。";
  }
  p.image1 = "https://img.demo-market.test/cards/" + std::to_string(id) + ".png";
  p.fetch_code = "FC" + std::to_string(id);
  p.fetch_code2 = seed % 2 == 0 ? "" : "FX" + std::to_string(id % 1000);
  p.expect_income = money(30 + (seed % 6) * 5 + 5);
  p.is_need_photo = seed % 3 == 0 ? 1 : 0;
  return p;
}

Supplier make_supplier(long long shop_id, std::string name, int count, long long first_id) {
  Supplier s{shop_id, std::move(name), {}};
  for (int k = 0; k < count; ++k) {
    Product p = make_product(first_id + k, static_cast<int>(shop_id % 97) + k);
    if (k % 4 == 1) p.added = 600000 + first_id % 10000 + k;  // already in the demo shop
    s.products.push_back(std::move(p));
  }
  return s;
}

void append_hex4(std::string& out, unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\u%04x", v);
  out += buf;
}

}  // namespace

std::vector<Supplier> make_suppliers() {
  return {
      make_supplier(10231, "星河号卡", 47, 310001),
      make_supplier(10587, "蓝海通信", 12, 420001),
      make_supplier(11002, "远山靓号", 25, 530001),
      make_supplier(11350, "新店试营业", 0, 640001),
  };
}

Shop make_shop() { return {880012, "晴天号卡 小铺", "晴天号卡"}; }

std::string json_quote(std::string_view utf8) {
  const std::u16string wide = platform::multibyte_to_wide(utf8, platform::kUtf8CodePage);
  std::string out = "\"";
  for (char16_t c : wide) {
    switch (c) {
      case u'"':
        out += "\\\"";
        break;
      case u'\\':
        out += "\\\\";
        break;
      case u'/':
        out += "\\/";
        break;
      case u'\n':
        out += "\\n";
        break;
      case u'\r':
        out += "\\r";
        break;
      case u'\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          append_hex4(out, c);
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

std::string json_object(std::initializer_list<std::pair<std::string_view, std::string>> members) {
  std::string out = "{";
  for (const auto& [name, value] : members) {
    if (out.size() > 1) out += ',';
    out += json_quote(name);
    out += ':';
    out += value;
  }
  out += '}';
  return out;
}

std::string json_array(const std::vector<std::string>& elements) {
  std::string out = "[";
  for (const std::string& e : elements) {
    if (out.size() > 1) out += ',';
    out += e;
  }
  out += ']';
  return out;
}

std::string envelope(int code, std::string_view info, std::string_view data_json) {
  return json_object(
      {{"msg", json_object({{"code", std::to_string(code)}, {"info", json_quote(info)}})},
       {"data", std::string(data_json)}});
}

namespace {

// Page `page` of `items` (pages of `page_size`, 1 to 100) in the marketplace's page envelope,
// each item written by `row_json`.
template <typename Item, typename RowJson>
std::string page_json(const std::vector<Item>& items, int page, int page_size, RowJson row_json) {
  page_size = std::clamp(page_size, 1, 100);
  page = std::max(page, 1);
  const int total = static_cast<int>(items.size());
  const int last_page = std::max(1, (total + page_size - 1) / page_size);
  std::vector<std::string> rows;
  for (long long k = static_cast<long long>(page - 1) * page_size;
       k < total && k < static_cast<long long>(page) * page_size; ++k) {
    rows.push_back(row_json(items[static_cast<std::size_t>(k)]));
  }
  return envelope(0, "success",
                  json_object({{"current_page", std::to_string(page)},
                               {"data", json_array(rows)},
                               {"last_page", std::to_string(last_page)},
                               {"per_page", std::to_string(page_size)},
                               {"total", std::to_string(total)}}));
}

}  // namespace

std::string supplier_list_json(const std::vector<Supplier>& suppliers, int page, int page_size) {
  return page_json(suppliers, page, page_size, [](const Supplier& s) {
    return json_object({
        {"shop_id", std::to_string(s.shop_id)},
        {"name", json_quote(s.name)},
        {"logo",
         json_quote("https://img.demo-market.test/logo/" + std::to_string(s.shop_id) + ".png")},
        {"goods_count", std::to_string(s.products.size())},
        {"is_shield_goods", "0"},
    });
  });
}

std::string products_page_json(const Supplier& supplier, int page, int page_size) {
  return page_json(supplier.products, page, page_size, [](const Product& p) {
    return json_object({
        {"id", std::to_string(p.id)},
        {"title", json_quote(p.title)},
        {"image1", json_quote(p.image1)},
        {"expect_income", json_quote(p.expect_income)},
        {"added", p.added == 0 ? std::string("null") : std::to_string(p.added)},
    });
  });
}

std::string order_page_json(const Product& p) {
  std::vector<std::string> points;
  for (const std::string& s : p.selling_points) points.push_back(json_quote(s));
  return envelope(0, "success",
                  json_object({
                      {"id", std::to_string(p.id)},
                      {"title", json_quote(p.title)},
                      {"selling_point", json_array(points)},
                      {"commission_rule", json_object({{"type", "1"},
                                                       {"amount", json_quote(p.commission_amount)},
                                                       {"settle", json_quote("激活后次月结算")}})},
                      {"is_need_photo", std::to_string(p.is_need_photo)},
                      {"description", json_quote(p.description)},
                      {"image1", json_quote(p.image1)},
                      {"fetch_code", json_quote(p.fetch_code)},
                      {"status", "1"},
                      {"fetch_code2", json_quote(p.fetch_code2)},
                      {"expect_income", json_quote(p.expect_income)},
                  }));
}

}  // namespace quillax::demo
