// The program's handlers: the marketplace commands bound to the buttons, the timed run to
// 时钟1's tick and the announcement to the worker thread.
#pragma once

#include "app/startup.h"

namespace quillax {

// 按钮1 login, 按钮2 products, 按钮3 release, 按钮4 timed update, 按钮5 shop, 时钟1 timed run,
// and show_announcement as the announcement thread's body.
Handlers program_handlers();

}  // namespace quillax
