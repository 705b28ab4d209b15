#include "json/json_document.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "json/json_value.h"
#include "platform/codepage.h"
#include "text/text.h"

namespace quillax {

using json::Kind;
using json::Value;

namespace {

// An array grows through an index set at most to this many elements: a far index must not
// allocate gigabytes.
constexpr std::size_t kMaxGrownLength = std::size_t{1} << 20;

// Largest array index (2^32 - 2); a larger number names an ordinary member.
constexpr unsigned long long kMaxArrayIndex = 4294967294ULL;

// Error code of a text the reader rejects.
constexpr int kSyntaxErrorNumber = -2146827286;

// One step of a path: a member name, which is also an array index when it is the canonical
// decimal text of one.
struct Step {
  std::u16string name;
  bool is_index = false;
  std::size_t index = 0;
};

Step make_step(std::u16string name) {
  Step s;
  s.name = std::move(name);
  const std::u16string& n = s.name;
  if (!n.empty() && n.size() <= 10 &&
      std::all_of(n.begin(), n.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }) &&
      (n.size() == 1 || n[0] != u'0')) {
    unsigned long long v = 0;
    for (char16_t c : n) v = v * 10 + static_cast<unsigned>(c - u'0');
    if (v <= kMaxArrayIndex) {
      s.is_index = true;
      s.index = static_cast<std::size_t>(v);
    }
  }
  return s;
}

Step index_step(long long index) {
  std::u16string name;
  for (char c : std::to_string(index)) name.push_back(static_cast<char16_t>(c));
  return make_step(std::move(name));
}

bool is_name_start(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'$' ||
         c >= 0x80;
}
bool is_name_char(char16_t c) { return is_name_start(c) || (c >= u'0' && c <= u'9'); }
bool is_space(char16_t c) { return c == u' ' || c == u'\t'; }

// Parses a path: a leading name or bracket, then ".name" and bracket steps. A bracket holds a
// decimal number (optionally negative) or a quoted name. nullopt when it is not such a path.
std::optional<std::vector<Step>> parse_steps(std::u16string_view p) {
  std::vector<Step> steps;
  steps.reserve(4);
  std::size_t i = 0;
  const auto read_name = [&]() -> bool {
    if (i >= p.size() || !is_name_start(p[i])) return false;
    const std::size_t start = i;
    while (i < p.size() && is_name_char(p[i])) ++i;
    steps.push_back(make_step(std::u16string(p.substr(start, i - start))));
    return true;
  };
  const auto read_bracket = [&]() -> bool {
    ++i;  // [
    while (i < p.size() && is_space(p[i])) ++i;
    if (i >= p.size()) return false;
    if (p[i] == u'\'' || p[i] == u'"') {
      const char16_t quote = p[i];
      const std::size_t start = ++i;
      while (i < p.size() && p[i] != quote) i += p[i] == u'\\' ? 2 : 1;
      if (i >= p.size()) return false;
      std::u16string_view inner = p.substr(start, i - start);
      ++i;
      // Inside double quotes a single quote is plain; inside single quotes it cannot occur.
      std::u16string swapped;
      if (quote == u'"') {
        for (char16_t c : inner) {
          if (c == u'\'')
            swapped += u"\\'";
          else
            swapped.push_back(c);
        }
        inner = swapped;
      }
      std::optional<std::u16string> name = json::read_quoted_content(inner);
      if (!name) return false;
      steps.push_back(make_step(std::move(*name)));
    } else {
      const std::size_t start = i;
      if (p[i] == u'-') ++i;
      const std::size_t digits = i;
      while (i < p.size() && p[i] >= u'0' && p[i] <= u'9') ++i;
      if (i == digits || i - start > 18) return false;
      long long v = 0;
      for (std::size_t k = digits; k < i; ++k) v = v * 10 + (p[k] - u'0');
      steps.push_back(index_step(p[start] == u'-' ? -v : v));
    }
    while (i < p.size() && is_space(p[i])) ++i;
    if (i >= p.size() || p[i] != u']') return false;
    ++i;
    return true;
  };

  if (i < p.size() && p[i] == u'[') {
    if (!read_bracket()) return std::nullopt;
  } else if (!read_name()) {
    return std::nullopt;
  }
  while (i < p.size()) {
    if (p[i] == u'.') {
      ++i;
      if (!read_name()) return std::nullopt;
    } else if (p[i] == u'[') {
      if (!read_bracket()) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  return steps;
}

// The value one step below `v`; nullptr for missing. `v` must be present.
Value* step_into(Value& v, const Step& s) {
  if (v.kind() == Kind::Object) return v.members().find(s.name);
  if (v.kind() == Kind::Array) {
    auto& elements = v.elements();
    return s.is_index && s.index < elements.size() ? &elements[s.index] : nullptr;
  }
  return nullptr;  // a string, number or boolean has no members here
}

// Where a path leads: `ok` false when it cannot be evaluated (a step out of missing or null);
// otherwise `value` is the value there, nullptr for missing.
struct Found {
  bool ok = false;
  Value* value = nullptr;
  bool present() const { return ok && value != nullptr && value->present(); }
};

Found walk(Value& root, const Step* first, const Step* last) {
  Value* v = &root;
  for (const Step* s = first; s != last; ++s) {
    if (v == nullptr || !v->present()) return Found{false, nullptr};
    v = step_into(*v, *s);
  }
  if (v != nullptr && v->is_missing()) v = nullptr;
  return Found{true, v};
}

// A caller's path made full: its steps from the root, or nullopt when it cannot be read.
struct Resolved {
  std::vector<Step> steps;
  bool absolute = false;  // the caller's path already began with the root name
};

std::optional<Resolved> resolve(Value& root, std::u16string_view root_name,
                                std::u16string_view path) {
  Resolved r;
  if (path.empty()) return r;
  std::optional<std::vector<Step>> steps = parse_steps(path);
  if (!steps) return std::nullopt;
  // Absolute only when the leading name is the root name and the value it names is there.
  if (path[0] != u'[' && steps->front().name == root_name &&
      walk(root, steps->data() + 1, steps->data() + steps->size()).present()) {
    steps->erase(steps->begin());
    r.absolute = true;
  }
  r.steps = std::move(*steps);
  return r;
}

Text plain_text(std::u16string s) {
  std::replace(s.begin(), s.end(), json::kMarker, u'\\');
  return json::to_local(s);
}

Text json_text(const Value* v) {
  if (v == nullptr) return Text();
  std::u16string out;
  json::write_json(*v, out);
  return json::to_local(out);
}

int steps_depth(const std::vector<Step>& steps) { return static_cast<int>(steps.size()); }

// Sets element `index` of an array, growing it with holes; false when that would grow it past
// kMaxGrownLength.
bool set_array_element(std::vector<Value>& elements, std::size_t index, Value value) {
  if (index >= elements.size()) {
    if (index >= kMaxGrownLength) return false;
    elements.resize(index + 1);
  }
  elements[index] = std::move(value);
  return true;
}

// The merge of a JSON-mode set onto an existing object or array, in place.
void extend(Value& target, const Value& source) {
  if (target.kind() == Kind::Array) {
    if (source.kind() == Kind::Array) {
      for (const Value& e : source.elements()) target.elements().push_back(e);
    }
    return;
  }
  if (target.kind() != Kind::Object) return;
  const auto merge_member = [&](std::u16string_view name, const Value& from) {
    Value* t = target.members().find(name);
    if (t != nullptr && (t->kind() == Kind::Object || t->kind() == Kind::Array)) {
      extend(*t, from);
    } else {
      // Absent, missing, string, boolean, and also number or null: the source's value wins.
      target.members().set(std::u16string(name), from);
    }
  };
  if (source.kind() == Kind::Object) {
    for (const auto& [name, member] : source.members()) merge_member(name, member);
  } else if (source.kind() == Kind::Array) {
    const auto& elements = source.elements();
    for (std::size_t i = 0; i < elements.size(); ++i) {
      if (elements[i].is_missing()) continue;
      merge_member(index_step(static_cast<long long>(i)).name, elements[i]);
    }
  }
}

// The leaf values under `v`, as the texts they join into.
void collect_leaves(const Value& v, bool recursive, std::vector<std::u16string>& out) {
  const auto visit = [&](const Value& member) {
    switch (member.kind()) {
      case Kind::Object:
      case Kind::Array:
        if (recursive) collect_leaves(member, recursive, out);
        break;
      case Kind::String:
      case Kind::Number:
      case Kind::Boolean: {
        std::u16string text;
        json::write_plain(member, text);
        out.push_back(std::move(text));
        break;
      }
      default:
        break;
    }
  };
  if (v.kind() == Kind::Object) {
    for (const auto& m : v.members()) visit(m.second);
  } else if (v.kind() == Kind::Array) {
    for (const Value& e : v.elements()) visit(e);
  }
}

// Joins texts with a separator, converts the result and splits it again, as the names and
// leaf values come out.
std::vector<Text> join_and_split(const std::vector<std::u16string>& pieces,
                                 std::u16string_view separator) {
  std::u16string joined;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) joined += separator;
    joined += pieces[i];
  }
  return text::split(json::to_local(joined), json::to_local(separator));
}

// The value a non-raw text of array_add / set_element stands for, or of a raw one.
std::optional<Value> element_value(std::string_view value, bool raw) {
  const std::u16string wide = json::to_wide(value);
  if (raw) return json::read_json(wide, JsonDocument::kMaxDepth, nullptr);
  std::optional<std::u16string> content = json::read_quoted_content(wide);
  if (!content) return std::nullopt;
  return Value::string(std::move(*content));
}

}  // namespace

// --- life ---------------------------------------------------------------------------------

JsonDocument::JsonDocument() : root_name_("da") { init_engine(); }

JsonDocument::JsonDocument(Text root_name, std::shared_ptr<JsonEngine> engine)
    : root_name_(std::move(root_name)), engine_(std::move(engine)) {}

JsonDocument::~JsonDocument() = default;

JsonDocument::JsonDocument(const JsonDocument& other) = default;
JsonDocument& JsonDocument::operator=(const JsonDocument& other) = default;
JsonDocument::JsonDocument(JsonDocument&& other) noexcept = default;
JsonDocument& JsonDocument::operator=(JsonDocument&& other) noexcept = default;

void JsonDocument::destroy() { engine_.reset(); }

JsonDocument JsonDocument::copy() const { return *this; }

void JsonDocument::init_engine() { engine_ = std::make_shared<JsonEngine>(); }

std::shared_ptr<JsonEngine> JsonDocument::get_engine() const { return engine_; }

bool JsonDocument::load(std::string_view text, bool raw, ScriptError* error) {
  if (engine_) init_engine();
  if (!engine_) return false;
  Value& root = engine_->root;
  root = Value::null();
  const std::u16string wide = json::to_wide(text);
  json::ReadError failure;
  std::optional<Value> v = raw ? json::read_json(wide, kMaxDepth, &failure)
                               : json::read_expression(wide, kMaxDepth, &failure);
  if (error != nullptr) {
    *error = ScriptError{};
    if (!v) {
      // A failure in a string's content read again is placed in that content.
      const std::u16string_view where = failure.in_content ? failure.content : wide;
      const std::size_t at = std::min(failure.offset, where.size());
      const std::size_t line_start = at == 0 ? std::u16string::npos : where.rfind(u'\n', at - 1);
      const std::size_t begin = line_start == std::u16string::npos ? 0 : line_start + 1;
      const std::size_t line_end = std::min(where.find(u'\n', at), where.size());
      error->number = kSyntaxErrorNumber;
      error->source = "JSON";
      error->description = failure.what;
      error->text = json::to_local(where.substr(begin, line_end - begin));
      error->line = static_cast<int>(std::count(
                        where.begin(), where.begin() + static_cast<std::ptrdiff_t>(begin), u'\n')) +
                    1;
      error->column = static_cast<int>(at - begin);
    }
  }
  if (v) root = std::move(*v);
  return root.present();
}

bool JsonDocument::clear() {
  if (!engine_) return false;
  engine_->root = Value::object();
  return true;
}

Text JsonDocument::to_json() const {
  if (!engine_) return Text();
  return json_text(engine_->root.is_missing() ? nullptr : &engine_->root);
}

// --- paths ----------------------------------------------------------------------------------

bool JsonDocument::resolve_path(Text& path) const {
  if (!engine_) return false;
  const std::u16string wide_root = json::to_wide(root_name_);
  std::optional<Resolved> r = resolve(engine_->root, wide_root, json::to_wide(path));
  if (r && r->absolute) return true;
  if (path.empty()) {
    path = root_name_;
  } else if (path[0] == '[') {
    path = root_name_ + path;
  } else {
    path = root_name_ + "." + path;
  }
  if (!r) return false;
  return walk(engine_->root, r->steps.data(), r->steps.data() + r->steps.size()).present();
}

namespace {

// The value at a caller's path in a document's data.
Found find_at(JsonEngine* engine, const Text& root_name, std::string_view path,
              const Step* extra = nullptr) {
  if (engine == nullptr) return Found{};
  std::optional<Resolved> r = resolve(engine->root, json::to_wide(root_name), json::to_wide(path));
  if (!r) return Found{};
  if (extra != nullptr) r->steps.push_back(*extra);
  return walk(engine->root, r->steps.data(), r->steps.data() + r->steps.size());
}

// The steps of a caller's path for a change, or nullopt when it cannot be read.
std::optional<std::vector<Step>> steps_for(JsonEngine* engine, const Text& root_name,
                                           std::string_view path) {
  if (engine == nullptr) return std::nullopt;
  std::optional<Resolved> r = resolve(engine->root, json::to_wide(root_name), json::to_wide(path));
  if (!r) return std::nullopt;
  return std::move(r->steps);
}

// Sets the value at `steps`; false when the parent is not an object or array that takes it.
bool assign(Value& root, const std::vector<Step>& steps, Value value) {
  if (steps_depth(steps) + json::depth_of(value) > JsonDocument::kMaxDepth) return false;
  if (steps.empty()) {
    root = std::move(value);
    return true;
  }
  Found parent = walk(root, steps.data(), steps.data() + steps.size() - 1);
  if (!parent.present()) return false;
  const Step& last = steps.back();
  if (parent.value->kind() == Kind::Object) {
    parent.value->members().set(last.name, std::move(value));
    return true;
  }
  if (parent.value->kind() == Kind::Array && last.is_index) {
    return set_array_element(parent.value->elements(), last.index, std::move(value));
  }
  return false;
}

}  // namespace

bool JsonDocument::exists(std::string_view path) const {
  return find_at(engine_.get(), root_name_, path).present();
}

JsonType JsonDocument::type_of(std::string_view path) const {
  const Found f = find_at(engine_.get(), root_name_, path);
  if (!f.ok) return JsonType::JsonOther;
  if (!f.present()) return JsonType::JsonNull;
  switch (f.value->kind()) {
    case Kind::String:
      return JsonType::JsonString;
    case Kind::Array:
      return JsonType::JsonArray;
    case Kind::Object:
      return JsonType::JsonObject;
    case Kind::Number:
      return JsonType::JsonNumber;
    case Kind::Boolean:
      return JsonType::JsonBoolean;
    default:
      return JsonType::JsonOther;
  }
}

// --- reading --------------------------------------------------------------------------------

Text JsonDocument::get_text(std::string_view path, bool as_json) const {
  if (as_json) return get_json(path);
  const Found f = find_at(engine_.get(), root_name_, path);
  if (!f.present()) return Text();
  std::u16string out;
  json::write_plain(*f.value, out);
  return plain_text(std::move(out));
}

Text JsonDocument::get_json(std::string_view path) const {
  const Found f = find_at(engine_.get(), root_name_, path);
  return f.ok ? json_text(f.value) : Text();
}

int JsonDocument::member_names(std::vector<Text>& names, std::string_view path) const {
  names.clear();
  const Found f = find_at(engine_.get(), root_name_, path);
  if (!f.present() || f.value->kind() != Kind::Object) return 0;
  std::vector<std::u16string> pieces;
  pieces.reserve(f.value->members().size());
  for (const auto& m : f.value->members()) pieces.push_back(m.first);
  names = join_and_split(pieces, u"\r\n");
  return static_cast<int>(names.size());
}

int JsonDocument::count(std::string_view path) const {
  const Found f = find_at(engine_.get(), root_name_, path);
  if (!f.present() || f.value->kind() != Kind::Array) return 0;
  return static_cast<int>(std::min<std::size_t>(f.value->elements().size(), 0x7FFFFFFF));
}

JsonDocument JsonDocument::child_document(std::string_view path) const {
  const Found f = find_at(engine_.get(), root_name_, path);
  return JsonDocument(
      root_name_, std::make_shared<JsonEngine>(
                      f.ok && f.value != nullptr ? json::reread(*f.value, kMaxDepth) : Value()));
}

JsonDocument JsonDocument::element_document(int index, std::string_view path) const {
  const Step step = index_step(index);
  const Found f = find_at(engine_.get(), root_name_, path, &step);
  return JsonDocument(
      root_name_, std::make_shared<JsonEngine>(
                      f.ok && f.value != nullptr ? json::reread(*f.value, kMaxDepth) : Value()));
}

Text JsonDocument::element_text(int index, std::string_view path, bool as_json) const {
  const Step step = index_step(index);
  const Found f = find_at(engine_.get(), root_name_, path, &step);
  if (!f.ok) return Text();
  if (as_json) return json_text(f.value);
  if (f.value == nullptr || f.value->kind() != Kind::String) return Text();
  return plain_text(f.value->as_string());
}

double JsonDocument::get_number(std::string_view path) const {
  const Found f = find_at(engine_.get(), root_name_, path);
  if (!f.present()) return 0;
  switch (f.value->kind()) {
    case Kind::Number:
      return f.value->as_number();
    case Kind::Boolean:
      return f.value->as_boolean() ? -1 : 0;
    case Kind::String: {
      std::u16string_view s = f.value->as_string();
      while (!s.empty() && (s.front() == u' ' || s.front() == u'\t')) s.remove_prefix(1);
      while (!s.empty() && (s.back() == u' ' || s.back() == u'\t')) s.remove_suffix(1);
      std::u16string digits(s);
      if (!digits.empty() && digits[0] == u'+') digits.erase(0, 1);
      return json::read_number(digits).value_or(0);
    }
    default:
      return 0;
  }
}

int JsonDocument::leaf_values(std::vector<Text>& values, std::string_view path,
                              bool recursive) const {
  values.clear();
  const Found f = find_at(engine_.get(), root_name_, path);
  if (!f.present()) return 0;
  std::vector<std::u16string> pieces;
  collect_leaves(*f.value, recursive, pieces);
  values = join_and_split(pieces, u"[2020年7月20日20时0分0秒]");
  return static_cast<int>(values.size());
}

// --- writing --------------------------------------------------------------------------------

bool JsonDocument::set_value(std::string_view path, std::string_view value, bool json_mode) {
  std::optional<std::vector<Step>> steps = steps_for(engine_.get(), root_name_, path);
  if (!steps) return false;
  Value& root = engine_->root;
  if (!json_mode) {
    std::u16string wide = json::to_wide(value);
    std::replace(wide.begin(), wide.end(), u'\\', json::kMarker);
    return assign(root, *steps, Value::string(std::move(wide)));
  }
  Found target = walk(root, steps->data(), steps->data() + steps->size());
  if (target.present() && target.value->kind() == Kind::Object) {
    const std::u16string source_text = value.empty() ? u"{}" : json::to_wide(value);
    std::optional<Value> source = json::read_json(source_text, kMaxDepth, nullptr);
    if (!source) return false;
    if (steps_depth(*steps) + json::depth_of(*source) > kMaxDepth) return false;
    extend(*target.value, *source);
    return true;
  }
  return assign_json(path, value);
}

bool JsonDocument::assign_json(std::string_view path, std::string_view json_text_in) {
  std::optional<std::vector<Step>> steps = steps_for(engine_.get(), root_name_, path);
  if (!steps) return false;
  std::optional<Value> v = json::read_expression(json::to_wide(json_text_in), kMaxDepth, nullptr);
  if (!v) return false;
  return assign(engine_->root, *steps, std::move(*v));
}

bool JsonDocument::array_add(std::string_view value, std::string_view path, bool raw,
                             bool at_front) {
  std::optional<std::vector<Step>> steps = steps_for(engine_.get(), root_name_, path);
  if (!steps) return false;
  // An empty raw text adds nothing but still makes the array.
  std::optional<Value> v;
  if (!(raw && json::to_wide(value).find_first_not_of(u" \t\r\n") == std::u16string::npos)) {
    v = element_value(value, raw);
    if (!v) return false;
    if (steps_depth(*steps) + 1 + json::depth_of(*v) > kMaxDepth) return false;
  }
  Value& root = engine_->root;
  Found target = walk(root, steps->data(), steps->data() + steps->size());
  if (!target.ok) return false;
  if (!target.present() || target.value->kind() != Kind::Array) {
    if (!assign(root, *steps, Value::array())) return false;
    target = walk(root, steps->data(), steps->data() + steps->size());
  }
  if (!v) return true;
  auto& elements = target.value->elements();
  if (at_front) {
    elements.insert(elements.begin(), std::move(*v));
  } else {
    elements.push_back(std::move(*v));
  }
  return true;
}

bool JsonDocument::set_element(int index, std::string_view path, std::string_view value, bool raw) {
  const Found f = find_at(engine_.get(), root_name_, path);
  if (!f.present()) return false;
  std::optional<Value> v = element_value(value, raw);
  if (!v) return false;
  std::optional<std::vector<Step>> steps = steps_for(engine_.get(), root_name_, path);
  steps->push_back(index_step(index));
  return assign(engine_->root, *steps, std::move(*v));
}

bool JsonDocument::remove_element(int index, std::string_view path) {
  const Found f = find_at(engine_.get(), root_name_, path);
  if (!f.present() || f.value->kind() != Kind::Array) return false;
  auto& elements = f.value->elements();
  const auto size = static_cast<long long>(elements.size());
  long long at = index;
  if (at < 0) at = std::max(0LL, size + at);
  if (at >= size) return false;
  elements.erase(elements.begin() + static_cast<std::ptrdiff_t>(at));
  return true;
}

bool JsonDocument::remove(std::string_view path) {
  std::optional<std::vector<Step>> steps = steps_for(engine_.get(), root_name_, path);
  if (!steps || steps->empty()) return false;  // the root itself stays
  Found parent = walk(engine_->root, steps->data(), steps->data() + steps->size() - 1);
  if (!parent.present()) return false;
  const Step& last = steps->back();
  if (parent.value->kind() == Kind::Object) return parent.value->members().erase(last.name);
  if (parent.value->kind() == Kind::Array && last.is_index &&
      last.index < parent.value->elements().size()) {
    parent.value->elements()[last.index] = Value();
    return true;
  }
  return false;
}

bool JsonDocument::set_number(std::string_view path, double number) {
  std::optional<std::vector<Step>> steps = steps_for(engine_.get(), root_name_, path);
  if (!steps) return false;
  return assign(engine_->root, *steps, Value::number(number));
}

}  // namespace quillax
