// Checks that a Ui backend behind a created MainWindow behaves as the commands expect of the
// combo box, the list view, texts and enabled flags. Run against the in-memory form and the Qt
// backend alike, so the two cannot drift apart. Returns one line per failed check.
#pragma once

#include <string>
#include <vector>

#include "app/main_window.h"

namespace quillax::testing {

// Leaves 组合框1 and 超级列表框1 filled; expects both empty on entry.
std::vector<std::string> check_control_operations(MainWindow& window);

}  // namespace quillax::testing
