#include "app/program_handlers.h"

#include "app/timed_update.h"
#include "market/marketplace.h"

namespace quillax {

Handlers program_handlers() {
  Handlers handlers;
  handlers.button1 = login_command;
  handlers.button2 = products_command;
  handlers.button3 = release_command;
  handlers.button4 = start_timed_update;
  handlers.button5 = shop_command;
  handlers.timer1 = timed_run;
  // The announcement touches no control and not the cookie jar.
  handlers.announcement = [](MainWindow& window, ProcessState&) { show_announcement(window); };
  return handlers;
}

}  // namespace quillax
