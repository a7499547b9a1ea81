#include <gtest/gtest.h>

#include <string>

#include "crawler/AddressHelpers.h"

namespace {

using namespace HandyStuff;

TEST(AddressHelpersTest, AddressParts) {
  struct Case {
    const char *address, *server;
    bool hasPath;
    const char *directory, *file, *extension;
  };
  const Case cases[] = {
      {"http://www.a.com/dir/page.htm", "http://www.a.com", true, "http://www.a.com/dir/", "page.htm", "htm"},
      {"http://a.com/dir/", "http://a.com", false, "http://a.com/dir/", "", ""},
      {"http://a.com/dir.htm/", "http://a.com", false, "http://a.com/dir.htm/", "", ""},
      {"http://a.com", "http://a.com", false, "http://a.com", "a.com", "com"},
      {"//x/y", "//x", true, "//x/", "y", ""},
      {"page/", "page/", false, "page/", "", ""},
      {"page.htm", "page.htm", true, "p", "page.htm", "htm"},  // no "/": the walk back ends on the first character
      {"", "", true, "", "", ""},
      {"http://a.com/cgi?x=a\\b.asp", "http://a.com", true, "http://a.com/", "cgi?x=a\\b.asp", "asp"},
      {"http://a.com/pic.GIF", "http://a.com", true, "http://a.com/", "pic.GIF", "GIF"},
      {"http://a.com/page.c", "http://a.com", true, "http://a.com/", "page.c", ""},
      {"http://a.com/archive.tar.gz", "http://a.com", true, "http://a.com/", "archive.tar.gz", ""},
      {".jpg", ".jpg", true, ".", ".jpg", "jpg"},
      {".jpeg", ".jpeg", true, ".", ".jpeg", "jpeg"},
      {"jpg", "jpg", true, "j", "jpg", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(ServerPart(c.address), c.server);
    EXPECT_EQ(HasPathAfterServer(c.address), c.hasPath);
    EXPECT_EQ(DirectoryPart(c.address), c.directory);
    EXPECT_EQ(FileNamePart(c.address), c.file);
    EXPECT_EQ(UrlExtension(c.address), c.extension);
  }
}

TEST(AddressHelpersTest, CheckAddressCompletesOrRefuses) {
  struct Case {
    std::string typed;
    bool accepted;
    std::string after;
  };
  const Case cases[] = {
      {"www.zorvik.com", true, "http://www.zorvik.com/"},
      {"http://www.zorvik.com", true, "http://www.zorvik.com/"},
      {"http://www.zorvik.com/", true, "http://www.zorvik.com/"},
      {"http://www.zorvik.com/dir/page.htm", true, "http://www.zorvik.com/dir/page.htm"},
      {"zorvik.com/dir", true, "http://zorvik.com/dir"},
      {"9lives.com", true, "http://9lives.com/"},
      {"ftp://a", true, "ftp://a/"},
      {" www.zorvik.com", false, " www.zorvik.com"},
      {"/dir/page.htm", false, "/dir/page.htm"},
      {"\xC3\xA9t\xC3\xA9.fr", false, "\xC3\xA9t\xC3\xA9.fr"},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    std::string address = c.typed;
    EXPECT_EQ(CheckAddress(address), c.accepted) << c.typed;
    EXPECT_EQ(address, c.after) << c.typed;
  }
}

}  // namespace
