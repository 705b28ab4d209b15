// A request object that logs every call with its arguments, in order, and answers from a
// script. Tests of winhttp_fetch read the log to see exactly what the facility asked for.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/request.h"

namespace quillax::testing {

// Shared by a test and the fakes it hands out: the scripted answers and the call log.
struct RequestScript {
  bool creation_fails = false;
  bool send_fails = false;
  Bytes body = text_to_bytes("body");
  Text headers = "Content-Type: text/plain\r\n";
  int status = 200;
  // One entry per call, e.g. "SetRequestHeader(Cookie, a=1)", "SendText(x)".
  std::vector<std::string> calls;
  int objects_made = 0;
};

class RecordingRequest final : public platform::Request {
 public:
  explicit RecordingRequest(RequestScript& script) : script_(script) {}

  bool set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) override;
  bool set_proxy(int setting, std::string_view proxy) override;
  bool open(std::string_view method, std::string_view url, bool async) override;
  bool set_option(int index, std::int64_t value) override;
  bool set_credentials(std::string_view user, std::string_view password, int flags) override;
  bool set_request_header(std::string_view name, std::string_view value) override;
  bool send_text(std::string_view body) override;
  bool send_bytes(std::span<const unsigned char> body) override;
  Bytes response_body() override;
  Text all_response_headers() override;
  int status() override;

 private:
  RequestScript& script_;
  bool sent_ = false;
};

// A factory that makes recording objects over `script`, or none when it says creation fails.
platform::RequestFactory recording_requests(RequestScript& script);

// The calls of a log whose text starts with `prefix` (e.g. "SetRequestHeader").
std::vector<std::string> calls_starting(const std::vector<std::string>& calls,
                                        std::string_view prefix);

}  // namespace quillax::testing
