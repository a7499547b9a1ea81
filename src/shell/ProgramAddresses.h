#pragma once
// Where the program's own web pages are, unless the endpoints file
// (engines.ini: "ProductPage = ...", "UpdateCheck = ...") says otherwise.
// The defaults are in the reserved ".example" domain: nothing is sent to
// anybody's server until an address is configured.

namespace zorvik {

inline constexpr const char* kDefaultProductPage = "http://www.zorvik.example/";
inline constexpr const char* kDefaultUpdateCheck = "http://www.zorvik.example/zorvik-version.txt";

}  // namespace zorvik
