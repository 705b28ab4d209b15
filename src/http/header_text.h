// Header text ("Name: value" lines joined by CR LF) and cookie text ("name=value" pairs joined
// by "; "), and the operations both request facilities share. Pure functions; none fails.
#pragma once

#include <string_view>
#include <vector>

#include "text/text.h"

namespace quillax {

// Drops lines without a colon; gives each "-"-separated word of a name an upper-case first
// ASCII letter; keeps every other byte; joins the kept lines with CR LF.
Text normalize_header_block(std::string_view header_text);

// The text with its first byte upper-cased when it is a lower-case ASCII letter.
Text capitalize_first(std::string_view text);

// The trimmed part before / after the first colon of a header line; empty without a colon.
Text header_name_of(std::string_view line);
Text header_value_of(std::string_view line);

// The part before the first occurrence of `separator`; empty when it does not occur.
Text text_before(std::string_view text, std::string_view separator);

// The part between `start_marker` and the next `end_marker` after it; "#引号" in a marker
// stands for a double quote. Empty when either marker is missing.
Text text_between(std::string_view text, std::string_view start_marker,
                  std::string_view end_marker);

// Merges the cookies a response set (`new_cookies`) into those a request sent
// (`old_cookies`): new pairs first, then old pairs the response did not name, "=deleted"
// pairs dropped, exact repeats removed. Both variables are rewritten (old receives the
// result, new its trimmed form); the result is returned too.
Text merge_cookie_text(Text& old_cookies, Text& new_cookies);

// The trimmed part of a cookie pair before its first "=" (the whole pair without one).
Text cookie_name_of(std::string_view pair);

// True when a pair in `pairs` has exactly the cookie name `name`.
bool has_cookie_named(const std::vector<Text>& pairs, std::string_view name);

// The pieces of `text` split at `separator`, exact repeats removed, joined again.
Text join_unique(std::string_view text, std::string_view separator);

// The 1-based position of the first item equal to `item`, or -1.
int index_in_list(const std::vector<Text>& list, std::string_view item);

}  // namespace quillax
