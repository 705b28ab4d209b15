#include "app/startup.h"

#include <utility>

#include "platform/codepage.h"

namespace quillax {

namespace {

// Binds `command` to `control`'s event; an empty command leaves the event unhandled.
void bind(MainWindow& window, ProcessState& state, Control control,
          const Handlers::Command& command) {
  if (!command) return;
  window.on_event(control, [&window, &state, command] { command(window, state); });
}

}  // namespace

int run_program(platform::Ui& ui, ProcessState& state, const Handlers& handlers) {
  // The cookie jar is released when the loop has ended, whichever way it ends.
  struct ReleaseCookieJar {
    ProcessState& state;
    ~ReleaseCookieJar() { Text().swap(state.cookie_jar); }
  } release{state};

  platform::set_local_code_page(platform::kGbkCodePage);

  MainWindow window(ui);
  window.create();
  bind(window, state, Control::Button1, handlers.button1);
  bind(window, state, Control::Button2, handlers.button2);
  bind(window, state, Control::Button3, handlers.button3);
  bind(window, state, Control::Button4, handlers.button4);
  bind(window, state, Control::Button5, handlers.button5);
  bind(window, state, Control::Timer1, handlers.timer1);
  window.show();

  // Window created: the announcement runs on its own thread; run() waits for it at the end.
  window.start_thread([&window, &state, body = handlers.announcement] {
    if (body) body(window, state);
  });

  ui.run();
  return 0;
}

}  // namespace quillax
