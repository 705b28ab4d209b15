#include "json/json_value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <system_error>

#include "platform/codepage.h"

namespace quillax::json {

// --- Value ----------------------------------------------------------------------------------

Value Value::null() {
  Value v;
  v.kind_ = Kind::Null;
  return v;
}

Value Value::boolean(bool b) {
  Value v;
  v.kind_ = Kind::Boolean;
  v.number_ = b ? 1 : 0;
  return v;
}

Value Value::number(double n) {
  Value v;
  v.kind_ = Kind::Number;
  v.number_ = n;
  return v;
}

Value Value::string(std::u16string s) {
  Value v;
  v.kind_ = Kind::String;
  v.string_ = std::move(s);
  return v;
}

Value Value::array() {
  Value v;
  v.kind_ = Kind::Array;
  v.array_ = std::make_unique<std::vector<Value>>();
  return v;
}

Value Value::object() {
  Value v;
  v.kind_ = Kind::Object;
  v.object_ = std::make_unique<Object>();
  return v;
}

Value::Value(const Value& other)
    : kind_(other.kind_), number_(other.number_), string_(other.string_) {
  if (other.array_) array_ = std::make_unique<std::vector<Value>>(*other.array_);
  if (other.object_) object_ = std::make_unique<Object>(*other.object_);
}

Value& Value::operator=(const Value& other) {
  if (this != &other) {
    Value copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Value::~Value() = default;

// --- Object ---------------------------------------------------------------------------------

Object& Object::operator=(const Object& other) {
  if (this != &other) {
    members_ = other.members_;
    index_.reset();
  }
  return *this;
}

void Object::build_index() const {
  index_ = std::make_unique<
      std::unordered_map<std::u16string, std::size_t, NameHash, std::equal_to<>>>();
  index_->reserve(members_.size() * 2);
  for (std::size_t i = 0; i < members_.size(); ++i) index_->emplace(members_[i].first, i);
}

std::size_t Object::index_of(std::u16string_view name) const {
  if (members_.size() < kIndexFrom) {
    for (std::size_t i = 0; i < members_.size(); ++i) {
      if (members_[i].first == name) return i;
    }
    return members_.size();
  }
  if (!index_) build_index();
  const auto it = index_->find(name);
  return it == index_->end() ? members_.size() : it->second;
}

Value* Object::find(std::u16string_view name) {
  const std::size_t i = index_of(name);
  return i < members_.size() ? &members_[i].second : nullptr;
}

const Value* Object::find(std::u16string_view name) const {
  const std::size_t i = index_of(name);
  return i < members_.size() ? &members_[i].second : nullptr;
}

void Object::set(std::u16string name, Value value) {
  const std::size_t i = index_of(name);
  if (i < members_.size()) {
    members_[i].second = std::move(value);
    return;
  }
  if (index_) index_->emplace(name, members_.size());
  members_.emplace_back(std::move(name), std::move(value));
}

bool Object::erase(std::u16string_view name) {
  const std::size_t i = index_of(name);
  if (i >= members_.size()) return false;
  members_.erase(members_.begin() + static_cast<std::ptrdiff_t>(i));
  index_.reset();
  return true;
}

void Object::adopt(std::vector<std::pair<std::u16string, Value>>::iterator first,
                   std::vector<std::pair<std::u16string, Value>>::iterator last) {
  members_.reserve(members_.size() + static_cast<std::size_t>(last - first));
  std::move(first, last, std::back_inserter(members_));
  index_.reset();
}

int depth_of(const Value& v) {
  int deepest = 0;
  if (v.kind() == Kind::Array) {
    for (const Value& e : v.elements()) deepest = std::max(deepest, depth_of(e));
  } else if (v.kind() == Kind::Object) {
    for (const auto& m : v.members()) deepest = std::max(deepest, depth_of(m.second));
  } else {
    return 0;
  }
  return deepest + 1;
}

// --- reading --------------------------------------------------------------------------------

namespace {

bool is_json_space(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }
bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }

int hex_value(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads `count` hex digits at `p`; -1 when there are not that many.
long hex_run(std::u16string_view s, std::size_t p, int count) {
  if (p + static_cast<std::size_t>(count) > s.size()) return -1;
  long v = 0;
  for (int i = 0; i < count; ++i) {
    const int h = hex_value(s[p + static_cast<std::size_t>(i)]);
    if (h < 0) return -1;
    v = v * 16 + h;
  }
  return v;
}

// The one-letter escapes JSON and script strings share: letter and character.
constexpr std::pair<char16_t, char16_t> kShortEscapes[] = {
    {u'b', u'\b'}, {u't', u'\t'}, {u'n', u'\n'}, {u'f', u'\f'}, {u'r', u'\r'},
};

// The character a one-letter escape stands for, or 0.
char16_t unescape_letter(char16_t letter) {
  for (const auto& [l, c] : kShortEscapes) {
    if (l == letter) return c;
  }
  return 0;
}

// The letter that escapes a character, or 0.
char16_t escape_letter(char16_t c) {
  for (const auto& [l, ch] : kShortEscapes) {
    if (ch == c) return l;
  }
  return 0;
}

// The double nearest to a decimal number text of ASCII characters (sign, digits, ".", "e").
// Too large gives Infinity, too small 0, each with the text's sign.
double decimal_value(std::string_view digits) {
  double value = 0;
  const char* first = digits.data();
  const char* last = digits.data() + digits.size();
  const bool negative = first != last && *first == '-';
  const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
  (void)ptr;
  if (ec != std::errc::result_out_of_range) return value;
  // Out of range: the place of the first significant digit plus the exponent tells which way.
  long place = 0;
  bool seen_point = false;
  bool significant = false;
  long exponent = 0;
  for (const char* p = first; p != last; ++p) {
    const char c = *p;
    if (c == '.') {
      seen_point = true;
    } else if (c == 'e' || c == 'E') {
      long e = 0;
      bool e_negative = false;
      for (const char* q = p + 1; q != last; ++q) {
        if (*q == '-') e_negative = true;
        if (*q >= '0' && *q <= '9') e = std::min(e * 10 + (*q - '0'), 100000000L);
      }
      exponent = e_negative ? -e : e;
      break;
    } else if (c >= '0' && c <= '9') {
      if (!significant && c != '0') significant = true;
      if (significant && !seen_point) ++place;
      if (!significant && seen_point) --place;
    }
  }
  const double magnitude = place + exponent > 0 ? HUGE_VAL : 0.0;
  return negative ? -magnitude : magnitude;
}

class Reader {
 public:
  Reader(std::u16string_view text, int max_depth) : s_(text), max_depth_(max_depth) {}

  std::optional<Value> read_document(ReadError* error) {
    skip_space();
    std::optional<Value> v;
    if (pos_ >= s_.size()) {
      fail("Syntax error");
    } else {
      v = read_value(0);
      if (v) {
        skip_space();
        if (pos_ != s_.size()) {
          fail("Expected ';'");
          v.reset();
        }
      }
    }
    if (!v && error != nullptr) {
      error->offset = pos_;
      error->what = what_;
    }
    return v;
  }

 private:
  void skip_space() {
    while (pos_ < s_.size() && is_json_space(s_[pos_])) ++pos_;
  }

  std::nullopt_t fail(const char* what) {
    what_ = what;
    return std::nullopt;
  }

  bool literal(std::u16string_view word) {
    if (s_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  std::optional<Value> read_value(int depth) {
    skip_space();
    if (pos_ >= s_.size()) return fail("Syntax error");
    switch (s_[pos_]) {
      case u'{':
        return read_object(depth + 1);
      case u'[':
        return read_array(depth + 1);
      case u'"': {
        std::u16string str;
        if (!read_string(str)) return std::nullopt;
        return Value::string(std::move(str));
      }
      case u't':
        if (literal(u"true")) return Value::boolean(true);
        return fail("Syntax error");
      case u'f':
        if (literal(u"false")) return Value::boolean(false);
        return fail("Syntax error");
      case u'n':
        if (literal(u"null")) return Value::null();
        return fail("Syntax error");
      default:
        return read_number_value();
    }
  }

  std::optional<Value> read_object(int depth) {
    if (depth > max_depth_) return fail("Out of stack space");
    ++pos_;  // {
    Value obj = Value::object();
    skip_space();
    if (pos_ < s_.size() && s_[pos_] == u'}') {
      ++pos_;
      return obj;
    }
    // Members gather on a stack shared by every object being read, then move in one piece.
    const std::size_t base = members_.size();
    std::unique_ptr<std::unordered_map<std::u16string, std::size_t>> seen;
    while (true) {
      skip_space();
      if (pos_ >= s_.size() || s_[pos_] != u'"') return fail("Expected identifier or string");
      std::u16string name;
      if (!read_string(name)) return std::nullopt;
      skip_space();
      if (pos_ >= s_.size() || s_[pos_] != u':') return fail("Expected ':'");
      ++pos_;
      std::optional<Value> member = read_value(depth);
      if (!member) return std::nullopt;
      // A repeated name keeps its first place and takes the last value.
      std::size_t at = members_.size();
      if (seen) {
        const auto it = seen->find(name);
        if (it != seen->end()) at = it->second;
      } else {
        for (std::size_t i = base; i < members_.size(); ++i) {
          if (members_[i].first == name) {
            at = i;
            break;
          }
        }
      }
      if (at < members_.size()) {
        members_[at].second = std::move(*member);
      } else {
        if (seen) seen->emplace(name, at);
        members_.emplace_back(std::move(name), std::move(*member));
        if (!seen && members_.size() - base >= kLinearNames) {
          seen = std::make_unique<std::unordered_map<std::u16string, std::size_t>>();
          for (std::size_t i = base; i < members_.size(); ++i) seen->emplace(members_[i].first, i);
        }
      }
      skip_space();
      if (pos_ >= s_.size()) return fail("Expected '}'");
      if (s_[pos_] == u',') {
        ++pos_;
        continue;
      }
      if (s_[pos_] == u'}') {
        ++pos_;
        obj.members().adopt(members_.begin() + static_cast<std::ptrdiff_t>(base), members_.end());
        members_.resize(base);
        return obj;
      }
      return fail("Expected '}'");
    }
  }

  std::optional<Value> read_array(int depth) {
    if (depth > max_depth_) return fail("Out of stack space");
    ++pos_;  // [
    Value arr = Value::array();
    skip_space();
    if (pos_ < s_.size() && s_[pos_] == u']') {
      ++pos_;
      return arr;
    }
    const std::size_t base = elements_.size();
    while (true) {
      std::optional<Value> element = read_value(depth);
      if (!element) return std::nullopt;
      elements_.push_back(std::move(*element));
      skip_space();
      if (pos_ >= s_.size()) return fail("Expected ']'");
      if (s_[pos_] == u',') {
        ++pos_;
        continue;
      }
      if (s_[pos_] == u']') {
        ++pos_;
        auto& out = arr.elements();
        out.reserve(elements_.size() - base);
        std::move(elements_.begin() + static_cast<std::ptrdiff_t>(base), elements_.end(),
                  std::back_inserter(out));
        elements_.resize(base);
        return arr;
      }
      return fail("Expected ']'");
    }
  }

  // At the opening quote; leaves pos_ after the closing one.
  bool read_string(std::u16string& out) {
    ++pos_;
    while (true) {
      // Copy the plain run in one piece.
      const std::size_t run = pos_;
      while (pos_ < s_.size()) {
        const char16_t c = s_[pos_];
        if (c == u'"' || c == u'\\' || c == u'\n' || c == u'\r') break;
        ++pos_;
      }
      out.append(s_.substr(run, pos_ - run));
      if (pos_ >= s_.size() || s_[pos_] == u'\n' || s_[pos_] == u'\r') {
        fail("Unterminated string constant");
        return false;
      }
      if (s_[pos_] == u'"') {
        ++pos_;
        return true;
      }
      // Backslash.
      if (pos_ + 1 >= s_.size()) {
        fail("Unterminated string constant");
        return false;
      }
      const char16_t e = s_[pos_ + 1];
      pos_ += 2;
      switch (e) {
        case u'"':
        case u'\\':
        case u'/':
          out.push_back(e);
          break;
        case u'u': {
          const long v = hex_run(s_, pos_, 4);
          if (v < 0) {
            fail("Expected hexadecimal digit");
            return false;
          }
          out.push_back(static_cast<char16_t>(v));  // a lone surrogate stays one code unit
          pos_ += 4;
          break;
        }
        default:
          if (const char16_t c = unescape_letter(e); c != 0) {
            out.push_back(c);
            break;
          }
          pos_ -= 1;
          fail("Invalid escape");
          return false;
      }
    }
  }

  std::optional<Value> read_number_value() {
    const std::size_t start = pos_;
    if (pos_ < s_.size() && s_[pos_] == u'-') ++pos_;
    if (pos_ >= s_.size() || !is_digit(s_[pos_])) return fail("Syntax error");
    if (s_[pos_] == u'0') {
      ++pos_;
    } else {
      while (pos_ < s_.size() && is_digit(s_[pos_])) ++pos_;
    }
    if (pos_ < s_.size() && s_[pos_] == u'.') {
      ++pos_;
      if (pos_ >= s_.size() || !is_digit(s_[pos_])) return fail("Expected digit");
      while (pos_ < s_.size() && is_digit(s_[pos_])) ++pos_;
    }
    if (pos_ < s_.size() && (s_[pos_] == u'e' || s_[pos_] == u'E')) {
      ++pos_;
      if (pos_ < s_.size() && (s_[pos_] == u'+' || s_[pos_] == u'-')) ++pos_;
      if (pos_ >= s_.size() || !is_digit(s_[pos_])) return fail("Expected digit");
      while (pos_ < s_.size() && is_digit(s_[pos_])) ++pos_;
    }
    const std::size_t length = pos_ - start;
    char small[64];
    std::string large;
    char* digits = small;
    if (length > sizeof small) {
      large.resize(length);
      digits = large.data();
    }
    for (std::size_t i = 0; i < length; ++i) digits[i] = static_cast<char>(s_[start + i]);
    // from_chars takes no "+" in the exponent.
    std::size_t n = 0;
    for (std::size_t i = 0; i < length; ++i) {
      if (digits[i] != '+') digits[n++] = digits[i];
    }
    return Value::number(decimal_value(std::string_view(digits, n)));
  }

  // Beyond this many members a name index finds repeated names.
  static constexpr std::size_t kLinearNames = 16;

  std::u16string_view s_;
  int max_depth_;
  std::size_t pos_ = 0;
  std::vector<std::pair<std::u16string, Value>> members_;
  std::vector<Value> elements_;
  const char* what_ = "";
};

bool is_blank(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), is_json_space);
}

}  // namespace

std::optional<Value> read_json(std::u16string_view text, int max_depth, ReadError* error) {
  return Reader(text, max_depth).read_document(error);
}

std::optional<Value> read_expression(std::u16string_view text, int max_depth, ReadError* error) {
  if (is_blank(text)) return Value();
  std::optional<Value> v = read_json(text, max_depth, error);
  if (!v || v->kind() != Kind::String) return v;
  const std::u16string& content = v->as_string();
  if (is_blank(content)) return Value();
  std::optional<Value> again = read_json(content, max_depth, error);
  if (!again && error != nullptr) {
    error->in_content = true;
    error->content = content;
  }
  return again;
}

std::optional<std::u16string> read_quoted_content(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size());
  std::size_t p = 0;
  while (p < s.size()) {
    const char16_t c = s[p];
    if (c == u'\'' || c == u'\n' || c == u'\r' || c == u'\u2028' || c == u'\u2029') {
      return std::nullopt;
    }
    if (c != u'\\') {
      out.push_back(c);
      ++p;
      continue;
    }
    if (p + 1 >= s.size()) return std::nullopt;
    const char16_t e = s[p + 1];
    p += 2;
    switch (e) {
      case u'\r':  // a line continuation stands for nothing; CR LF is one line break
        if (p < s.size() && s[p] == u'\n') ++p;
        break;
      case u'\n':
      case u'\u2028':
      case u'\u2029':
        break;
      case u'v':
        out.push_back(u'\v');
        break;
      case u'x': {
        const long v = hex_run(s, p, 2);
        if (v < 0) return std::nullopt;
        out.push_back(static_cast<char16_t>(v));
        p += 2;
        break;
      }
      case u'u': {
        const long v = hex_run(s, p, 4);
        if (v < 0) return std::nullopt;
        out.push_back(static_cast<char16_t>(v));
        p += 4;
        break;
      }
      default:
        if (e >= u'0' && e <= u'7') {
          // Octal escape: up to three digits while the value stays below 256.
          int v = e - u'0';
          const int more = e <= u'3' ? 2 : 1;
          for (int k = 0; k < more && p < s.size() && s[p] >= u'0' && s[p] <= u'7'; ++k) {
            v = v * 8 + (s[p] - u'0');
            ++p;
          }
          out.push_back(static_cast<char16_t>(v));
        } else if (const char16_t plain = unescape_letter(e); plain != 0) {
          out.push_back(plain);
        } else {
          out.push_back(e);  // any other escaped character stands for itself
        }
    }
  }
  return out;
}

std::optional<double> read_number(std::u16string_view text) {
  if (text.empty() || !(is_digit(text[0]) || text[0] == u'-')) return std::nullopt;
  std::optional<Value> v = read_json(text, 0, nullptr);
  if (!v || v->kind() != Kind::Number) return std::nullopt;
  return v->as_number();
}

// --- writing --------------------------------------------------------------------------------

std::string number_text(double n) {
  if (std::isnan(n)) return "NaN";
  if (std::isinf(n)) return n < 0 ? "-Infinity" : "Infinity";
  if (n == 0) return "0";
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, n, std::chars_format::scientific);
  (void)ec;
  // buf: [-]d[.ddd]e(+|-)xx
  std::string_view sci(buf, static_cast<std::size_t>(end - buf));
  std::string out;
  if (sci.front() == '-') {
    out.push_back('-');
    sci.remove_prefix(1);
  }
  const std::size_t e_pos = sci.find('e');
  std::string digits;
  for (char c : sci.substr(0, e_pos)) {
    if (c != '.') digits.push_back(c);
  }
  int exponent = 0;
  std::from_chars(sci.data() + e_pos + (sci[e_pos + 1] == '+' ? 2 : 1), sci.data() + sci.size(),
                  exponent);
  const int k = static_cast<int>(digits.size());
  const int place = exponent + 1;  // the decimal point sits after `place` digits
  if (k <= place && place <= 21) {
    out += digits;
    out.append(static_cast<std::size_t>(place - k), '0');
  } else if (0 < place && place <= 21) {
    out.append(digits, 0, static_cast<std::size_t>(place));
    out.push_back('.');
    out.append(digits, static_cast<std::size_t>(place));
  } else if (-6 < place && place <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-place), '0');
    out += digits;
  } else {
    out.push_back(digits[0]);
    if (k > 1) {
      out.push_back('.');
      out.append(digits, 1);
    }
    out.push_back('e');
    out.push_back(place - 1 < 0 ? '-' : '+');
    out += std::to_string(std::abs(place - 1));
  }
  return out;
}

namespace {

// Characters the writer puts as \u escapes besides the short ones.
bool needs_unicode_escape(char16_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xAD || (c >= 0x600 && c <= 0x604) ||
         c == 0x70F || c == 0x17B4 || c == 0x17B5 || (c >= 0x200C && c <= 0x200F) ||
         (c >= 0x2028 && c <= 0x202F) || (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF || c >= 0xFFF0;
}

void append_ascii(std::u16string& out, std::string_view s) {
  for (char c : s) out.push_back(static_cast<char16_t>(c));
}

void write_string(std::u16string_view s, std::u16string& out) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back(u'"');
  for (char16_t c : s) {
    if (c == u'"' || c == u'\\') {
      out.push_back(u'\\');
      out.push_back(c);
      continue;
    }
    if (c == kMarker) {
      out.push_back(u'\\');
      continue;
    }
    if (const char16_t letter = c < 0x20 ? escape_letter(c) : 0; letter != 0) {
      out.push_back(u'\\');
      out.push_back(letter);
      continue;
    }
    if (needs_unicode_escape(c)) {
      out += u"\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(c >> shift) & 0xF]);
    } else {
      out.push_back(c);
    }
  }
  out.push_back(u'"');
}

}  // namespace

void write_json(const Value& v, std::u16string& out) {
  switch (v.kind()) {
    case Kind::Missing:
      return;
    case Kind::Null:
      out += u"null";
      return;
    case Kind::Boolean:
      out += v.as_boolean() ? u"true" : u"false";
      return;
    case Kind::Number:
      if (std::isfinite(v.as_number())) {
        append_ascii(out, number_text(v.as_number()));
      } else {
        out += u"null";
      }
      return;
    case Kind::String:
      write_string(v.as_string(), out);
      return;
    case Kind::Array: {
      out.push_back(u'[');
      bool first = true;
      for (const Value& e : v.elements()) {
        if (!first) out.push_back(u',');
        first = false;
        if (e.is_missing()) {
          out += u"null";
        } else {
          write_json(e, out);
        }
      }
      out.push_back(u']');
      return;
    }
    case Kind::Object: {
      out.push_back(u'{');
      bool first = true;
      for (const auto& [name, member] : v.members()) {
        if (member.is_missing()) continue;
        if (!first) out.push_back(u',');
        first = false;
        write_string(name, out);
        out.push_back(u':');
        write_json(member, out);
      }
      out.push_back(u'}');
      return;
    }
  }
}

void write_plain(const Value& v, std::u16string& out) {
  switch (v.kind()) {
    case Kind::Missing:
    case Kind::Null:
      return;
    case Kind::Boolean:
      out += v.as_boolean() ? u"true" : u"false";
      return;
    case Kind::Number:
      append_ascii(out, number_text(v.as_number()));
      return;
    case Kind::String:
      out += v.as_string();
      return;
    case Kind::Array: {
      bool first = true;
      for (const Value& e : v.elements()) {
        if (!first) out.push_back(u',');
        first = false;
        write_plain(e, out);
      }
      return;
    }
    case Kind::Object:
      out += u"[object Object]";
      return;
  }
}

namespace {

bool holds_marker(const Value& v) {
  switch (v.kind()) {
    case Kind::String:
      return v.as_string().find(kMarker) != std::u16string::npos;
    case Kind::Array:
      return std::any_of(v.elements().begin(), v.elements().end(), holds_marker);
    case Kind::Object:
      return std::any_of(v.members().begin(), v.members().end(), [](const auto& m) {
        return m.first.find(kMarker) != std::u16string::npos || holds_marker(m.second);
      });
    default:
      return false;
  }
}

// A copy as it reads back from its JSON text, strings not read again.
Value copy_as_written(const Value& v) {
  switch (v.kind()) {
    case Kind::Missing:
    case Kind::Null:
      return Value::null();
    case Kind::Number: {
      const double n = v.as_number();
      if (!std::isfinite(n)) return Value::null();
      return Value::number(n == 0 ? 0.0 : n);
    }
    case Kind::Array: {
      Value out = Value::array();
      out.elements().reserve(v.elements().size());
      for (const Value& e : v.elements()) out.elements().push_back(copy_as_written(e));
      return out;
    }
    case Kind::Object: {
      Value out = Value::object();
      for (const auto& [name, member] : v.members()) {
        if (!member.is_missing()) out.members().set(name, copy_as_written(member));
      }
      return out;
    }
    default:
      return v;
  }
}

}  // namespace

Value reread(const Value& v, int max_depth) {
  if (v.is_missing()) return Value();
  if (holds_marker(v)) {
    // Markers turn into backslashes in the text, which then read as escapes: go by the text.
    std::u16string text;
    write_json(v, text);
    std::optional<Value> back = read_expression(text, max_depth, nullptr);
    return back ? std::move(*back) : Value::null();
  }
  if (v.kind() == Kind::String) {
    const std::u16string& content = v.as_string();
    if (is_blank(content)) return Value();
    std::optional<Value> back = read_json(content, max_depth, nullptr);
    return back ? std::move(*back) : Value::null();
  }
  return copy_as_written(v);
}

// --- local text -----------------------------------------------------------------------------

// Conversions pass only the stretch from the first to the last non-ASCII character through the
// code-page seam: ASCII before a character boundary converts to itself.

std::u16string to_wide(std::string_view local) {
  std::u16string out;
  const auto high = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
  const auto first = std::find_if(local.begin(), local.end(), high);
  if (first == local.end()) {
    out.resize(local.size());
    for (std::size_t i = 0; i < local.size(); ++i) out[i] = static_cast<char16_t>(local[i]);
    return out;
  }
  const auto last = std::find_if(local.rbegin(), local.rend(), high).base();  // one past it
  const std::size_t begin = static_cast<std::size_t>(first - local.begin());
  // A lead byte's trail byte may be ASCII: take one byte more.
  const std::size_t end =
      std::min(local.size(), static_cast<std::size_t>(last - local.begin()) + 1);
  std::u16string middle =
      platform::multibyte_to_wide(local.substr(begin, end - begin), platform::local_code_page());
  if (begin == 0 && end == local.size()) return middle;
  out.reserve(local.size());
  for (std::size_t i = 0; i < begin; ++i) out.push_back(static_cast<char16_t>(local[i]));
  out += middle;
  for (std::size_t i = end; i < local.size(); ++i) out.push_back(static_cast<char16_t>(local[i]));
  return out;
}

std::string to_local(std::u16string_view wide) {
  std::string out;
  const auto high = [](char16_t c) { return c >= 0x80; };
  const auto first = std::find_if(wide.begin(), wide.end(), high);
  if (first == wide.end()) {
    out.resize(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) out[i] = static_cast<char>(wide[i]);
    return out;
  }
  const auto last = std::find_if(wide.rbegin(), wide.rend(), high).base();
  const std::size_t begin = static_cast<std::size_t>(first - wide.begin());
  const std::size_t end = static_cast<std::size_t>(last - wide.begin());
  out.reserve(wide.size() + (end - begin));
  for (std::size_t i = 0; i < begin; ++i) out.push_back(static_cast<char>(wide[i]));
  out += platform::wide_to_multibyte(wide.substr(begin, end - begin), platform::local_code_page());
  for (std::size_t i = end; i < wide.size(); ++i) out.push_back(static_cast<char>(wide[i]));
  return out;
}

}  // namespace quillax::json
