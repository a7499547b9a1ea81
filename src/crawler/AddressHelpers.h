#pragma once
// The robot's page routines that split an address into the parts the crawl
// needs, and the check of a typed start address. Plain string rules: they
// search for "//" and "/" and cut; there is no address parser and no
// percent-decoding. Positions in the comments are 1-based.

#include <string>
#include <string_view>

namespace HandyStuff {

// Scheme and server of an address with a path, without a closing "/": the
// text before the first "/" after the "//". Any other text comes back as it
// is (a server-only address, a bare word).
std::string ServerPart(std::string_view address);

// False for an address ending in "/". Otherwise, with a "//", whether a "/"
// follows it; without one, true.
bool HasPathAfterServer(std::string_view address);

// The address up to and including its last "/" (its directory), or the
// address unchanged when it has no path after the server. A text with no "/"
// at all gives its first character: the walk back stops there.
std::string DirectoryPart(std::string_view address);

// The text after the last "/" (the whole address when it has none); empty for
// an address ending in "/".
std::string FileNamePart(std::string_view address);

// The last 3 characters when the fourth-last is ".", else the last 4 when the
// fifth-last is ".", else empty (also for an address ending in "/").
std::string UrlExtension(std::string_view address);

long SmallerOf(long a, long b);
long LargerOf(long a, long b);

// Checks and completes a typed start address. Refused (false, address left
// alone) when its first character is not an ASCII letter or digit. Otherwise
// "http://" goes in front when it has no "//", and a server-only address gets
// its closing "/".
bool CheckAddress(std::string& address);

}  // namespace HandyStuff

namespace zorvik {

// The address a transfer shows once connected: without an explicit port 80.
// Only a whole ":80" port goes ("host:80/x" becomes "host/x"); "host:8080"
// keeps its port.
std::string WithoutPort80(std::string_view address);

}  // namespace zorvik
