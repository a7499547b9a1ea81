#include "crawler/TreeViewMirror.h"

#include <utility>

#include "core/Text.h"

namespace zorvik {

std::optional<std::size_t> TreeViewMirror::Find(std::string_view key) const {
  const auto it = byKey_.find(std::string(key));
  if (it == byKey_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::size_t> TreeViewMirror::FindIgnoringCase(std::string_view key) const {
  const auto it = byFoldedKey_.find(text::LCase(key));
  if (it == byFoldedKey_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::size_t> TreeViewMirror::AddChild(std::size_t parent, std::string key, std::string text, int image,
                                                    int selectedImage) {
  if (parent >= entries_.size()) return std::nullopt;
  return Insert(parent, std::move(key), std::move(text), image, selectedImage);
}

std::optional<std::size_t> TreeViewMirror::Insert(std::optional<std::size_t> parent, std::string key,
                                                  std::string text, int image, int selectedImage) {
  if (byKey_.count(key) != 0) return std::nullopt;
  const std::size_t index = entries_.size();
  byKey_.emplace(key, index);
  byFoldedKey_.emplace(text::LCase(key), index);
  TreeViewEntry entry;
  entry.key = std::move(key);
  entry.text = std::move(text);
  entry.image = image;
  entry.selectedImage = selectedImage;
  entry.parent = parent;
  entries_.push_back(std::move(entry));
  if (parent) {
    entries_[*parent].children.push_back(index);
  } else {
    topLevel_.push_back(index);
  }
  Changed(index);
  return index;
}

std::optional<std::size_t> TreeViewMirror::AddTopLevel(std::string key, std::string text, int image,
                                                        int selectedImage) {
  return Insert(std::nullopt, std::move(key), std::move(text), image, selectedImage);
}

void TreeViewMirror::SetImages(std::size_t index, int image, int selectedImage) {
  if (index >= entries_.size()) return;
  entries_[index].image = image;
  entries_[index].selectedImage = selectedImage;
  Changed(index);
}

void TreeViewMirror::MakeVisible(std::size_t index) {
  if (index >= entries_.size()) return;
  for (auto up = entries_[index].parent; up; up = entries_[*up].parent) {
    if (!entries_[*up].expanded) {
      entries_[*up].expanded = true;
      Changed(*up);
    }
  }
  lastVisible_ = index;
}

std::string TreeViewMirror::Outline() const {
  std::string out;
  std::vector<std::pair<std::size_t, std::size_t>> stack;  // entry, level
  for (auto it = topLevel_.rbegin(); it != topLevel_.rend(); ++it) stack.push_back({*it, 0});
  while (!stack.empty()) {
    const auto [index, level] = stack.back();
    stack.pop_back();
    const TreeViewEntry& e = entries_[index];
    out += std::string(2 * level, ' ') + std::to_string(e.image) + ' ' + e.key;
    if (e.text != e.key) out += " (" + e.text + ")";
    out += '\n';
    for (auto c = e.children.rbegin(); c != e.children.rend(); ++c) stack.push_back({*c, level + 1});
  }
  return out;
}

void TreeViewMirror::SetCurrent(std::size_t index) {
  if (index < entries_.size()) current_ = index;
}

}  // namespace zorvik
