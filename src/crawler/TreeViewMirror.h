#pragma once
// The robot window's tree view as plain data: entries keyed by address, in
// the order they were added under their parent, each with a text, an image
// and a selected image; the current entry and the entry last made visible.
// The window only draws it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zorvik {

// Tree images: what became of an address.
enum TreeImage : std::int16_t {
  kImageMatch = 1,         // the page matched the expression
  kImageFailed = 2,        // the fetch failed
  kImageAbsolute = 3,      // no match, reached by an absolute link
  kImageRelative = 4,      // no match, reached by a relative link
  kImageResource = 5,      // not a text page
  kImageRoot = 6,
};

struct TreeViewEntry {
  std::string key;
  std::string text;
  int image = 0;
  int selectedImage = 0;
  std::optional<std::size_t> parent;  // index of the parent entry
  std::vector<std::size_t> children;  // in insertion order
  bool expanded = false;
};

class TreeViewMirror {
 public:
  // Index of the entry with this key.
  std::optional<std::size_t> Find(std::string_view key) const;
  // The first entry whose key equals this one when ASCII letter case is
  // ignored.
  std::optional<std::size_t> FindIgnoringCase(std::string_view key) const;
  const TreeViewEntry& Entry(std::size_t index) const { return entries_[index]; }
  std::size_t Count() const { return entries_.size(); }
  const std::vector<std::size_t>& TopLevel() const { return topLevel_; }

  // Adds an entry at the top level or under the entry `parent`. Nothing
  // happens (and nothing is returned) when the key is taken or the parent is
  // missing.
  std::optional<std::size_t> AddTopLevel(std::string key, std::string text, int image, int selectedImage);
  std::optional<std::size_t> AddChild(std::size_t parent, std::string key, std::string text, int image,
                                      int selectedImage);
  void SetImages(std::size_t index, int image, int selectedImage);
  // Expands the entry's ancestors and scrolls to it.
  void MakeVisible(std::size_t index);
  void SetCurrent(std::size_t index);

  // The whole view as text, the way the window shows it: one line per entry,
  // children in the order they were added, two blanks per level; image, key
  // and, when it differs from the key, the text in parentheses.
  std::string Outline() const;

  std::optional<std::size_t> Current() const { return current_; }
  std::optional<std::size_t> LastVisible() const { return lastVisible_; }

  // Told of every entry added or changed, so that a window can redraw it.
  std::function<void(std::size_t index)> onEntryChanged;

 private:
  std::optional<std::size_t> Insert(std::optional<std::size_t> parent, std::string key, std::string text,
                                    int image, int selectedImage);
  void Changed(std::size_t index) {
    if (onEntryChanged) onEntryChanged(index);
  }

  std::vector<TreeViewEntry> entries_;
  std::unordered_map<std::string, std::size_t> byKey_;
  std::unordered_map<std::string, std::size_t> byFoldedKey_;
  std::vector<std::size_t> topLevel_;
  std::optional<std::size_t> current_;
  std::optional<std::size_t> lastVisible_;
};

}  // namespace zorvik
