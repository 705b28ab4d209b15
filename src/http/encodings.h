// Conversions between local text (GBK), UTF-16, UTF-8, JSON "\u" escapes and percent-encoding.
// None of them fails: bad input converts to U+FFFD / "?" as documented, empty gives empty.
#pragma once

#include <string_view>

#include "text/text.h"

namespace quillax {

// A response body taken byte for byte as text, with each \uXXXX escape (either case) turned
// into the character it stands for in the local code page ("?" where GBK has none; a
// surrogate pair is one character). Escapes of U+0000-U+001F, the quote and the backslash stay
// as written, so the result is still the same JSON; an escaped backslash is stepped over as a
// pair; every other byte is returned unchanged.
Text unescape_response_text(std::string_view text);

// UTF-16LE bytes as local text (stops at a zero code unit).
Text unicode_bytes_to_text(const Bytes& utf16le);

// A text whose bytes are UTF-8, as local text.
Text utf8_to_local(std::string_view utf8);

// Local text as UTF-8 bytes (no terminator) or as a text holding UTF-8 bytes.
Bytes local_to_utf8_bytes(std::string_view text);
Text local_to_utf8_text(std::string_view text);

// `bytes` up to their first zero byte, decoded in `code_page`, as UTF-16LE bytes ending with
// one zero code unit; empty when the input is empty or starts with a zero byte.
Bytes multibyte_to_utf16(const Bytes& bytes, int code_page);

// UTF-16LE bytes up to their first zero code unit, encoded in `code_page`, no terminator.
Bytes utf16_to_multibyte(const Bytes& wide, int code_page);

// Percent-encodes the text's bytes (its UTF-8 bytes when `as_utf8`); see percent_encode_bytes.
Text url_encode(std::string_view text, bool keep_unreserved = false, bool as_utf8 = false);

// Each byte as "%XX" (upper-case hex), except: zero bytes are skipped; with
// `keep_unreserved`, A-Z a-z 0-9 - _ . ' ( ) * stay; a space becomes "+".
Text percent_encode_bytes(const Bytes& bytes, bool keep_unreserved);

}  // namespace quillax
