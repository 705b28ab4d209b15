// The code-page seam over glibc's iconv. CP936 is what the local code page means.
#include <atomic>
#include <cstring>
#include <errno.h>
#include <memory>

#include <iconv.h>

#include "platform/codepage.h"

namespace quillax::platform {
namespace {

std::atomic<int> g_local_code_page{kGbkCodePage};

const char* iconv_name(int code_page) {
  switch (code_page) {
    case kGbkCodePage:
      return "CP936";
    case kUtf8CodePage:
      return "UTF-8";
    default:
      return nullptr;
  }
}

// One converter per direction and code page, per thread: iconv_open is costly and a
// descriptor must not be shared between threads.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    return cd_;
  }

 private:
  iconv_t cd_;
};

Converter* converter(int code_page, bool to_wide) {
  const char* name = iconv_name(code_page);
  if (name == nullptr) return nullptr;
  thread_local std::unique_ptr<Converter> cache[2][2];
  auto& slot = cache[code_page == kUtf8CodePage ? 1 : 0][to_wide ? 1 : 0];
  if (!slot) {
    slot = to_wide ? std::make_unique<Converter>("UTF-16LE", name)
                   : std::make_unique<Converter>(name, "UTF-16LE");
  }
  return slot->ok() ? slot.get() : nullptr;
}

bool is_utf8_continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

int local_code_page() { return g_local_code_page.load(std::memory_order_relaxed); }

void set_local_code_page(int code_page) {
  g_local_code_page.store(code_page, std::memory_order_relaxed);
}

std::u16string multibyte_to_wide(std::string_view bytes, int code_page) {
  std::u16string out;
  if (bytes.empty()) return out;
  Converter* conv = converter(code_page, true);
  if (conv == nullptr) {
    for (unsigned char c : bytes) out.push_back(c < 0x80 ? char16_t{c} : u'\uFFFD');
    return out;
  }
  iconv_t cd = conv->get();
  std::string buffer(bytes.size() * 2 + 8, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t in_left = bytes.size();
  while (in_left > 0) {
    char* outp = buffer.data();
    std::size_t out_left = buffer.size();
    const std::size_t rc = iconv(cd, &in, &in_left, &outp, &out_left);
    const int err = errno;
    const std::size_t produced = buffer.size() - out_left;
    const std::size_t units = produced / 2;
    const std::size_t start = out.size();
    out.resize(start + units);
    for (std::size_t i = 0; i < units; ++i) {
      out[start + i] = static_cast<char16_t>(static_cast<unsigned char>(buffer[2 * i]) |
                                             (static_cast<unsigned char>(buffer[2 * i + 1]) << 8));
    }
    if (rc != static_cast<std::size_t>(-1)) break;
    if (err == E2BIG) continue;
    // EILSEQ or EINVAL: one replacement character for the bad sequence.
    out.push_back(u'\uFFFD');
    const unsigned char lead = static_cast<unsigned char>(*in);
    ++in;
    --in_left;
    if (code_page == kUtf8CodePage && lead >= 0xC0) {
      for (int k = 0; k < 3 && in_left > 0 && is_utf8_continuation(static_cast<unsigned char>(*in));
           ++k) {
        ++in;
        --in_left;
      }
    }
    cd = conv->get();
  }
  return out;
}

std::string wide_to_multibyte(std::u16string_view wide, int code_page) {
  std::string out;
  if (wide.empty()) return out;
  Converter* conv = converter(code_page, false);
  std::string input(wide.size() * 2, '\0');
  for (std::size_t i = 0; i < wide.size(); ++i) {
    input[2 * i] = static_cast<char>(wide[i] & 0xFF);
    input[2 * i + 1] = static_cast<char>(wide[i] >> 8);
  }
  if (conv == nullptr) {
    for (char16_t c : wide) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
  }
  iconv_t cd = conv->get();
  std::string buffer(wide.size() * 4 + 8, '\0');
  char* in = input.data();
  std::size_t in_left = input.size();
  while (in_left > 0) {
    char* outp = buffer.data();
    std::size_t out_left = buffer.size();
    const std::size_t rc = iconv(cd, &in, &in_left, &outp, &out_left);
    const int err = errno;
    out.append(buffer.data(), buffer.size() - out_left);
    if (rc != static_cast<std::size_t>(-1)) break;
    if (err == E2BIG) continue;
    // A character without a form here, a lone surrogate, or a pair cut at the end.
    out.push_back('?');
    std::size_t skip = 2;
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>(in[0]) |
                                            (static_cast<unsigned char>(in[1]) << 8));
    if (unit >= 0xD800 && unit <= 0xDBFF && in_left >= 4) {
      const auto next = static_cast<char16_t>(static_cast<unsigned char>(in[2]) |
                                              (static_cast<unsigned char>(in[3]) << 8));
      if (next >= 0xDC00 && next <= 0xDFFF) skip = 4;
    }
    in += std::min(skip, in_left);
    in_left -= std::min(skip, in_left);
    cd = conv->get();
  }
  return out;
}

}  // namespace quillax::platform
