// The program: start-up over the Qt window backend, with the marketplace commands bound to the
// buttons, the timed run to 时钟1 and the announcement to the worker thread.
#include "app/startup.h"
#include "app/timed_update.h"
#include "market/marketplace.h"
#include "platform/qt/qt_ui.h"

int main(int argc, char** argv) {
  std::unique_ptr<quillax::platform::Ui> ui = quillax::platform::make_qt_ui(argc, argv);
  quillax::ProcessState state;
  quillax::Handlers handlers;
  handlers.button1 = quillax::login_command;
  handlers.button2 = quillax::products_command;
  handlers.button3 = quillax::release_command;
  handlers.button4 = quillax::start_timed_update;
  handlers.button5 = quillax::shop_command;
  handlers.timer1 = quillax::timed_run;
  handlers.announcement = [](quillax::MainWindow& window, quillax::ProcessState&) {
    quillax::show_announcement(window);
  };
  return quillax::run_program(*ui, state, handlers);
}
