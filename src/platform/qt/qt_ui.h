// The Qt 6 Widgets backend of the window seam. This header names no Qt type.
#pragma once

#include <memory>

#include "platform/ui.h"

namespace quillax::platform {

// Makes the Qt backend. Creates the QApplication from `argc`/`argv` (which must outlive the
// backend) unless one exists already, in which case it is used and not owned. Window's thread.
std::unique_ptr<Ui> make_qt_ui(int& argc, char** argv);

}  // namespace quillax::platform
