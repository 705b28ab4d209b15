// JsonDocument: one JSON value (the root, named "da") held as a native tree and addressed by
// script-style member paths such as "msg.code", "data['last_page']" or "data.data[3].name".
//
// Texts cross into the document as local (GBK) text and are held as UTF-16 code units; every
// text that leaves converts back ("?" for a character GBK lacks). A string set in text mode
// holds U+2400 (the backslash marker) for each backslash; every text that leaves the document,
// except member_names and leaf_values, turns each marker into a backslash after encoding.
//
// Path forms: a member name, names joined by dots, a bracketed decimal index ("[3]"), a bracketed
// quoted name ("['last_page']"), and sequences of these; the empty path is the root. A path
// whose leading name is "da" is taken as absolute only while the value it names is neither
// missing nor null. A step out of a missing or null value cannot be evaluated; a step into a
// string, number or boolean yields missing.
//
// Failures are never raised: every operation yields its empty result (empty text, 0, false, an
// unchanged document) on a bad path or a bad JSON text. Nesting deeper than kMaxDepth levels is
// refused.
//
// Threads: a document, and every copy sharing its data, is used on one thread at a time.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace quillax {

// Error details that `load` fills on request. All zero/empty after a load that succeeded.
struct ScriptError {
  int number = 0;        // error code (a syntax error is -2146827286, 0x800A03EA)
  Text source;           // what raised it
  Text description;      // what went wrong
  Text help_file;        // always empty
  int help_context = 0;  // always 0
  Text text;             // the line of the input where reading stopped
  int line = 0;          // 1-based line of that place, 0 when there is none
  int column = 0;        // 0-based column (in UTF-16 code units) of that place
};

// The codes `type_of` returns. There is no code 3.
enum class JsonType : int {
  JsonOther = -1,  // anything else, including a path that cannot be evaluated
  JsonNull = 0,    // missing or null
  JsonBoolean = 1,
  JsonNumber = 2,
  JsonObject = 4,
  JsonArray = 5,
  JsonString = 6,
};

// The data a document and its copies share: the root value. Opaque outside src/json.
class JsonEngine;

class JsonDocument {
 public:
  // Deepest nesting of arrays and objects a document holds; deeper texts fail to load and
  // changes that would go deeper are refused.
  static constexpr int kMaxDepth = 512;

  // A constructed document: root name "da", its own data, root an empty object.
  JsonDocument();
  // Releases this document's share of the data (`destroy`).
  ~JsonDocument();

  // Copying shares the data, exactly as `copy`. Moving leaves the source without data.
  JsonDocument(const JsonDocument& other);
  JsonDocument& operator=(const JsonDocument& other);
  JsonDocument(JsonDocument&& other) noexcept;
  JsonDocument& operator=(JsonDocument&& other) noexcept;

  // Releases this document's share of the data now; afterwards every operation yields its
  // empty result and `load` returns false, until `init_engine` runs.
  void destroy();

  // A new document with its own root name and the same data: changes through either are seen
  // by both, until one of them loads (which gives that one new data).
  JsonDocument copy() const;

  // Gives the document new data whose root is an empty object (other copies keep the old).
  void init_engine();

  // Makes `text` the root, on new data. Expression mode (raw false): a JSON text; when it is a
  // JSON string, the string's content is read again as a JSON text and the root is that value.
  // An empty text leaves the root missing; a text that is not JSON leaves it null. Raw mode
  // reads the text once. True when the root is then neither null nor missing. When `error` is
  // given it receives the details of a failed reading (reset on success).
  bool load(std::string_view text, bool raw = false, ScriptError* error = nullptr);

  // Root becomes an empty object. True unless the document has no data.
  bool clear();

  // Compact JSON of the root; empty for a missing root, "null" for a null one.
  Text to_json() const;

  // Text mode (json_mode false): the member at `path` becomes a string equal to `value` with
  // each backslash held as the marker. JSON mode: an existing object at `path` has the JSON
  // `value` ("{}" when empty) merged into it; otherwise the member becomes the value of `value`
  // read as in `load`'s expression mode (empty: the member is there but missing). A new member
  // goes after the existing ones; an array element past the end grows the array with holes.
  // Nothing changes when the parent is missing, null or not an object or array. True when the
  // document changed.
  bool set_value(std::string_view path, std::string_view value, bool json_mode = false);

  // The member at `path` becomes the value of the JSON text `json`, read as in expression mode;
  // nothing changes when it cannot be read. True when the document changed.
  bool assign_json(std::string_view path, std::string_view json);

  // Replaces `path` by the full path ("da", "da.x", "da[0]", or unchanged when it is already
  // absolute). True when the value there is neither missing nor null.
  bool resolve_path(Text& path) const;

  // True when the value at `path` is neither missing nor null.
  bool exists(std::string_view path) const;

  // Kind of the value at `path`: JsonNull for missing or null, JsonOther when the path cannot
  // be evaluated.
  JsonType type_of(std::string_view path) const;

  // as_json false: the script-style text of the value (a string itself, a number in its
  // shortest round-trip form, "true"/"false", "[object Object]", an array's element texts
  // joined with ","); empty for missing, null or a path that cannot be evaluated. as_json true:
  // as `get_json`.
  Text get_text(std::string_view path, bool as_json = false) const;

  // Replaces `names` by the member names of the object at `path`, in the order they were added;
  // none for anything else. Returns their number.
  int member_names(std::vector<Text>& names, std::string_view path) const;

  // Number of elements (holes included) of the array at `path`; 0 for anything else.
  int count(std::string_view path) const;

  // A new document whose root is the value at `path` read back from its JSON text in expression
  // mode: a string value is read again (a string holding 200 gives the number 200, one holding
  // abc gives null); a missing value or a bad path leaves the root missing. Costs a copy of that
  // value only.
  JsonDocument child_document(std::string_view path) const;

  // Adds a value to the array at `path` (after its last element, or before its first with
  // `at_front`), first replacing whatever is there by an empty array when it is not an array.
  // raw: `value` is a JSON text read once. Otherwise `value` is the content of a single-quoted
  // script string whose backslash escapes are read; when it is not valid there (an unescaped
  // quote or line break, a bad escape) nothing changes. True when the document changed.
  bool array_add(std::string_view value, std::string_view path, bool raw = false,
                 bool at_front = false);

  // As child_document, for element `index` of the array at `path` (on an object: the member
  // named by the index's decimal text).
  JsonDocument element_document(int index, std::string_view path) const;

  // as_json true: JSON text of element `index` of the value at `path`; as_json false: the text
  // of that element only when it is a string, empty otherwise.
  Text element_text(int index, std::string_view path, bool as_json = false) const;

  // Sets element `index` of the array at `path` (growing it with holes), or the member of the
  // object there named by the index's decimal text; `value` as in array_add. Nothing changes
  // when the value at `path` is missing, null or a scalar. True when the document changed.
  bool set_element(int index, std::string_view path, std::string_view value, bool raw = false);

  // Removes element `index` of the array at `path`, later elements moving down. A negative
  // index counts from the end (one before the first removes the first); one at or past the end
  // removes nothing. True when an element was removed.
  bool remove_element(int index, std::string_view path);

  // Removes the member at `path` from its object; an array element becomes a hole (serialised
  // null) and the array keeps its length. The root itself is never removed. True when the
  // document changed.
  bool remove(std::string_view path);

  // The member at `path` becomes `number` (a non-finite number serialises as null). True when
  // the document changed.
  bool set_number(std::string_view path, double number);

  // Numeric value at `path`: a number itself, a string holding a decimal number its value, true
  // -1, false 0; 0 for anything else.
  double get_number(std::string_view path) const;

  // Compact JSON of the value at `path`; "null" for null; empty for missing or a path that
  // cannot be evaluated.
  Text get_json(std::string_view path) const;

  // Another share of this document's data; empty when the document has none.
  std::shared_ptr<JsonEngine> get_engine() const;

  // Replaces `values` by the texts of the string, number and boolean members of the value at
  // `path`, in order, descending into nested objects and arrays when `recursive`; null members
  // give nothing. Markers stay U+2400 here. Returns their number. Empty strings give empty
  // pieces, except that a trailing one is dropped.
  int leaf_values(std::vector<Text>& values, std::string_view path, bool recursive = false) const;

  // Name of the root ("da").
  const Text& root_name() const { return root_name_; }

 private:
  JsonDocument(Text root_name, std::shared_ptr<JsonEngine> engine);

  Text root_name_;
  std::shared_ptr<JsonEngine> engine_;
};

}  // namespace quillax
