#pragma once
// One node of the resource tree: a page or resource the robot reached, with
// the text links found on it (crawled) and its other resources (only shown).
// The root is the pseudo page "WWW". Within one tree no two nodes normally
// share an address, because every insertion is preceded by AlreadyContains on
// the root.
//
// Children are shared: the crawl keeps the node it is working on while a Stop
// may drop it from the tree. Parent is a back reference and never keeps a
// node alive. The root keeps an index of the addresses in its tree, so that
// AlreadyContains answers without visiting every node; the answer and the node
// found are those of a depth-first walk, links before resources.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace zorvik {

class Host;
class clsHTMLPageResourceNode;
using ResourceNodePtr = std::shared_ptr<clsHTMLPageResourceNode>;

// Children in insertion order, keyed by the address each had when it was
// added.
class ResourceNodeCollection {
 public:
  std::size_t Count() const { return items_.size(); }
  bool Contains(std::string_view key) const;
  const ResourceNodePtr& operator[](std::size_t i) const { return items_[i].node; }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  friend class clsHTMLPageResourceNode;
  struct Item {
    std::string key;
    ResourceNodePtr node;
  };
  bool Add(std::string key, ResourceNodePtr node);
  std::vector<Item> items_;
  std::unordered_set<std::string> keys_;
};

class clsHTMLPageResourceNode : public std::enable_shared_from_this<clsHTMLPageResourceNode> {
 public:
  static ResourceNodePtr Create(std::string pageURL, std::string linkText);
  ~clsHTMLPageResourceNode();
  clsHTMLPageResourceNode(const clsHTMLPageResourceNode&) = delete;
  clsHTMLPageResourceNode& operator=(const clsHTMLPageResourceNode&) = delete;

  // The node whose page links here; empty for a root or a node not yet added.
  ResourceNodePtr Parent() const { return parent_.lock(); }
  const std::string& PageURL() const { return pageURL_; }
  // Changes the address (the crawl lower-cases it before extracting links);
  // the tree's index follows.
  void SetPageURL(std::string pageURL);
  std::string LinkText;
  bool PageMatches = false;
  // Children whose content type is text (crawled), and all others (shown).
  const ResourceNodeCollection& Links() const { return links_; }
  const ResourceNodeCollection& Resources() const { return resources_; }

  // Adds a child under its address; false (and nothing changes) when this
  // collection already holds that address or the child already has a parent.
  bool AddLink(const ResourceNodePtr& child);
  bool AddResource(const ResourceNodePtr& child);

  // True when this node or one below it has exactly this address; `found` is
  // then the first such node of a depth-first walk, links before resources.
  // Yields to the event loop while it searches.
  bool AlreadyContains(Host& host, std::string_view address, ResourceNodePtr& found);
  // The same by visiting every node, yielding at each one: the plain walk,
  // kept for comparison and used when an address occurs more than once.
  bool AlreadyContainsByWalk(Host& host, std::string_view address, ResourceNodePtr& found);

  // Drops every child: each text link first drops its own, then is removed;
  // then every resource is removed.
  void RemoveLinks();

  // The top of the tree this node hangs in.
  ResourceNodePtr Root();

  // Number of nodes in this node's subtree, itself included.
  std::size_t SubtreeSize() const;

 private:
  struct TreeIndex;
  clsHTMLPageResourceNode(std::string pageURL, std::string linkText);
  bool AddChild(ResourceNodeCollection& collection, const ResourceNodePtr& child);
  void Register(clsHTMLPageResourceNode* node);
  void Unregister(clsHTMLPageResourceNode* node);
  bool IsBelowOrSelf(const clsHTMLPageResourceNode* ancestor) const;
  // Detaches a dropped child's subtree from this tree's index.
  void DetachFromIndex(const ResourceNodePtr& child);

  std::weak_ptr<clsHTMLPageResourceNode> parent_;
  std::string pageURL_;
  ResourceNodeCollection links_;
  ResourceNodeCollection resources_;
  // Set while the node hangs in an indexed tree; the root owns the index.
  TreeIndex* index_ = nullptr;
  std::unique_ptr<TreeIndex> ownIndex_;
};

}  // namespace zorvik
