// The program: start-up over the Qt window backend with the marketplace commands bound.
#include "app/program_handlers.h"
#include "app/startup.h"
#include "platform/qt/qt_ui.h"

int main(int argc, char** argv) {
  std::unique_ptr<quillax::platform::Ui> ui = quillax::platform::make_qt_ui(argc, argv);
  quillax::ProcessState state;
  return quillax::run_program(*ui, state, quillax::program_handlers());
}
