#include "text/text.h"

#include <algorithm>

namespace quillax {

Text bytes_to_text(const Bytes& bytes) {
  const auto end = std::find(bytes.begin(), bytes.end(), 0);
  return Text(bytes.begin(), end);
}

Bytes text_to_bytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

}  // namespace quillax

namespace quillax::text {
namespace {

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool equal_at(std::string_view text, std::size_t pos, std::string_view what, bool ignore_case) {
  if (what.size() > text.size() - pos) return false;
  if (!ignore_case) return text.compare(pos, what.size(), what) == 0;
  for (std::size_t i = 0; i < what.size(); ++i) {
    if (ascii_lower(text[pos + i]) != ascii_lower(what[i])) return false;
  }
  return true;
}

std::size_t find_impl(std::string_view text, std::string_view what, std::size_t from,
                      bool ignore_case) {
  if (what.empty()) return npos;
  for (std::size_t pos = from; pos < text.size(); pos += char_length(text, pos)) {
    if (equal_at(text, pos, what, ignore_case)) return pos;
  }
  return npos;
}

}  // namespace

std::size_t char_length(std::string_view text, std::size_t pos) {
  if (pos + 1 < text.size() && is_lead_byte(static_cast<unsigned char>(text[pos]))) return 2;
  return 1;
}

std::size_t find(std::string_view text, std::string_view what, std::size_t from) {
  return find_impl(text, what, from, false);
}

std::size_t find_ignore_case(std::string_view text, std::string_view what, std::size_t from) {
  return find_impl(text, what, from, true);
}

std::vector<Text> split(std::string_view text, std::string_view separator) {
  std::vector<Text> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  std::size_t begin = 0;
  for (std::size_t at = find(text, separator); at != npos; at = find(text, separator, begin)) {
    pieces.emplace_back(text.substr(begin, at - begin));
    begin = at + separator.size();
  }
  if (begin < text.size()) pieces.emplace_back(text.substr(begin));
  return pieces;
}

Text join(const std::vector<Text>& pieces, std::string_view separator) {
  Text out;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i != 0) out.append(separator);
    out.append(pieces[i]);
  }
  return out;
}

Text trim(std::string_view text) {
  // Walk forward so that a trail byte A1 is never mistaken for half a full-width space.
  std::size_t begin = npos;
  std::size_t end = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t len = char_length(text, pos);
    const bool space = (len == 1 && text[pos] == ' ') ||
                       (len == 2 && text[pos] == '\xA1' && text[pos + 1] == '\xA1');
    if (!space) {
      if (begin == npos) begin = pos;
      end = pos + len;
    }
    pos += len;
  }
  if (begin == npos) return {};
  return Text(text.substr(begin, end - begin));
}

Text replace_all(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return Text(text);
  Text out;
  out.reserve(text.size());
  std::size_t begin = 0;
  for (std::size_t at = find(text, from); at != npos; at = find(text, from, begin)) {
    out.append(text.substr(begin, at - begin));
    out.append(to);
    begin = at + from.size();
  }
  out.append(text.substr(begin));
  return out;
}

Text replace_texts(std::string_view text, const std::vector<Replacement>& pairs,
                   std::optional<int> count, int start, bool case_sensitive) {
  Text current(text);
  const std::size_t first = start <= 0 ? 0 : static_cast<std::size_t>(start) - 1;
  if (first >= current.size()) return current;
  for (const Replacement& pair : pairs) {
    if (pair.search.empty()) continue;
    // Step from the beginning so that `first` is judged on a character boundary; a start
    // inside a double-byte character begins the scan at the next character.
    std::size_t pos = 0;
    while (pos < first) pos += char_length(current, pos);
    Text out(current.substr(0, pos));
    int replaced = 0;
    while (pos < current.size()) {
      const bool may_replace = !count || replaced < *count;
      if (may_replace && equal_at(current, pos, pair.search, !case_sensitive)) {
        out.append(pair.replacement);
        pos += pair.search.size();
        ++replaced;
        continue;
      }
      const std::size_t len = char_length(current, pos);
      out.append(current, pos, len);
      pos += len;
    }
    current = std::move(out);
  }
  return current;
}

}  // namespace quillax::text
