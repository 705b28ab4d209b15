// Helpers the marketplace exchanges and commands share; not part of the layer's interface.
#pragma once

#include <string_view>

#include "http/fetch.h"
#include "json/json_document.h"
#include "text/text.h"

namespace quillax::market_detail {

// Method index of POST in the request facilities.
inline constexpr int kPost = 1;

// The two Content-Type values the marketplace requests carry.
inline constexpr std::string_view kJsonUtf8 = "application/json;charset=UTF-8";
inline constexpr std::string_view kJson = "application/json";

// The header text of a one-entry header list "Content-Type: <content_type>".
Text content_type_header(std::string_view content_type);

// A POST of a local-text body with the cookie jar as request cookies (sent, then merged) and
// the header text; every other parameter at its default. The views must outlive the call.
WinHttpOptions post_options(std::string_view body, Text& cookie_jar, std::string_view headers);

// A GET with the cookie jar as request cookies and the header text, the rest at defaults.
WinInetOptions get_options(Text& cookie_jar, std::string_view headers);

// The JSON text of the value at `path` read back as a document of its own: a number's digits,
// "null" for null, empty for a missing value (the way result codes and ids are read).
Text json_at(const JsonDocument& doc, std::string_view path);

// Sets the string member `name` of `doc` so that to_json writes `value` exactly.
bool set_text_member(JsonDocument& doc, std::string_view name, std::string_view value);

// The release body for an order page already loaded into `source`.
Text release_body_of(const JsonDocument& source);

}  // namespace quillax::market_detail
