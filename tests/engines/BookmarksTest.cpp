#include <gtest/gtest.h>

#include <filesystem>

#include "engines/Bookmarks.h"
#include "support/TestFiles.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::WriteFile;

class BookmarksTest : public ::testing::Test {
 protected:
  testing::TempDir scratch;
  const fs::path dir = scratch.path();
};

TEST_F(BookmarksTest, LinesAddedAndRead) {
  BookmarkFile file(dir / "bookmark.txt");
  EXPECT_TRUE(file.Load().lines.empty()) << "a missing file has no bookmarks";
  EXPECT_EQ(file.EditorText(), "");
  ASSERT_TRUE(file.Append("http://a.test/"));
  ASSERT_TRUE(file.Append(""));
  EXPECT_EQ(ReadFile(file.Path()), "http://a.test/\r\n\r\n");
  WriteFile(file.Path(), "one\r\ntwo\nthree");
  EXPECT_EQ(file.Load().lines, (std::vector<std::string>{"one", "two", "three"}));
  BookmarkFile unreadable(dir);  // a folder
  EXPECT_TRUE(unreadable.Load().lines.empty());
  EXPECT_EQ(unreadable.EditorText(), "");
}

TEST_F(BookmarksTest, TheMenuTakesTheFirstThousandLines) {
  std::string many;
  for (int i = 0; i < 5000; ++i) many += "http://" + std::to_string(i) + ".test/\r\n";
  BookmarkFile file(dir / "bookmark.txt");
  WriteFile(file.Path(), many);
  const BookmarkFile::Lines loaded = file.Load();
  ASSERT_EQ(loaded.lines.size(), BookmarkFile::kMenuLimit);
  EXPECT_EQ(loaded.lines.back(), "http://999.test/");
  EXPECT_TRUE(loaded.more);
  WriteFile(file.Path(), many.substr(0, many.find("http://1000.")));
  EXPECT_FALSE(file.Load().more) << "exactly a thousand lines: nothing left out";
}

TEST_F(BookmarksTest, TheEditorWritesExactlyOneLineEndAfterTheLastLine) {
  const struct {
    const char* text;
    const char* bytes;
  } cases[] = {
      {"a\nb\n", "a\r\nb\r\n"},      // as shown from a file the program wrote
      {"a\nb", "a\r\nb\r\n"},
      {"a\r\nb\r\n", "a\r\nb\r\n"},
      {"a\nb\n\n", "a\r\nb\r\n\r\n"},  // an empty bookmark added on purpose stays
      {"\n", "\r\n"},
      {"", ""},
      {"a\rb", "a\r\nb\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(BookmarkFile::FileBytes(c.text), c.bytes) << c.text;

  BookmarkFile file(dir / "bookmark.txt");
  WriteFile(file.Path(), "http://a.test/\r\nhttp://b.test/\r\n");
  const std::string before = ReadFile(file.Path());
  // What an editor shows of the file, saved without a change.
  ASSERT_TRUE(file.SaveEditorText("http://a.test/\nhttp://b.test/\n"));
  EXPECT_EQ(ReadFile(file.Path()), before);
  EXPECT_EQ(file.Load().lines.size(), 2u);
}

}  // namespace
}  // namespace zorvik
