#include "http/header_list.h"

#include "http/encodings.h"

namespace quillax {
namespace {

std::size_t index_of(const std::vector<Text>& names, std::string_view name) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return i;
  }
  return names.size();
}

}  // namespace

HeaderList HeaderList::clone_headers() const { return *this; }

void HeaderList::add_header(std::string_view name, std::string_view value, bool as_utf8) {
  if (as_utf8) {
    names_.push_back(local_to_utf8_text(name));
    values_.push_back(local_to_utf8_text(value));
  } else {
    names_.emplace_back(name);
    values_.emplace_back(value);
  }
}

void HeaderList::add_pairs(std::string_view form_text, bool as_utf8) {
  for (const Text& piece : text::split(form_text, "&")) {
    Text name;
    Text value;
    const std::size_t first = text::find(piece, "=");
    if (first != text::npos) {
      name = piece.substr(0, first);
      std::size_t last = first;
      for (std::size_t at = first; at != text::npos; at = text::find(piece, "=", at + 1)) last = at;
      value = piece.substr(last + 1);
    }
    add_header(name, value, as_utf8);
  }
}

Text HeaderList::header_value(std::string_view name) const {
  const std::size_t i = index_of(names_, name);
  return i < names_.size() ? values_[i] : Text();
}

void HeaderList::set_header(std::string_view name, std::string_view value) {
  const std::size_t i = index_of(names_, name);
  if (i < names_.size()) {
    values_[i] = Text(value);
  } else {
    add_header(name, value);
  }
}

void HeaderList::remove_header(std::string_view name) {
  const std::size_t i = index_of(names_, name);
  if (i == names_.size()) return;
  names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(i));
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(i));
}

void HeaderList::clear_headers() {
  names_.clear();
  values_.clear();
}

Text HeaderList::to_form_text(bool percent_encode) const {
  std::vector<Text> pairs;
  pairs.reserve(names_.size());
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (percent_encode) {
      pairs.push_back(url_encode(names_[i], true) + "=" + url_encode(values_[i], true));
    } else {
      pairs.push_back(names_[i] + "=" + values_[i]);
    }
  }
  return text::join(pairs, "&");
}

Text HeaderList::to_header_text(bool percent_encode) const {
  std::vector<Text> lines;
  lines.reserve(names_.size());
  for (std::size_t i = 0; i < names_.size(); ++i) {
    lines.push_back(names_[i] + ": " +
                    (percent_encode ? url_encode(values_[i], true) : values_[i]));
  }
  return text::join(lines, "\r\n");
}

Text HeaderList::to_json_text() const {
  Text members;
  for (std::size_t i = 0; i < names_.size(); ++i) {
    members += "\"" + names_[i] + "\":\"" + escape_quotes(values_[i]) + "\",";
  }
  Text json = "{" + members;
  strip_separator(json, ",");
  return json + "}";
}

void HeaderList::copy_names(std::vector<Text>& out) const { out = names_; }

void HeaderList::copy_values(std::vector<Text>& out) const { out = values_; }

Text HeaderList::escape_quotes(std::string_view text) {
  return text::replace_texts(text, {{"\"", "\\\""}});
}

Text HeaderList::strip_separator(Text& text, std::string_view separator) {
  if (separator.empty()) return text;
  if (text.ends_with(separator)) text.erase(text.size() - separator.size());
  if (text.starts_with(separator)) text.erase(0, separator.size());
  return text;
}

}  // namespace quillax
