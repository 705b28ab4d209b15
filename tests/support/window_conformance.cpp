#include "support/window_conformance.h"

#include <sstream>

namespace quillax::testing {
namespace {

class Checker {
 public:
  template <typename T, typename U>
  void equal(const char* what, const T& got, const U& want) {
    if (got == want) return;
    std::ostringstream line;
    line << what << ": got " << got << ", want " << want;
    failures_.push_back(line.str());
  }
  std::vector<std::string> failures() const { return failures_; }

 private:
  std::vector<std::string> failures_;
};

}  // namespace

std::vector<std::string> check_control_operations(MainWindow& window) {
  Checker check;

  // Combo box: nothing selected until asked, not even after the first entry.
  check.equal("empty combo selection", window.combo_selection(), -1);
  check.equal("empty combo value", window.combo_value(0), -1);
  window.combo_add(gbk("号卡供应甲"), 1001);
  window.combo_add(gbk("号卡供应乙"), -7);
  check.equal("selection after append", window.combo_selection(), -1);
  check.equal("combo count", window.combo_count(), 2);
  check.equal("combo text", window.combo_text(1), gbk("号卡供应乙"));
  check.equal("combo value 0", window.combo_value(0), 1001);
  check.equal("combo value 1", window.combo_value(1), -7);
  check.equal("combo value out of range", window.combo_value(2), -1);
  check.equal("combo value of -1", window.combo_value(-1), -1);
  window.combo_select(1);
  check.equal("selected", window.combo_selection(), 1);
  window.combo_select(2);
  check.equal("select out of range", window.combo_selection(), -1);
  window.combo_select(0);
  check.equal("select first", window.combo_selection(), 0);

  // List view: rows with three cells and an item value.
  check.equal("first row index", window.list_add_row(), 0);
  check.equal("second row index", window.list_add_row(), 1);
  check.equal("new row value", window.list_value(1), 0);
  check.equal("new row cell", window.list_cell(1, 2), Text());
  window.list_set_cell(0, 0, "1");
  window.list_set_cell(0, 1, gbk("移动号卡 39元套餐"));
  window.list_set_cell(0, 2, "null");
  window.list_set_value(0, 2147483647);
  window.list_set_value(1, -2);
  window.list_set_cell(1, 2, gbk("已上架"));
  window.list_set_cell(5, 0, "x");  // no such row
  window.list_set_cell(0, 3, "x");  // no such column
  window.list_set_value(-1, 9);     // no such row
  check.equal("row count", window.list_row_count(), 2);
  check.equal("cell (0,1)", window.list_cell(0, 1), gbk("移动号卡 39元套餐"));
  check.equal("cell (0,2)", window.list_cell(0, 2), Text("null"));
  check.equal("cell (1,2)", window.list_cell(1, 2), gbk("已上架"));
  check.equal("value 0", window.list_value(0), 2147483647);
  check.equal("value 1", window.list_value(1), -2);
  check.equal("cell past the rows", window.list_cell(2, 0), Text());
  check.equal("cell past the columns", window.list_cell(0, 3), Text());
  check.equal("value past the rows", window.list_value(2), 0);
  check.equal("value of row -1", window.list_value(-1), 0);
  window.list_clear();
  check.equal("rows after clear", window.list_row_count(), 0);
  check.equal("cell after clear", window.list_cell(0, 1), Text());
  window.list_add_row();
  window.list_set_cell(0, 1, gbk("联通号卡"));
  window.list_set_value(0, 42);
  check.equal("refilled cell", window.list_cell(0, 1), gbk("联通号卡"));
  check.equal("refilled value", window.list_value(0), 42);

  // Texts and enabled flags.
  window.set_text(Control::Button4, gbk("已开启定时"));
  check.equal("button caption", window.text(Control::Button4), gbk("已开启定时"));
  check.equal("enabled from start", window.enabled(Control::Button4), true);
  window.set_enabled(Control::Button4, false);
  check.equal("disabled", window.enabled(Control::Button4), false);
  window.set_enabled(Control::Button4, true);
  window.set_text(Control::Button4, gbk("定时更新"));
  window.set_text(Control::Edit3, "15");
  check.equal("edit text", window.text(Control::Edit3), Text("15"));
  window.set_text(Control::Edit3, "90");
  return check.failures();
}

}  // namespace quillax::testing
