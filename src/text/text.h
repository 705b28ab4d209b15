// Byte-string primitives over local (GBK) text, shared by every layer.
//
// A GBK character is either one byte below 0x81 or a lead byte 0x81-0xFE followed by one
// trail byte. Trail bytes overlap ASCII (0x5C '\\', 0x7C '|', 0x40 '@' ...), so every scan
// here steps over double-byte characters as whole units: a match never starts on a trail
// byte. A lead byte at the very end of a text stands alone.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillax {

// A text in the local code page (GBK bytes). The empty text and an absent text behave alike.
using Text = std::string;

// A byte array that carries its own size; may hold zero bytes.
using Bytes = std::vector<unsigned char>;

// The bytes taken as a text, up to (not including) the first zero byte.
Text bytes_to_text(const Bytes& bytes);

// The bytes of a text.
Bytes text_to_bytes(std::string_view text);

namespace text {

inline constexpr std::size_t npos = std::string_view::npos;

// True for a byte that starts a double-byte GBK character.
constexpr bool is_lead_byte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Length in bytes of the character starting at `pos` (1 or 2; 1 at the end of the text).
std::size_t char_length(std::string_view text, std::size_t pos);

// Position of the first occurrence of `what` at or after `from`, or npos. `from` must be on a
// character boundary. An empty `what` is never found. Case-sensitive.
std::size_t find(std::string_view text, std::string_view what, std::size_t from = 0);

// As find, but ASCII letters compare without regard to case.
std::size_t find_ignore_case(std::string_view text, std::string_view what, std::size_t from = 0);

// Pieces between occurrences of `separator`, in order. Leading and inner empty pieces remain;
// a text ending with the separator gives no trailing empty piece; an empty text gives none.
// An empty separator gives the whole text as one piece.
std::vector<Text> split(std::string_view text, std::string_view separator);

// Joins pieces with a separator.
Text join(const std::vector<Text>& pieces, std::string_view separator);

// Removes ASCII spaces and full-width spaces (GBK A1 A1) at both ends; nothing else.
Text trim(std::string_view text);

// Replaces every occurrence of `from` (non-empty) by `to`, case-sensitively, left to right.
Text replace_all(std::string_view text, std::string_view from, std::string_view to);

// One search/replacement pair of replace_texts.
struct Replacement {
  std::string_view search;
  std::string_view replacement;
};

// Applies the pairs one after the other, each to the result of the previous one. From the
// 1-based byte position `start` on (0 or less means 1; beyond the end changes nothing),
// occurrences of a pair's search text are replaced left to right, at most `count` of them
// per pair when a count is given, all of them otherwise. ASCII letters compare without regard
// to case unless `case_sensitive`. A pair with an empty search text changes nothing.
Text replace_texts(std::string_view text, const std::vector<Replacement>& pairs,
                   std::optional<int> count = std::nullopt, int start = 1,
                   bool case_sensitive = false);

}  // namespace text
}  // namespace quillax
