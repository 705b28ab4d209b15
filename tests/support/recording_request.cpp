#include "support/recording_request.h"

namespace quillax::testing {

bool RecordingRequest::set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) {
  script_.calls.push_back("SetTimeouts(" + std::to_string(resolve_ms) + ", " +
                          std::to_string(connect_ms) + ", " + std::to_string(send_ms) + ", " +
                          std::to_string(receive_ms) + ")");
  return true;
}

bool RecordingRequest::set_proxy(int setting, std::string_view proxy) {
  script_.calls.push_back("SetProxy(" + std::to_string(setting) + ", " + std::string(proxy) + ")");
  return true;
}

bool RecordingRequest::open(std::string_view method, std::string_view url, bool async) {
  script_.calls.push_back("Open(" + std::string(method) + ", " + std::string(url) + ", " +
                          (async ? "true" : "false") + ")");
  return true;
}

bool RecordingRequest::set_option(int index, std::int64_t value) {
  script_.calls.push_back("Option(" + std::to_string(index) + ", " + std::to_string(value) + ")");
  return true;
}

bool RecordingRequest::set_credentials(std::string_view user, std::string_view password,
                                       int flags) {
  script_.calls.push_back("SetCredentials(" + std::string(user) + ", " + std::string(password) +
                          ", " + std::to_string(flags) + ")");
  return true;
}

bool RecordingRequest::set_request_header(std::string_view name, std::string_view value) {
  script_.calls.push_back("SetRequestHeader(" + std::string(name) + ", " + std::string(value) +
                          ")");
  return true;
}

bool RecordingRequest::send_text(std::string_view body) {
  script_.calls.push_back("SendText(" + std::string(body) + ")");
  sent_ = !script_.send_fails;
  return sent_;
}

bool RecordingRequest::send_bytes(std::span<const unsigned char> body) {
  script_.calls.push_back("SendBytes(" + std::string(body.begin(), body.end()) + ")");
  sent_ = !script_.send_fails;
  return sent_;
}

Bytes RecordingRequest::response_body() { return sent_ ? script_.body : Bytes(); }
Text RecordingRequest::all_response_headers() { return sent_ ? script_.headers : Text(); }
int RecordingRequest::status() { return sent_ ? script_.status : 0; }

platform::RequestFactory recording_requests(RequestScript& script) {
  return [&script]() -> std::unique_ptr<platform::Request> {
    if (script.creation_fails) return nullptr;
    ++script.objects_made;
    return std::make_unique<RecordingRequest>(script);
  };
}

std::vector<std::string> calls_starting(const std::vector<std::string>& calls,
                                        std::string_view prefix) {
  std::vector<std::string> out;
  for (const std::string& call : calls) {
    if (call.starts_with(prefix)) out.push_back(call);
  }
  return out;
}

}  // namespace quillax::testing
