#include "core/RobotForm.h"

#include <utility>

namespace zorvik {

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

std::string& RobotForm::Combo(int n) {
  // Writing to "no list" lands in a scratch string that is emptied first.
  static std::string scratch;
  if (n < 1 || n > 5) {
    scratch.clear();
    return scratch;
  }
  return const_cast<std::string&>(std::as_const(*this).Combo(n));
}

int& ReportReadyMark() {
  static int mark = 0;
  return mark;
}

}  // namespace zorvik
