#pragma once
// The robot window's bookmarks: a plain text file in the program directory,
// one address per line, each ended by CR LF, in the order they were added.
// The menu shows one item per line; the bookmark editor shows and replaces
// the whole text.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

class BookmarkFile {
 public:
  static constexpr std::string_view kFileName = "bookmark.txt";
  // The menu shows at most this many bookmarks.
  static constexpr std::size_t kMenuLimit = 1000;

  explicit BookmarkFile(std::filesystem::path path) : path_(std::move(path)) {}
  const std::filesystem::path& Path() const { return path_; }

  struct Lines {
    std::vector<std::string> lines;  // at most kMenuLimit
    bool more = false;               // the file holds further lines
  };
  // The file's lines (CR LF or LF ends; a last line without an end counts).
  // A missing or unreadable file has none.
  Lines Load() const;
  // "Add Bookmark": appends the address as one line (an empty one too).
  bool Append(std::string_view address) const;

  // The bookmark editor: the whole file as its text (empty when missing),
  // and its "Ok", which replaces the file with the text, each line ended by
  // CR LF: exactly one line end after the last line, whether the text ended
  // with one or not, and nothing for an empty text.
  std::string EditorText() const;
  bool SaveEditorText(std::string_view text) const;
  // The bytes SaveEditorText writes for a text.
  static std::string FileBytes(std::string_view editorText);

 private:
  std::filesystem::path path_;
};

}  // namespace zorvik
