// The native JSON tree behind JsonDocument, its reader and its writer. Internal to src/json.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillax::json {

// The backslash marker: a text set in text mode holds it for each backslash.
inline constexpr char16_t kMarker = u'\u2400';

enum class Kind : unsigned char { Missing, Null, Boolean, Number, String, Array, Object };

class Object;

// One value. Missing is the value of a path that names nothing; an array hole and a member set
// to nothing are Missing too. Copying copies the whole subtree.
class Value {
 public:
  Value() = default;
  static Value null();
  static Value boolean(bool b);
  static Value number(double n);
  static Value string(std::u16string s);
  static Value array();
  static Value object();

  Value(const Value& other);
  Value& operator=(const Value& other);
  Value(Value&&) noexcept = default;
  Value& operator=(Value&&) noexcept = default;
  ~Value();

  Kind kind() const { return kind_; }
  bool is_missing() const { return kind_ == Kind::Missing; }
  // Neither missing nor null.
  bool present() const { return kind_ != Kind::Missing && kind_ != Kind::Null; }

  bool as_boolean() const { return number_ != 0; }
  double as_number() const { return number_; }
  const std::u16string& as_string() const { return string_; }
  std::vector<Value>& elements() { return *array_; }
  const std::vector<Value>& elements() const { return *array_; }
  Object& members() { return *object_; }
  const Object& members() const { return *object_; }

 private:
  Kind kind_ = Kind::Missing;
  double number_ = 0;
  std::u16string string_;
  std::unique_ptr<std::vector<Value>> array_;
  std::unique_ptr<Object> object_;
};

// Members in the order they were added. Large objects keep a name index.
class Object {
 public:
  Object() = default;
  Object(const Object& other) : members_(other.members_) {}
  Object& operator=(const Object& other);

  std::size_t size() const { return members_.size(); }
  bool empty() const { return members_.empty(); }
  std::pair<std::u16string, Value>& at(std::size_t i) { return members_[i]; }
  const std::pair<std::u16string, Value>& at(std::size_t i) const { return members_[i]; }
  auto begin() const { return members_.begin(); }
  auto end() const { return members_.end(); }

  // The member's value, or nullptr when there is none.
  Value* find(std::u16string_view name);
  const Value* find(std::u16string_view name) const;
  // Sets a member: an existing one keeps its place, a new one goes last.
  void set(std::u16string name, Value value);
  // Appends members whose names are new and distinct (a reader's own).
  void adopt(std::vector<std::pair<std::u16string, Value>>::iterator first,
             std::vector<std::pair<std::u16string, Value>>::iterator last);
  // Removes a member; false when there was none.
  bool erase(std::u16string_view name);

 private:
  std::size_t index_of(std::u16string_view name) const;
  void build_index() const;

  static constexpr std::size_t kIndexFrom = 12;
  std::vector<std::pair<std::u16string, Value>> members_;
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view s) const {
      return std::hash<std::u16string_view>{}(s);
    }
  };
  mutable std::unique_ptr<
      std::unordered_map<std::u16string, std::size_t, NameHash, std::equal_to<>>>
      index_;
};

// Depth of a value: 0 for a scalar, 1 + the deepest child for an array or object.
int depth_of(const Value& v);

// --- reading ------------------------------------------------------------------------------

// Where and why a reading failed.
struct ReadError {
  std::size_t offset = 0;  // code unit where reading stopped
  const char* what = "";
  bool in_content = false;  // in a string's content read again (then `content` holds it)
  std::u16string content;
};

// Reads one JSON text (surrounding JSON whitespace allowed). Strings may hold raw characters
// other than line breaks; escapes are the JSON ones. Nesting beyond `max_depth` fails. An
// empty (or blank) text fails. Numbers read as the nearest double (too large: Infinity).
std::optional<Value> read_json(std::u16string_view text, int max_depth, ReadError* error);

// Expression reading: a blank text gives Missing; a JSON string's content is read once more
// (blank content: Missing). nullopt when the text, or that content, is not JSON.
std::optional<Value> read_expression(std::u16string_view text, int max_depth, ReadError* error);

// The value of `content` taken as the inside of a single-quoted script string: escapes
// \' \" \\ \b \f \n \r \t \v, octal, \xHH, \uHHHH, a backslash before a line break (nothing)
// and before any other character (that character). nullopt when an unescaped quote or line
// break, or a bad or trailing escape, makes it invalid.
std::optional<std::u16string> read_quoted_content(std::u16string_view content);

// A JSON number text (optional leading "-") in full; nullopt when it is not one.
std::optional<double> read_number(std::u16string_view text);

// --- writing ------------------------------------------------------------------------------

// The script Number-to-string form: shortest round-trip digits, plain from 1e-6 up to below
// 1e21, exponent form otherwise; "NaN", "Infinity", "-Infinity"; -0 gives "0".
std::string number_text(double n);

// Appends the compact JSON of `v` (Missing appends nothing); each marker is written as a
// backslash.
void write_json(const Value& v, std::u16string& out);

// The script toString text of a value, markers kept: string itself, number_text, "true" /
// "false", "[object Object]", an array's elements joined by "," (empty for null and missing);
// empty for Missing and null.
void write_plain(const Value& v, std::u16string& out);

// The value as it reads back from its own JSON text in expression mode: object members
// holding nothing dropped, holes and non-finite numbers become null, -0 becomes 0, a string
// is read again. Missing when the value is missing or the second reading gives nothing;
// null when it fails.
Value reread(const Value& v, int max_depth);

// --- local text -----------------------------------------------------------------------------

// Local (GBK) text as UTF-16, and back ("?" for what GBK lacks).
std::u16string to_wide(std::string_view local);
std::string to_local(std::u16string_view wide);

}  // namespace quillax::json

namespace quillax {

// The data a JsonDocument and its copies share.
class JsonEngine {
 public:
  JsonEngine() : root(json::Value::object()) {}
  explicit JsonEngine(json::Value r) : root(std::move(r)) {}
  json::Value root;
};

}  // namespace quillax
