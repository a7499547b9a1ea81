#include <gtest/gtest.h>


#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "harvest/PictureScan.h"
#include "harvest/SavedFiles.h"
#include "support/TestFiles.h"

namespace zorvik::harvest {
namespace {

namespace fs = std::filesystem;

TEST(SavedFilesTest, NamesFromTheWebBecomeOneSafeName) {
  EXPECT_EQ(SafeFileName("page.htm"), "page.htm");
  EXPECT_EQ(SafeFileName("search.asp?q=a%20b&x=1"), "search.asp?q=a%20b&x=1");
  EXPECT_EQ(SafeFileName(""), "index.htm");
  EXPECT_EQ(SafeFileName(".."), "__");
  EXPECT_EQ(SafeFileName("."), "_");
  EXPECT_EQ(SafeFileName("..\\..\\etc\\passwd"), ".._.._etc_passwd");
  EXPECT_EQ(SafeFileName("/etc/passwd"), "_etc_passwd");
  EXPECT_EQ(SafeFileName(std::string("a\0b\r\n\x7f", 6)), "a_b___");
  EXPECT_EQ(SafeFileName(".hidden"), ".hidden");
  // Long names are cut at 200 bytes, never inside a character.
  EXPECT_EQ(SafeFileName(std::string(300, 'x')).size(), kMaxSavedNameBytes);
  std::string accents;
  for (int i = 0; i < 150; ++i) accents += "\xC3\xA9";  // 300 bytes of two-byte characters
  const std::string cut = SafeFileName("x" + accents);
  EXPECT_EQ(cut.size(), 199u);
  EXPECT_EQ(static_cast<unsigned char>(cut.back()), 0xA9);
}

TEST(SavedFilesTest, SavingReplacesTheFileInsideTheFolder) {
  // The folder lies one below the test's own, so an escape stays inside it.
  const zorvik::testing::TempDir scratch;
  const fs::path top = scratch.path();
  const fs::path dir = top / "in";
  fs::create_directories(dir);
  EXPECT_EQ(SaveIntoFolder(dir, "../escape.htm", "one"), dir / ".._escape.htm");
  EXPECT_EQ(SaveIntoFolder(dir, "../escape.htm", "two"), dir / ".._escape.htm");
  EXPECT_EQ(zorvik::testing::ReadFile(dir / ".._escape.htm"), "two");
  EXPECT_FALSE(fs::exists(top / "escape.htm"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  EXPECT_TRUE(SaveIntoFolder(dir / "no-such-folder", "x.htm", "x").empty());
}

TEST(SavedFilesTest, PictureScanTakesEachKindInTurn) {
  using A = std::vector<std::string>;
  const std::string base = "http://h/dir/";
  EXPECT_EQ(PictureAddresses(R"(<img src="pics/a.jpg">)", base), (A{"http://h/dir/pics/a.jpg"}));
  EXPECT_EQ(PictureAddresses(R"(<body background=b.gif>)", base), (A{"http://h/dir/b.gif"}));
  EXPECT_EQ(PictureAddresses(R"(<img src="http://o/x.GIF">)", base), (A{"http://o/x.GIF"}));
  // Every jpg first, then JPG, then gif from after the last picture taken:
  // the gif before it is never taken.
  EXPECT_EQ(PictureAddresses(R"(<img src="1.gif"><img src="2.jpg"><img src="3.JPG"><img src="4.gif">)", base),
            (A{"http://h/dir/2.jpg", "http://h/dir/3.JPG", "http://h/dir/4.gif"}));
  EXPECT_TRUE(PictureAddresses("no pictures here", base).empty());
  // No quote or "=" before the extension: the scan of the page ends.
  EXPECT_TRUE(PictureAddresses("x.jpg and \"y.jpg", base).empty());
  // A quote right before the extension gives an address of just "jpg".
  EXPECT_EQ(PictureAddresses(R"("jpg)", base), (A{"http://h/dir/jpg"}));
  int steps = 0;
  PictureAddresses(R"(<img src="a.jpg"><img src="b.jpg">)", base, [&] { ++steps; });
  EXPECT_EQ(steps, 5);  // before and after each picture, and the last look
}

}  // namespace
}  // namespace zorvik::harvest
