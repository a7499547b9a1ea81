#include "crawler/ResourceTree.h"

#include "core/RobotForm.h"
#include "core/SearchState.h"

namespace zorvik {

namespace {
constexpr const char* kRootName = "WWW";
}

ResourceTree::ResourceTree() { ResetRoot(); }

namespace {
// A node's entry: by its address, or, since a page's address is lower-cased
// once its links are extracted, by the address as it was typed.
std::optional<std::size_t> EntryOf(const TreeViewMirror& view, std::string_view address) {
  if (auto entry = view.Find(address)) return entry;
  return view.FindIgnoringCase(address);
}
}  // namespace

void ResourceTree::AddNodeToTreeView(const clsHTMLPageResourceNode& node, std::int16_t image) {
  std::optional<std::size_t> entry = EntryOf(view_, node.PageURL());
  if (!entry) {
    if (const ResourceNodePtr parent = node.Parent()) {
      if (const auto parentEntry = EntryOf(view_, parent->PageURL())) {
        entry = view_.AddChild(*parentEntry, node.PageURL(), node.LinkText, image, image);
      }
    } else {
      entry = view_.AddTopLevel(node.PageURL(), node.LinkText, image, image);
    }
  } else {
    view_.SetImages(*entry, image, image);
  }
  if (!entry) return;
  view_.SetCurrent(*entry);
  view_.MakeVisible(*entry);
}

void ResourceTree::tvURLTreeView_NodeClick(std::string_view key, RobotForm& form, const SearchState& state) {
  const std::optional<std::size_t> entry = view_.Find(key);
  if (!entry) return;
  form.BrowserLocation = std::string(key);
  if (key != root_->PageURL() && !state.Searching) {
    view_.SetCurrent(*entry);
    form.txtURL = std::string(key);
  }
}

void ResourceTree::ResetRoot() {
  root_ = clsHTMLPageResourceNode::Create(kRootName, kRootName);
  AddNodeToTreeView(*root_, kImageRoot);
}

void ResourceTree::NewSearch(RobotForm& form) {
  root_->RemoveLinks();
  form.FoundCount = 0;
  ResetRoot();
}

}  // namespace zorvik
