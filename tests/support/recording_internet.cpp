#include "support/recording_internet.h"

#include <algorithm>
#include <cstdio>

namespace quillax::testing {

std::string hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", value);
  return text;
}

platform::InternetHandle RecordingInternet::open(std::string_view agent, int access_type,
                                                 std::string_view proxy, std::string_view bypass) {
  calls.push_back("Open(" + std::string(agent) + ", " + std::to_string(access_type) + ", " +
                  std::string(proxy) + ", " + std::string(bypass) + ")");
  return open_fails ? platform::kNoHandle : 1;
}

platform::InternetHandle RecordingInternet::connect(platform::InternetHandle session,
                                                    std::string_view host, int port, int service) {
  calls.push_back("Connect(" + std::to_string(session) + ", " + std::string(host) + ", " +
                  std::to_string(port) + ", " + std::to_string(service) + ")");
  return connect_fails ? platform::kNoHandle : 2;
}

platform::InternetHandle RecordingInternet::open_request(platform::InternetHandle connection,
                                                         std::string_view method,
                                                         std::string_view path,
                                                         std::string_view version,
                                                         std::uint32_t flags) {
  calls.push_back("OpenRequest(" + std::to_string(connection) + ", " + std::string(method) + ", " +
                  std::string(path) + ", " + std::string(version) + ", " + hex(flags) + ")");
  return open_request_fails ? platform::kNoHandle : 3;
}

bool RecordingInternet::set_option(platform::InternetHandle request, int option,
                                   std::uint32_t value) {
  calls.push_back("SetOption(" + std::to_string(request) + ", " + std::to_string(option) + ", " +
                  hex(value) + ")");
  return true;
}

bool RecordingInternet::send(platform::InternetHandle request, std::string_view header_text,
                             const Bytes* sent) {
  sent_headers = Text(header_text);
  sent_body = sent == nullptr ? "<none>" : std::string(sent->begin(), sent->end());
  calls.push_back("Send(" + std::to_string(request) + ")");
  read_offset_ = 0;
  return true;
}

std::size_t RecordingInternet::read(platform::InternetHandle request,
                                    std::span<unsigned char> buffer) {
  const std::size_t count = std::min(buffer.size(), body.size() - read_offset_);
  std::copy_n(body.begin() + static_cast<std::ptrdiff_t>(read_offset_), count, buffer.begin());
  read_offset_ += count;
  calls.push_back("Read(" + std::to_string(request) + ", " + std::to_string(buffer.size()) +
                  ") = " + std::to_string(count));
  return count;
}

bool RecordingInternet::query_raw_headers(platform::InternetHandle request, Text& headers) {
  calls.push_back("QueryRawHeaders(" + std::to_string(request) + ")");
  if (headers_fail) return false;
  headers = raw_headers;
  return true;
}

bool RecordingInternet::close(platform::InternetHandle handle) {
  calls.push_back("Close(" + std::to_string(handle) + ")");
  return true;
}

}  // namespace quillax::testing
