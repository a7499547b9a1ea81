#include <gtest/gtest.h>

#include <string>

#include "crawler/AddressHelpers.h"

namespace {

using namespace HandyStuff;

TEST(AddressHelpersTest, AddressParts) {
  EXPECT_EQ(ServerPart("http://www.a.com/dir/page.htm"), "http://www.a.com");
  EXPECT_EQ(ServerPart("http://www.a.com"), "http://www.a.com");
  EXPECT_EQ(ServerPart("dir/page.htm"), "dir/page.htm");  // no "//": unchanged
  EXPECT_EQ(ServerPart("//x/y"), "//x");
  EXPECT_EQ(ServerPart(""), "");

  EXPECT_FALSE(HasPathAfterServer("http://a.com/"));
  EXPECT_FALSE(HasPathAfterServer("http://a.com"));
  EXPECT_TRUE(HasPathAfterServer("http://a.com/x"));
  EXPECT_TRUE(HasPathAfterServer("page.htm"));
  EXPECT_FALSE(HasPathAfterServer("page/"));
  EXPECT_TRUE(HasPathAfterServer(""));

  EXPECT_EQ(DirectoryPart("http://a.com/dir/page.htm"), "http://a.com/dir/");
  EXPECT_EQ(DirectoryPart("http://a.com/page.htm"), "http://a.com/");
  EXPECT_EQ(DirectoryPart("http://a.com/dir/"), "http://a.com/dir/");
  EXPECT_EQ(DirectoryPart("http://a.com"), "http://a.com");
  // Without any "/", the walk back ends on the first character.
  EXPECT_EQ(DirectoryPart("page.htm"), "p");
  EXPECT_EQ(DirectoryPart(""), "");

  EXPECT_EQ(FileNamePart("http://a.com/dir/page.htm"), "page.htm");
  EXPECT_EQ(FileNamePart("http://a.com/dir/"), "");
  EXPECT_EQ(FileNamePart("page.htm"), "page.htm");
  EXPECT_EQ(FileNamePart("http://a.com/cgi?x=a\\b"), "cgi?x=a\\b");
}

TEST(AddressHelpersTest, ExtensionIsThreeOrFourLettersAfterADot) {
  EXPECT_EQ(UrlExtension("http://a.com/page.htm"), "htm");
  EXPECT_EQ(UrlExtension("http://a.com/page.html"), "html");
  EXPECT_EQ(UrlExtension("http://a.com/pic.GIF"), "GIF");
  EXPECT_EQ(UrlExtension("http://a.com/page.c"), "");
  EXPECT_EQ(UrlExtension("http://a.com/archive.tar.gz"), "");
  EXPECT_EQ(UrlExtension("http://a.com/page"), "");
  EXPECT_EQ(UrlExtension("http://a.com/dir.htm/"), "");
  // The dot may be the very first character; shorter texts have no place for it.
  EXPECT_EQ(UrlExtension(".jpg"), "jpg");
  EXPECT_EQ(UrlExtension(".jpeg"), "jpeg");
  EXPECT_EQ(UrlExtension("jpg"), "");
  EXPECT_EQ(UrlExtension(""), "");
  // A query string counts like any other text.
  EXPECT_EQ(UrlExtension("http://a.com/x?y.asp"), "asp");
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
