#include "core/RobotForm.h"

namespace zorvik {

namespace {
std::string& NoList() {
  static std::string none;
  none.clear();
  return none;
}
}  // namespace

std::string& RobotForm::Combo(int n) {
  switch (n) {
    case 1: return Combo1;
    case 2: return Combo2;
    case 3: return Combo3;
    case 4: return Combo4;
    case 5: return Combo5;
    default: return NoList();
  }
}

const std::string& RobotForm::Combo(int n) const {
  static const std::string none;
  switch (n) {
    case 1: return Combo1;
    case 2: return Combo2;
    case 3: return Combo3;
    case 4: return Combo4;
    case 5: return Combo5;
    default: return none;
  }
}

int& ReportReadyMark() {
  static int mark = 0;
  return mark;
}

}  // namespace zorvik
