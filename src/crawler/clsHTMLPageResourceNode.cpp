#include "crawler/clsHTMLPageResourceNode.h"

#include <algorithm>
#include <utility>

#include "core/Host.h"

namespace zorvik {

// Every node of an indexed tree under its current address. An address almost
// always belongs to one node; a second node with the same address can only
// come from an address changed after it was added.
struct clsHTMLPageResourceNode::TreeIndex {
  std::unordered_map<std::string, std::vector<clsHTMLPageResourceNode*>> byAddress;
};

bool ResourceNodeCollection::Contains(std::string_view key) const {
  return keys_.find(std::string(key)) != keys_.end();
}

bool ResourceNodeCollection::Add(std::string key, ResourceNodePtr node) {
  if (!keys_.insert(key).second) return false;
  items_.push_back({std::move(key), std::move(node)});
  return true;
}

ResourceNodePtr clsHTMLPageResourceNode::Create(std::string pageURL, std::string linkText) {
  return ResourceNodePtr(new clsHTMLPageResourceNode(std::move(pageURL), std::move(linkText)));
}

clsHTMLPageResourceNode::clsHTMLPageResourceNode(std::string pageURL, std::string linkText)
    : LinkText(std::move(linkText)), pageURL_(std::move(pageURL)) {}

namespace {

// Visits a subtree without recursion (links before resources, pre-order).
template <typename Visit>
void ForEachInSubtree(clsHTMLPageResourceNode& top, Visit visit) {
  std::vector<clsHTMLPageResourceNode*> stack{&top};
  while (!stack.empty()) {
    clsHTMLPageResourceNode* n = stack.back();
    stack.pop_back();
    visit(*n);
    for (auto it = n->Resources().end(); it != n->Resources().begin();) stack.push_back((--it)->node.get());
    for (auto it = n->Links().end(); it != n->Links().begin();) stack.push_back((--it)->node.get());
  }
}

}  // namespace

clsHTMLPageResourceNode::~clsHTMLPageResourceNode() {
  // Release the subtree one node at a time, so that a very deep tree cannot
  // exhaust the stack with nested destructors. A node that someone else still
  // holds survives, out of this tree and its index.
  std::vector<ResourceNodePtr> pending;
  auto take = [&pending](clsHTMLPageResourceNode& n) {
    for (auto& item : n.links_.items_) pending.push_back(std::move(item.node));
    for (auto& item : n.resources_.items_) pending.push_back(std::move(item.node));
    n.links_.items_.clear();
    n.links_.keys_.clear();
    n.resources_.items_.clear();
    n.resources_.keys_.clear();
  };
  const bool ownsIndex = ownIndex_ != nullptr;
  take(*this);
  while (!pending.empty()) {
    ResourceNodePtr n = std::move(pending.back());
    pending.pop_back();
    if (n.use_count() == 1) {
      n->index_ = nullptr;
      take(*n);
    } else if (ownsIndex) {
      ForEachInSubtree(*n, [](clsHTMLPageResourceNode& m) { m.index_ = nullptr; });
    }
  }
}

void clsHTMLPageResourceNode::Register(clsHTMLPageResourceNode* node) {
  index_->byAddress[node->pageURL_].push_back(node);
}

void clsHTMLPageResourceNode::Unregister(clsHTMLPageResourceNode* node) {
  const auto it = index_->byAddress.find(node->pageURL_);
  if (it == index_->byAddress.end()) return;
  auto& nodes = it->second;
  nodes.erase(std::remove(nodes.begin(), nodes.end(), node), nodes.end());
  if (nodes.empty()) index_->byAddress.erase(it);
}

void clsHTMLPageResourceNode::SetPageURL(std::string pageURL) {
  if (pageURL == pageURL_) return;
  if (index_) Unregister(this);
  pageURL_ = std::move(pageURL);
  if (index_) Register(this);
}

bool clsHTMLPageResourceNode::AddLink(const ResourceNodePtr& child) { return AddChild(links_, child); }

bool clsHTMLPageResourceNode::AddResource(const ResourceNodePtr& child) {
  return AddChild(resources_, child);
}

bool clsHTMLPageResourceNode::AddChild(ResourceNodeCollection& collection, const ResourceNodePtr& child) {
  if (!child || child.get() == this || !child->parent_.expired() || collection.Contains(child->pageURL_)) {
    return false;
  }
  // The top of a tree indexes it from the first child on.
  if (!index_ && parent_.expired()) {
    ownIndex_ = std::make_unique<TreeIndex>();
    index_ = ownIndex_.get();
    ForEachInSubtree(*this, [this](clsHTMLPageResourceNode& m) {
      m.index_ = index_;
      Register(&m);
    });
  }
  // A child without a parent that belongs to this tree is its root: adding
  // it would make a cycle. In an indexed tree the index tells at once.
  if (index_ ? child->index_ == index_ : Root() == child) return false;
  collection.Add(child->pageURL_, child);
  child->parent_ = weak_from_this();
  child->ownIndex_.reset();
  ForEachInSubtree(*child, [this](clsHTMLPageResourceNode& m) {
    m.index_ = index_;
    if (index_) Register(&m);
  });
  return true;
}

bool clsHTMLPageResourceNode::IsBelowOrSelf(const clsHTMLPageResourceNode* ancestor) const {
  const clsHTMLPageResourceNode* n = this;
  ResourceNodePtr holder;  // keeps the node being looked at alive
  while (n) {
    if (n == ancestor) return true;
    holder = n->parent_.lock();
    n = holder.get();
  }
  return false;
}

bool clsHTMLPageResourceNode::AlreadyContains(Host& host, std::string_view address, ResourceNodePtr& found) {
  if (!index_) return AlreadyContainsByWalk(host, address, found);
  host.DoEvents();
  const auto it = index_->byAddress.find(std::string(address));
  if (it == index_->byAddress.end()) return false;
  clsHTMLPageResourceNode* only = nullptr;
  int inSubtree = 0;
  for (clsHTMLPageResourceNode* n : it->second) {
    if (ownIndex_ || n->IsBelowOrSelf(this)) {
      only = n;
      ++inSubtree;
    }
  }
  if (inSubtree == 0) return false;
  // Several nodes with one address: the walk decides which comes first.
  if (inSubtree > 1) return AlreadyContainsByWalk(host, address, found);
  found = only->shared_from_this();
  return true;
}

bool clsHTMLPageResourceNode::AlreadyContainsByWalk(Host& host, std::string_view address,
                                                    ResourceNodePtr& found) {
  // Depth-first, links before resources, one yield per node visited. The
  // nodes on the stack are held, so a handler run inside a yield cannot free
  // them under the walk.
  std::vector<ResourceNodePtr> stack{shared_from_this()};
  while (!stack.empty()) {
    ResourceNodePtr n = std::move(stack.back());
    stack.pop_back();
    host.DoEvents();
    if (n->pageURL_ == address) {
      found = std::move(n);
      return true;
    }
    for (auto i = n->resources_.items_.size(); i > 0; --i) stack.push_back(n->resources_.items_[i - 1].node);
    for (auto i = n->links_.items_.size(); i > 0; --i) stack.push_back(n->links_.items_[i - 1].node);
  }
  return false;
}

void clsHTMLPageResourceNode::DetachFromIndex(const ResourceNodePtr& child) {
  if (!index_) return;
  ForEachInSubtree(*child, [this](clsHTMLPageResourceNode& m) {
    if (m.index_ == index_) Unregister(&m);
    m.index_ = nullptr;
  });
}

void clsHTMLPageResourceNode::RemoveLinks() {
  // Every node reached through text links drops its children, deepest
  // first; resources are dropped without being asked to drop their own.
  std::vector<ResourceNodePtr> order{shared_from_this()};
  for (std::size_t i = 0; i < order.size(); ++i) {
    for (const auto& item : order[i]->links_.items_) order.push_back(item.node);
  }
  for (auto n = order.rbegin(); n != order.rend(); ++n) {
    clsHTMLPageResourceNode& node = **n;
    for (const auto& item : node.links_.items_) node.DetachFromIndex(item.node);
    for (const auto& item : node.resources_.items_) node.DetachFromIndex(item.node);
    // Released here (children first, so each release is shallow), unless
    // held elsewhere.
    node.links_.items_.clear();
    node.links_.keys_.clear();
    node.resources_.items_.clear();
    node.resources_.keys_.clear();
  }
}

ResourceNodePtr clsHTMLPageResourceNode::Root() {
  ResourceNodePtr n = shared_from_this();
  while (ResourceNodePtr up = n->parent_.lock()) n = std::move(up);
  return n;
}

std::size_t clsHTMLPageResourceNode::SubtreeSize() const {
  std::size_t count = 0;
  ForEachInSubtree(const_cast<clsHTMLPageResourceNode&>(*this), [&count](clsHTMLPageResourceNode&) { ++count; });
  return count;
}

}  // namespace zorvik
