// The program: start-up over the Qt window backend.
#include "app/startup.h"
#include "platform/qt/qt_ui.h"

int main(int argc, char** argv) {
  std::unique_ptr<quillax::platform::Ui> ui = quillax::platform::make_qt_ui(argc, argv);
  quillax::ProcessState state;
  // The marketplace commands are bound here as they land.
  return quillax::run_program(*ui, state, quillax::Handlers{});
}
