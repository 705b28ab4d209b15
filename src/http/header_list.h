// HeaderList: an ordered list of name/value pairs that renders a request's header text.
#pragma once

#include <string_view>
#include <vector>

#include "text/text.h"

namespace quillax {

// Entries keep insertion order; duplicate names are kept; names compare byte for byte (the
// first match wins). Texts are local text, or UTF-8 bytes for entries added `as_utf8`.
// One object lives inside one exchange on one thread.
class HeaderList {
 public:
  HeaderList() = default;

  // A deep copy with the same entries in the same order.
  HeaderList clone_headers() const;

  // Appends a pair; with `as_utf8` name and value are stored as UTF-8.
  void add_header(std::string_view name, std::string_view value, bool as_utf8 = false);
  // Appends the pairs of a form text "a=1&b=2" (name before the first "=", value after the
  // last "=", both empty for a piece without "=").
  void add_pairs(std::string_view form_text, bool as_utf8 = false);

  // The first value of `name`; empty when there is none.
  Text header_value(std::string_view name) const;
  // Replaces the first value of `name`, or appends the pair.
  void set_header(std::string_view name, std::string_view value);
  // Removes the first entry named `name`, if any.
  void remove_header(std::string_view name);
  void clear_headers();

  // "n=v&n=v"; with `percent_encode` names and values pass through url_encode(keep_unreserved).
  Text to_form_text(bool percent_encode = false) const;
  // "Name: value" lines joined by CR LF, no CR LF at the end; with `percent_encode` the
  // values pass through url_encode(keep_unreserved).
  Text to_header_text(bool percent_encode = false) const;
  // A flat JSON object; names as stored, values with only their double quotes escaped.
  Text to_json_text() const;

  // Replace the caller's list by copies of all names / values in entry order.
  void copy_names(std::vector<Text>& out) const;
  void copy_values(std::vector<Text>& out) const;

  std::size_t size() const { return names_.size(); }

  // Every double quote preceded by a backslash; nothing else changes.
  static Text escape_quotes(std::string_view text);
  // Cuts one `separator` from the end, then one from the start; writes the result back to
  // `text` and returns it. An empty separator changes nothing.
  static Text strip_separator(Text& text, std::string_view separator);

 private:
  std::vector<Text> names_;
  std::vector<Text> values_;
};

}  // namespace quillax
