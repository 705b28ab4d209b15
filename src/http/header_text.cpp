#include "http/header_text.h"

namespace quillax {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kCookieSeparator = "; ";
// "#引号" (GBK) in a marker of text_between stands for a double quote.
constexpr std::string_view kQuoteMarker = "#\xD2\xFD\xBA\xC5";
constexpr std::string_view kDeleted = "=deleted";

// Trims in place and makes a trailing ";" a full "; " separator.
void tidy_cookie_text(Text& cookies) {
  cookies = text::trim(cookies);
  if (cookies.ends_with(';')) cookies.push_back(' ');
}

}  // namespace

Text capitalize_first(std::string_view text) {
  Text out(text);
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 32);
  return out;
}

Text normalize_header_block(std::string_view header_text) {
  std::vector<Text> kept;
  for (Text& line : text::split(header_text, kCrLf)) {
    const std::size_t colon = text::find(line, ":");
    if (colon == text::npos) continue;
    // Each "-"-separated word of the name gets an upper-case first letter; nothing else moves.
    bool word_start = true;
    for (std::size_t pos = 0; pos < colon; pos += text::char_length(line, pos)) {
      if (word_start) line.replace(pos, 1, capitalize_first(line.substr(pos, 1)));
      word_start = line[pos] == '-';
    }
    kept.push_back(std::move(line));
  }
  return text::join(kept, kCrLf);
}

Text header_name_of(std::string_view line) {
  const std::size_t colon = text::find(line, ":");
  if (colon == text::npos) return {};
  return text::trim(line.substr(0, colon));
}

Text header_value_of(std::string_view line) {
  const std::size_t colon = text::find(line, ":");
  if (colon == text::npos) return {};
  return text::trim(line.substr(colon + 1));
}

Text text_before(std::string_view text, std::string_view separator) {
  const std::size_t at = text::find(text, separator);
  if (at == text::npos) return {};
  return Text(text.substr(0, at));
}

Text text_between(std::string_view text, std::string_view start_marker,
                  std::string_view end_marker) {
  const Text start = text::replace_all(start_marker, kQuoteMarker, "\"");
  const Text end = text::replace_all(end_marker, kQuoteMarker, "\"");
  const std::size_t at = text::find(text, start);
  if (at == text::npos) return {};
  const std::size_t from = at + start.size();
  const std::size_t until = text::find(text, end, from);
  if (until == text::npos) return {};
  return Text(text.substr(from, until - from));
}

Text cookie_name_of(std::string_view pair) {
  const std::size_t eq = text::find(pair, "=");
  return text::trim(eq == text::npos ? pair : pair.substr(0, eq));
}

bool has_cookie_named(const std::vector<Text>& pairs, std::string_view name) {
  for (const Text& pair : pairs) {
    if (cookie_name_of(pair) == name) return true;
  }
  return false;
}

Text join_unique(std::string_view text, std::string_view separator) {
  std::vector<Text> taken;
  for (Text& piece : text::split(text, separator)) {
    if (index_in_list(taken, piece) < 0) taken.push_back(std::move(piece));
  }
  return text::join(taken, separator);
}

int index_in_list(const std::vector<Text>& list, std::string_view item) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i] == item) return static_cast<int>(i) + 1;
  }
  return -1;
}

Text merge_cookie_text(Text& old_cookies, Text& new_cookies) {
  tidy_cookie_text(old_cookies);
  tidy_cookie_text(new_cookies);
  std::vector<Text> merged = text::split(new_cookies, kCookieSeparator);
  for (Text& pair : text::split(old_cookies, kCookieSeparator)) {
    if (!has_cookie_named(merged, cookie_name_of(pair))) merged.push_back(std::move(pair));
  }
  std::vector<Text> live;
  for (Text& pair : merged) {
    if (!pair.ends_with(kDeleted)) live.push_back(std::move(pair));
  }
  old_cookies = join_unique(text::join(live, kCookieSeparator), kCookieSeparator);
  return old_cookies;
}

}  // namespace quillax
