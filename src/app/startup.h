// Start-up: sets the process-wide values, builds and shows the main window, starts the
// announcement thread and runs the window until it is closed.
#pragma once

#include <functional>

#include "app/main_window.h"
#include "platform/ui.h"

namespace quillax {

// The handlers start-up binds. An empty function leaves its event unhandled (the announcement
// thread then runs an empty body). Each gets the window and the process-wide state.
struct Handlers {
  using Command = std::function<void(MainWindow&, ProcessState&)>;
  Command button1;       // 按钮1 "登录"
  Command button2;       // 按钮2 "获取产品"
  Command button3;       // 按钮3 "上架"
  Command button4;       // 按钮4 "定时更新"
  Command button5;       // 按钮5 "店铺"
  Command timer1;        // 时钟1 tick
  Command announcement;  // body of the announcement thread (runs on the worker)
};

// Runs the program on `ui` with `state`: sets the local code page to 936, creates and shows the
// window, starts the announcement thread, runs the loop until the window closes, releases the
// cookie jar and returns 0. Window's thread only.
int run_program(platform::Ui& ui, ProcessState& state, const Handlers& handlers);

}  // namespace quillax
