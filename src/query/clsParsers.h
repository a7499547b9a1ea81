#pragma once
// The tokenizer of the search expression language.
//
// Tokens are plain strings: "(" and ")" stand alone; a phrase in double
// quotes is one token holding its inner text; anything else runs up to the
// next blank or bracket. A keyword is just a word whose text is the keyword.

#include <string>
#include <string_view>

#include "core/Host.h"
#include "core/SearchState.h"

namespace zorvik {

class clsParsers {
 public:
  clsParsers(Host& host, const SearchState& state) : host_(host), state_(state) {}
  clsParsers(const clsParsers&) = delete;
  clsParsers& operator=(const clsParsers&) = delete;

  // The current token (the look-ahead); empty at the end of the input.
  std::string NextWord;
  // The unread rest of the expression, just after NextWord.
  std::string_view Remainder;

  void Init(std::string_view Source);
  // Reads the next token into NextWord. Blank means the space character only.
  // While a stop is requested every token is empty, so evaluation winds down.
  void Advance();
  // Consumes NextWord when it equals S exactly.
  bool CanRead(std::string_view S);
  // Like CanRead, but reports a missing token in a message box; parsing goes
  // on from the unchanged token.
  void Expect(std::string_view S);

 private:
  Host& host_;
  const SearchState& state_;
  std::string source_;  // Remainder looks into it
};

}  // namespace zorvik
