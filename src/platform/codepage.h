// Conversion between multibyte code pages and UTF-16, the seam that stands in for
// MultiByteToWideChar / WideCharToMultiByte.
#pragma once

#include <string>
#include <string_view>

namespace quillax::platform {

inline constexpr int kGbkCodePage = 936;
inline constexpr int kUtf8CodePage = 65001;

// The local code page: 936 unless start-up sets it otherwise. Set once, before any other
// thread starts; read by every conversion between local text and UTF-16 or UTF-8.
int local_code_page();
void set_local_code_page(int code_page);

// Decodes `bytes` in `code_page` (936 or 65001) into UTF-16 code units. A malformed or
// incomplete sequence becomes U+FFFD. Zero bytes are converted like any other. Never fails;
// an unknown code page gives U+FFFD for every byte above 0x7F.
std::u16string multibyte_to_wide(std::string_view bytes, int code_page);

// Encodes UTF-16 code units in `code_page`. A character the code page cannot hold, a lone
// surrogate included, becomes "?". Never fails.
std::string wide_to_multibyte(std::u16string_view wide, int code_page);

}  // namespace quillax::platform
