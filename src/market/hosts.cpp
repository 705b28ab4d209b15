#include "market/hosts.h"

#include <cstdlib>

namespace quillax {
namespace {

Text setting(const char* variable, const char* built_in) {
  const char* value = std::getenv(variable);
  return (value != nullptr && *value != '\0') ? Text(value) : Text(built_in);
}

}  // namespace

Text market_host() { return setting("QUILLAX_MARKET_HOST", QUILLAX_DEFAULT_MARKET_HOST); }

Text notice_host() { return setting("QUILLAX_NOTICE_HOST", QUILLAX_DEFAULT_NOTICE_HOST); }

Text market_url(std::string_view path) { return "https://" + market_host() + Text(path); }

}  // namespace quillax
