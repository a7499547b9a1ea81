#include "query/clsParsers.h"

namespace zorvik {

void clsParsers::Init(std::string_view Source) {
  source_.assign(Source);
  Remainder = source_;
  Advance();
}

void clsParsers::Advance() {
  NextWord.clear();
  if (state_.StopIsRequested()) return;

  const auto first = Remainder.find_first_not_of(' ');
  Remainder.remove_prefix(first == std::string_view::npos ? Remainder.size() : first);
  if (Remainder.empty()) return;

  const char c = Remainder.front();
  if (c == '(' || c == ')') {
    NextWord.assign(1, c);
    Remainder.remove_prefix(1);
  } else if (c == '"') {
    // A phrase runs to the closing quote, or to the end when there is none.
    Remainder.remove_prefix(1);
    const auto close = Remainder.find('"');
    NextWord.assign(Remainder.substr(0, close));
    Remainder.remove_prefix(close == std::string_view::npos ? Remainder.size() : close + 1);
  } else {
    const auto end = Remainder.find_first_of(" ()");
    NextWord.assign(Remainder.substr(0, end));
    Remainder.remove_prefix(end == std::string_view::npos ? Remainder.size() : end);
  }
}

bool clsParsers::CanRead(std::string_view S) {
  if (NextWord != S) return false;
  Advance();
  return true;
}

void clsParsers::Expect(std::string_view S) {
  if (CanRead(S)) return;
  std::string text = "Expected ";
  text.append(S).append("\r\n").append(" but found ").append(NextWord).append(".");
  host_.MsgBox(text, MsgButtons::Ok, MsgIcon::Critical, "Invalid Search String");
}

}  // namespace zorvik
