#include "http/encodings.h"

#include <algorithm>

#include "platform/codepage.h"

namespace quillax {
namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The code unit of a "\uXXXX" escape starting at `pos`, or -1 when there is none.
long escape_unit_at(std::string_view text, std::size_t pos) {
  if (pos + 6 > text.size() || text[pos] != '\\' || text[pos + 1] != 'u') return -1;
  long unit = 0;
  for (std::size_t i = pos + 2; i < pos + 6; ++i) {
    const int digit = hex_value(text[i]);
    if (digit < 0) return -1;
    unit = unit * 16 + digit;
  }
  return unit;
}

// JSON needs these escaped inside a string; resolving them would change the document.
bool must_stay_escaped(long unit) { return unit < 0x20 || unit == '"' || unit == '\\'; }

bool is_high_surrogate(long unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(long unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

std::u16string to_wide(const Bytes& utf16le) {
  std::u16string wide;
  wide.reserve(utf16le.size() / 2);
  for (std::size_t i = 0; i + 1 < utf16le.size(); i += 2) {
    const auto unit = static_cast<char16_t>(utf16le[i] | (utf16le[i + 1] << 8));
    if (unit == 0) break;
    wide.push_back(unit);
  }
  return wide;
}

}  // namespace

Text unescape_response_text(std::string_view text) {
  Text out;
  out.reserve(text.size());
  // Consecutive escapes are gathered and converted in one go.
  std::u16string pending;
  const auto flush = [&] {
    if (pending.empty()) return;
    out += platform::wide_to_multibyte(pending, platform::local_code_page());
    pending.clear();
  };
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] != '\\') {
      flush();
      const std::size_t len = text::char_length(text, pos);
      out.append(text, pos, len);
      pos += len;
      continue;
    }
    const long unit = escape_unit_at(text, pos);
    if (unit < 0 || must_stay_escaped(unit)) {
      // Any other escape, an escaped backslash included, is kept whole for the JSON reader.
      flush();
      const std::size_t len = pos + 1 < text.size() ? 2 : 1;
      out.append(text, pos, len);
      pos += len;
      continue;
    }
    pending.push_back(static_cast<char16_t>(unit));
    pos += 6;
    if (is_high_surrogate(unit)) {
      const long low = escape_unit_at(text, pos);
      if (is_low_surrogate(low)) {
        pending.push_back(static_cast<char16_t>(low));
        pos += 6;
      }
    }
  }
  flush();
  return out;
}

Text unicode_bytes_to_text(const Bytes& utf16le) {
  return bytes_to_text(utf16_to_multibyte(utf16le, platform::local_code_page()));
}

Text utf8_to_local(std::string_view utf8) {
  return bytes_to_text(
      utf16_to_multibyte(multibyte_to_utf16(text_to_bytes(utf8), platform::kUtf8CodePage),
                         platform::local_code_page()));
}

Bytes local_to_utf8_bytes(std::string_view text) {
  return utf16_to_multibyte(multibyte_to_utf16(text_to_bytes(text), platform::local_code_page()),
                            platform::kUtf8CodePage);
}

Text local_to_utf8_text(std::string_view text) { return bytes_to_text(local_to_utf8_bytes(text)); }

Bytes multibyte_to_utf16(const Bytes& bytes, int code_page) {
  const auto end = std::find(bytes.begin(), bytes.end(), 0);
  if (end == bytes.begin()) return {};
  const std::string_view input(reinterpret_cast<const char*>(bytes.data()),
                               static_cast<std::size_t>(end - bytes.begin()));
  const std::u16string wide = platform::multibyte_to_wide(input, code_page);
  Bytes out;
  out.reserve(wide.size() * 2 + 2);
  for (char16_t unit : wide) {
    out.push_back(static_cast<unsigned char>(unit & 0xFF));
    out.push_back(static_cast<unsigned char>(unit >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

Bytes utf16_to_multibyte(const Bytes& wide, int code_page) {
  const std::u16string units = to_wide(wide);
  if (units.empty()) return {};
  const std::string bytes = platform::wide_to_multibyte(units, code_page);
  return text_to_bytes(bytes);
}

Text url_encode(std::string_view text, bool keep_unreserved, bool as_utf8) {
  return percent_encode_bytes(as_utf8 ? local_to_utf8_bytes(text) : text_to_bytes(text),
                              keep_unreserved);
}

Text percent_encode_bytes(const Bytes& bytes, bool keep_unreserved) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  static constexpr std::string_view kKeptMarks = "-_.'()*";
  Text out;
  out.reserve(bytes.size() * 3);
  for (unsigned char c : bytes) {
    if (c == 0) continue;
    const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (keep_unreserved && (alnum || kKeptMarks.find(static_cast<char>(c)) != kKeptMarks.npos)) {
      out.push_back(static_cast<char>(c));
    } else if (c == ' ') {
      out.push_back('+');
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    }
  }
  return out;
}

}  // namespace quillax
