// The two hosts the program talks to. Built-in defaults come from the build (the CMake cache
// variables QUILLAX_MARKET_HOST and QUILLAX_NOTICE_HOST); the environment variables of the
// same names override them at run time. A host may carry a port ("127.0.0.1:8443").
#pragma once

#include <string_view>

#include "text/text.h"

namespace quillax {

// The marketplace host (reached over HTTPS): QUILLAX_MARKET_HOST when set and not empty, else
// the built-in default. Read on every call; any thread.
Text market_host();

// The announcement host (reached over plain HTTP), likewise from QUILLAX_NOTICE_HOST.
Text notice_host();

// "https://" + market_host() + `path` (which starts with "/" and may carry a query).
Text market_url(std::string_view path);

}  // namespace quillax
