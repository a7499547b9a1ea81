#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "core/Text.h"
#include "crawler/ResourceTree.h"
#include "crawler/clsHTMLPageResourceNode.h"
#include "support/FakeHost.h"

namespace zorvik {
namespace {

using Node = clsHTMLPageResourceNode;

ResourceNodePtr Make(const std::string& url) { return Node::Create(url, url); }

// Both searches give the same answer and the same node.
void ExpectSameAsWalk(Host& host, Node& from, const std::string& address) {
  ResourceNodePtr byIndex;
  ResourceNodePtr byWalk;
  const bool indexed = from.AlreadyContains(host, address, byIndex);
  const bool walked = from.AlreadyContainsByWalk(host, address, byWalk);
  ASSERT_EQ(indexed, walked) << address << " from " << from.PageURL();
  ASSERT_EQ(byIndex.get(), byWalk.get()) << address << " from " << from.PageURL();
}

TEST(ResourceNodeTest, IndexAnswersLikeTheWalkUnderRandomChanges) {
  testing::FakeHost host;
  std::mt19937 rng(20261206);
  for (int round = 0; round < 40; ++round) {
    ResourceNodePtr root = Node::Create("WWW", "WWW");
    std::vector<ResourceNodePtr> nodes{root};  // every node ever made, held
    auto address = [&] {
      // A small alphabet, some upper case: collisions after lower-casing.
      std::string a = "http://h/";
      for (int i = 0, n = 1 + static_cast<int>(rng() % 2); i < n; ++i) a += "aAbB"[rng() % 4];
      return a;
    };
    for (int step = 0; step < 150; ++step) {
      const unsigned op = rng() % 100;
      ResourceNodePtr& target = nodes[rng() % nodes.size()];
      if (op < 55) {
        // What link extraction does: look the address up on the root first.
        const std::string a = address();
        ResourceNodePtr found;
        if (!target->Root()->AlreadyContains(host, a, found)) {
          ResourceNodePtr child = Make(a);
          if (rng() % 3 == 0 ? target->AddResource(child) : target->AddLink(child)) nodes.push_back(child);
        }
      } else if (op < 70) {
        target->SetPageURL(text::LCase(target->PageURL()));  // may duplicate another node's address
      } else if (op < 75) {
        target->RemoveLinks();
      } else if (op < 78) {
        root->RemoveLinks();
        root = Node::Create("WWW", "WWW");
        nodes.push_back(root);
      } else {
        // A node added straight away, without a look-up: the only way two
        // nodes of one tree get the same address from the start.
        ResourceNodePtr child = Make(address());
        if (target->AddLink(child)) nodes.push_back(child);
      }
      for (int q = 0; q < 6; ++q) {
        ExpectSameAsWalk(host, *root, address());
        ExpectSameAsWalk(host, *nodes[rng() % nodes.size()], address());
      }
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

TEST(ResourceNodeTest, RemoveLinksEmptiesLinkedPagesButNotResources) {
  testing::FakeHost host;
  ResourceNodePtr root = Node::Create("WWW", "WWW");
  ResourceNodePtr page = Make("http://a/");
  ResourceNodePtr deeper = Make("http://a/deeper.htm");
  ResourceNodePtr picture = Make("http://a/p.gif");
  ResourceNodePtr underPicture = Make("http://a/p.gif/x");
  ASSERT_TRUE(root->AddLink(page));
  ASSERT_TRUE(page->AddLink(deeper));
  ASSERT_TRUE(root->AddResource(picture));
  ASSERT_TRUE(picture->AddLink(underPicture));

  root->RemoveLinks();
  EXPECT_EQ(root->Links().Count(), 0u);
  EXPECT_EQ(root->Resources().Count(), 0u);
  // The crawl may still hold these: a text link dropped its own children,
  // a resource was not asked to.
  EXPECT_EQ(page->Links().Count(), 0u);
  EXPECT_EQ(picture->Links().Count(), 1u);
  ResourceNodePtr found;
  for (const char* a : {"http://a/", "http://a/deeper.htm", "http://a/p.gif", "http://a/p.gif/x"}) {
    EXPECT_FALSE(root->AlreadyContains(host, a, found)) << a;
  }
  // A held node that was dropped still finds what hangs below it, and can be
  // crawled again from a fresh tree.
  EXPECT_TRUE(picture->AlreadyContains(host, "http://a/p.gif/x", found));
  EXPECT_EQ(found, underPicture);
  ResourceNodePtr again = Make("http://a/");
  EXPECT_TRUE(root->AddLink(again));
  EXPECT_TRUE(root->AlreadyContains(host, "http://a/", found));
  EXPECT_EQ(found, again);
}

TEST(ResourceNodeTest, ChildrenAreKeyedOrderedAndNeverCyclic) {
  testing::FakeHost host;
  ResourceNodePtr root = Node::Create("WWW", "WWW");
  ResourceNodePtr a = Make("http://a/");
  ResourceNodePtr b = Make("http://b/");
  ASSERT_TRUE(root->AddLink(b));
  ASSERT_TRUE(root->AddLink(a));
  EXPECT_FALSE(root->AddLink(Make("http://b/")));  // key taken in this collection
  EXPECT_FALSE(root->AddResource(a));              // already has a parent
  EXPECT_FALSE(a->AddLink(root));                  // an ancestor
  EXPECT_FALSE(a->AddLink(a));
  ASSERT_EQ(root->Links().Count(), 2u);
  EXPECT_EQ(root->Links()[0], b);
  EXPECT_EQ(a->Parent(), root);

  // A small tree made on its own joins the big tree's index when added.
  ResourceNodePtr start = Make("http://c/");
  ResourceNodePtr below = Make("http://c/x.htm");
  ASSERT_TRUE(start->AddLink(below));
  ResourceNodePtr found;
  ASSERT_TRUE(a->AddLink(start));
  EXPECT_TRUE(root->AlreadyContains(host, "http://c/x.htm", found));
  EXPECT_EQ(found, below);
  EXPECT_EQ(below->Root(), root);
  // A search from a node covers only its own subtree.
  EXPECT_FALSE(b->AlreadyContains(host, "http://c/x.htm", found));
  EXPECT_TRUE(start->AlreadyContains(host, "http://c/x.htm", found));
  // Exact comparison.
  EXPECT_FALSE(root->AlreadyContains(host, "http://C/x.htm", found));
}

TEST(ResourceNodeTest, VeryDeepTreesAreReleasedWithoutRecursion) {
  testing::FakeHost host;
  constexpr int kDepth = 100'000;
  // A chain of kDepth links below a fresh root; the bottom node is returned.
  const auto chain = [](const ResourceNodePtr& root) {
    ResourceNodePtr last = root;
    for (int i = 0; i < kDepth; ++i) {
      ResourceNodePtr next = Make("http://h/" + std::to_string(i));
      EXPECT_TRUE(last->AddLink(next));
      last = next;
    }
    return last;
  };
  ResourceNodePtr root = Node::Create("WWW", "WWW");
  ResourceNodePtr held = chain(root);
  std::weak_ptr<Node> bottom = held;
  ResourceNodePtr found;
  EXPECT_TRUE(root->AlreadyContains(host, "http://h/99999", found));
  EXPECT_EQ(found->Root(), root);
  found.reset();
  EXPECT_EQ(root->SubtreeSize(), static_cast<std::size_t>(kDepth) + 1);
  // The bottom node outlives the tree when someone holds it.
  root.reset();
  EXPECT_EQ(held->Parent(), nullptr);
  EXPECT_EQ(held->Root(), held);
  held.reset();
  EXPECT_TRUE(bottom.expired());
  // The same chain dropped by RemoveLinks.
  root = Node::Create("WWW", "WWW");
  bottom = chain(root);
  root->RemoveLinks();
  EXPECT_TRUE(bottom.expired());
}

class ResourceTreeTest : public ::testing::Test {
 protected:
  // What a crawl does for one address found on `page`.
  ResourceNodePtr Link(const ResourceNodePtr& page, const std::string& url, std::int16_t image) {
    ResourceNodePtr found;
    if (tree.Root()->AlreadyContains(host, url, found)) return nullptr;
    ResourceNodePtr node = Node::Create(url, "text of " + url);
    EXPECT_TRUE(page->AddLink(node));
    tree.AddNodeToTreeView(*node, image);
    return node;
  }
  const TreeViewEntry& Shown(const std::string& key) {
    const auto at = tree.View().Find(key);
    EXPECT_TRUE(at.has_value()) << key;
    return tree.View().Entry(at.value_or(0));
  }

  testing::FakeHost host;
  ResourceTree tree;
  RobotForm form;
  SearchState state;
};

TEST_F(ResourceTreeTest, EntriesMirrorTheTree) {
  // Where entries go and what they show is compared whole by the crawl
  // tests; here what they cannot see: selection, expansion, a repeated
  // showing and a node without a shown parent.
  ResourceNodePtr a = Link(tree.Root(), "http://a/", kImageRelative);
  ASSERT_TRUE(Link(tree.Root(), "http://b/", kImageAbsolute) && Link(a, "http://a/1.htm", kImageMatch));
  EXPECT_EQ(tree.View().Current(), tree.View().Find("http://a/1.htm"));
  EXPECT_TRUE(Shown("http://a/").expanded);
  EXPECT_TRUE(Shown("WWW").expanded);

  // Shown again with a new image: same place, same text.
  a->LinkText = "changed";
  tree.AddNodeToTreeView(*a, kImageMatch);
  EXPECT_EQ(Shown("http://a/").image, kImageMatch);
  EXPECT_EQ(Shown("http://a/").selectedImage, kImageMatch);
  EXPECT_EQ(Shown("http://a/").text, "text of http://a/");
  EXPECT_EQ(Shown("WWW").children.front(), *tree.View().Find("http://a/"));

  // A node whose parent has no entry is not shown.
  ResourceNodePtr orphanParent = Node::Create("http://x/", "x");
  ResourceNodePtr orphan = Node::Create("http://x/y", "y");
  ASSERT_TRUE(orphanParent->AddLink(orphan));
  tree.AddNodeToTreeView(*orphan, kImageMatch);
  EXPECT_FALSE(tree.View().Find("http://x/y"));
  EXPECT_EQ(tree.View().Count(), 4u);
}

TEST_F(ResourceTreeTest, AnAddressWithCapitalsKeepsItsEntryAndItsChildren) {
  ResourceNodePtr start = Node::Create("http://Site.COM/Dir/", "http://Site.COM/Dir/");
  ASSERT_TRUE(tree.Root()->AddLink(start));
  tree.AddNodeToTreeView(*start, kImageAbsolute);
  start->SetPageURL(text::LCase(start->PageURL()));  // as when its links are extracted
  ASSERT_NE(Link(start, "http://site.com/dir/a.htm", kImageMatch), nullptr);
  EXPECT_EQ(tree.View().Entry(*Shown("http://site.com/dir/a.htm").parent).key, "http://Site.COM/Dir/");
  tree.AddNodeToTreeView(*start, kImageMatch);  // shown again: the same entry
  EXPECT_EQ(Shown("http://Site.COM/Dir/").image, kImageMatch);
  EXPECT_EQ(tree.View().Count(), 3u);
}

TEST_F(ResourceTreeTest, ClickShowsThePageAndSetsTheStartAddress) {
  Link(tree.Root(), "http://a/", kImageRelative);
  Link(tree.Root(), "http://b/", kImageRelative);
  form.txtURL = "typed";
  tree.tvURLTreeView_NodeClick("WWW", form, state);
  EXPECT_EQ(form.BrowserLocation, "WWW");
  EXPECT_EQ(form.txtURL, "typed");
  state.Searching = true;
  tree.tvURLTreeView_NodeClick("http://a/", form, state);
  EXPECT_EQ(form.BrowserLocation, "http://a/");
  EXPECT_EQ(form.txtURL, "typed");
  EXPECT_EQ(tree.View().Current(), tree.View().Find("http://b/"));

  state.Searching = false;
  tree.tvURLTreeView_NodeClick("http://a/", form, state);
  EXPECT_EQ(form.txtURL, "http://a/");
  EXPECT_EQ(tree.View().Current(), tree.View().Find("http://a/"));

  tree.tvURLTreeView_NodeClick("http://nowhere/", form, state);
  EXPECT_EQ(form.BrowserLocation, "http://a/");
}

TEST_F(ResourceTreeTest, NewSearchForgetsTheTreeButKeepsTheEntries) {
  ResourceNodePtr a = Link(tree.Root(), "http://a/", kImageMatch);
  form.FoundCount = 12;
  const ResourceNodePtr oldRoot = tree.Root();
  tree.NewSearch(form);
  EXPECT_EQ(form.FoundCount, 0);
  EXPECT_NE(tree.Root(), oldRoot);
  EXPECT_EQ(oldRoot->Links().Count(), 0u);
  EXPECT_EQ(tree.View().Count(), 2u);
  EXPECT_EQ(Shown("WWW").image, kImageRoot);
  // Crawled again: found as new, shown in its old entry with its new image.
  ResourceNodePtr again = Link(tree.Root(), "http://a/", kImageAbsolute);
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, a);
  EXPECT_EQ(tree.View().Count(), 2u);
  EXPECT_EQ(Shown("http://a/").image, kImageAbsolute);
}

}  // namespace
}  // namespace zorvik
