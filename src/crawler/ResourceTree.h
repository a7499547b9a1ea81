#pragma once
// The robot's tree of everything it reached, with the window's tree view that
// mirrors it node for node (keys are the nodes' addresses). The robot model
// owns one for the window's lifetime.

#include <cstdint>
#include <string_view>

#include "crawler/TreeViewMirror.h"
#include "crawler/clsHTMLPageResourceNode.h"

namespace zorvik {

struct RobotForm;
struct SearchState;

class ResourceTree {
 public:
  // Makes the root, as the window does when it loads.
  ResourceTree();

  const ResourceNodePtr& Root() const { return root_; }
  TreeViewMirror& View() { return view_; }
  const TreeViewMirror& View() const { return view_; }

  // Shows a node with an image: a new entry (top level for a node without a
  // parent, else under its parent's entry, when that is shown), or a new
  // image for an existing entry, whose text and place stay. The entry becomes
  // current and is made visible.
  void AddNodeToTreeView(const clsHTMLPageResourceNode& node, std::int16_t image);

  // A click on the entry keyed `key`: the browser pane shows it; unless it is
  // the root or a crawl is running, it becomes current and the start address
  // of the next search.
  void tvURLTreeView_NodeClick(std::string_view key, RobotForm& form, const SearchState& state);

  // A new root "WWW" (image 6). Entries already shown stay in the view.
  void ResetRoot();
  // "New Search": the old root drops its children, the found counter goes
  // back to 0, and a new root is made.
  void NewSearch(RobotForm& form);

 private:
  ResourceNodePtr root_;
  TreeViewMirror view_;
};

}  // namespace zorvik
