// WinInet-like calls that log every call with its arguments, in order, and answer from a
// script. Tests of wininet_fetch read the log to see exactly what the facility asked for.
#pragma once

#include <string>
#include <vector>

#include "platform/internet.h"

namespace quillax::testing {

class RecordingInternet final : public platform::Internet {
 public:
  // Scripted answers.
  bool open_fails = false;
  bool connect_fails = false;
  bool open_request_fails = false;
  bool headers_fail = false;
  Bytes body = text_to_bytes("body");
  Text raw_headers = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";
  // One entry per call, e.g. "Open(agent, 1, , )", "Send(3, <header text>, none)".
  std::vector<std::string> calls;
  // The header text and body of the last send.
  Text sent_headers;
  std::string sent_body = "<none>";

  platform::InternetHandle open(std::string_view agent, int access_type, std::string_view proxy,
                                std::string_view bypass) override;
  platform::InternetHandle connect(platform::InternetHandle session, std::string_view host,
                                   int port, int service) override;
  platform::InternetHandle open_request(platform::InternetHandle connection,
                                        std::string_view method, std::string_view path,
                                        std::string_view version, std::uint32_t flags) override;
  bool set_option(platform::InternetHandle request, int option, std::uint32_t value) override;
  bool send(platform::InternetHandle request, std::string_view header_text,
            const Bytes* body) override;
  std::size_t read(platform::InternetHandle request, std::span<unsigned char> buffer) override;
  bool query_raw_headers(platform::InternetHandle request, Text& headers) override;
  bool close(platform::InternetHandle handle) override;

 private:
  std::size_t read_offset_ = 0;
};

// A number as "0x" and lower-case hex digits.
std::string hex(std::uint32_t value);

}  // namespace quillax::testing
