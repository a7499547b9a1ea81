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

class ResourceNodeTest : public ::testing::Test {
 protected:
  // The node `address` leads to from `from`, or nullptr.
  ResourceNodePtr Find(const ResourceNodePtr& from, const std::string& address) {
    ResourceNodePtr found;
    return from->AlreadyContains(host, address, found) ? found : nullptr;
  }
  testing::FakeHost host;
  ResourceNodePtr root = Node::Create("WWW", "WWW");
};

TEST_F(ResourceNodeTest, IndexAnswersLikeTheWalkUnderRandomChanges) {
  std::mt19937 rng(20261206);
  // A small alphabet with capitals: collisions after lower-casing.
  const auto address = [&] {
    std::string a = "http://h/";
    for (int i = 0, n = 1 + static_cast<int>(rng() % 2); i < n; ++i) a += "aAbB"[rng() % 4];
    return a;
  };
  const auto expectSameAsWalk = [&](Node& from, const std::string& a) {
    ResourceNodePtr byIndex, byWalk;
    ASSERT_EQ(from.AlreadyContains(host, a, byIndex), from.AlreadyContainsByWalk(host, a, byWalk)) << a;
    ASSERT_EQ(byIndex.get(), byWalk.get()) << a << " from " << from.PageURL();
  };
  for (int round = 0; round < 40; ++round) {
    root = Node::Create("WWW", "WWW");
    std::vector<ResourceNodePtr> nodes{root};  // every node ever made, held
    for (int step = 0; step < 150 && !HasFatalFailure(); ++step) {
      const unsigned op = rng() % 100;
      ResourceNodePtr& target = nodes[rng() % nodes.size()];
      const std::string a = address();
      if (op < 55) {
        // What link extraction does: look the address up on the root first.
        if (Find(target->Root(), a)) continue;
        ResourceNodePtr child = Make(a);
        if (rng() % 3 == 0 ? target->AddResource(child) : target->AddLink(child)) nodes.push_back(child);
      } else if (op < 70) {
        target->SetPageURL(text::LCase(target->PageURL()));  // may duplicate another node's address
      } else if (op < 75) {
        target->RemoveLinks();
      } else if (op < 78) {
        root->RemoveLinks();
        nodes.push_back(root = Node::Create("WWW", "WWW"));
      } else {
        // Added without a look-up: two nodes of one tree with one address.
        ResourceNodePtr child = Make(a);
        if (target->AddLink(child)) nodes.push_back(child);
      }
      for (int q = 0; q < 6; ++q) {
        expectSameAsWalk(*root, address());
        expectSameAsWalk(*nodes[rng() % nodes.size()], address());
      }
    }
  }
}

TEST_F(ResourceNodeTest, ChildrenAreKeyedOrderedAndNeverCyclic) {
  ResourceNodePtr a = Make("http://a/"), b = Make("http://b/");
  ASSERT_TRUE(root->AddLink(b));
  ASSERT_TRUE(root->AddLink(a));
  EXPECT_FALSE(root->AddLink(Make("http://b/")));  // key taken in this collection
  EXPECT_FALSE(root->AddResource(a));              // already has a parent
  EXPECT_FALSE(a->AddLink(root));                  // an ancestor
  EXPECT_FALSE(a->AddLink(a));
  ASSERT_EQ(root->Links().Count(), 2u);
  EXPECT_EQ(root->Links()[0], b);
  // A small tree made on its own joins the big tree's index when added; a
  // search from a node covers only its own subtree, comparing exactly.
  ResourceNodePtr start = Make("http://c/"), below = Make("http://c/x.htm");
  ASSERT_TRUE(start->AddLink(below));
  ASSERT_TRUE(a->AddLink(start));
  EXPECT_EQ(Find(root, "http://c/x.htm"), below);
  EXPECT_EQ(below->Root(), root);
  EXPECT_EQ(Find(b, "http://c/x.htm"), nullptr);
  EXPECT_EQ(Find(start, "http://c/x.htm"), below);
  EXPECT_EQ(Find(root, "http://C/x.htm"), nullptr);
}

TEST_F(ResourceNodeTest, RemoveLinksEmptiesLinkedPagesButNotResources) {
  ResourceNodePtr page = Make("http://a/"), picture = Make("http://a/p.gif"), underPicture = Make("http://a/p.gif/x");
  ASSERT_TRUE(root->AddLink(page) && page->AddLink(Make("http://a/deeper.htm")));
  ASSERT_TRUE(root->AddResource(picture) && picture->AddLink(underPicture));
  root->RemoveLinks();
  EXPECT_EQ(root->Links().Count() + root->Resources().Count(), 0u);
  // The crawl may still hold these: a text link dropped its own children,
  // a resource was not asked to, and still finds what hangs below it.
  EXPECT_EQ(page->Links().Count(), 0u);
  EXPECT_EQ(Find(picture, "http://a/p.gif/x"), underPicture);
  for (const char* a : {"http://a/", "http://a/deeper.htm", "http://a/p.gif", "http://a/p.gif/x"})
    EXPECT_EQ(Find(root, a), nullptr) << a;
  ResourceNodePtr again = Make("http://a/");
  EXPECT_TRUE(root->AddLink(again));
  EXPECT_EQ(Find(root, "http://a/"), again);
}

TEST_F(ResourceNodeTest, VeryDeepTreesAreReleasedWithoutRecursion) {
  constexpr int kDepth = 100'000;
  const auto chain = [](ResourceNodePtr last) {  // kDepth links below `last`; the bottom one
    for (int i = 0; i < kDepth; ++i) {
      ResourceNodePtr next = Make("http://h/" + std::to_string(i));
      EXPECT_TRUE(last->AddLink(next));
      last = next;
    }
    return last;
  };
  ResourceNodePtr held = chain(root);
  std::weak_ptr<Node> bottom = held;
  EXPECT_EQ(Find(root, "http://h/99999"), held);
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

// Where entries go and what they show is compared whole by the crawl tests;
// here what they cannot see.
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

TEST_F(ResourceTreeTest, EntriesKeepTheirPlaceAndTextWhenShownAgain) {
  ResourceNodePtr a = Link(tree.Root(), "http://a/", kImageRelative);
  ASSERT_TRUE(Link(tree.Root(), "http://b/", kImageAbsolute) && Link(a, "http://a/1.htm", kImageMatch));
  EXPECT_EQ(tree.View().Current(), tree.View().Find("http://a/1.htm"));
  EXPECT_TRUE(Shown("http://a/").expanded && Shown("WWW").expanded);
  a->LinkText = "changed";
  tree.AddNodeToTreeView(*a, kImageMatch);
  EXPECT_EQ(Shown("http://a/").image, kImageMatch);
  EXPECT_EQ(Shown("http://a/").selectedImage, kImageMatch);
  EXPECT_EQ(Shown("http://a/").text, "text of http://a/");
  EXPECT_EQ(Shown("WWW").children.front(), *tree.View().Find("http://a/"));
  // A node whose parent has no entry is not shown.
  ResourceNodePtr orphanParent = Node::Create("http://x/", "x"), orphan = Node::Create("http://x/y", "y");
  ASSERT_TRUE(orphanParent->AddLink(orphan));
  tree.AddNodeToTreeView(*orphan, kImageMatch);
  EXPECT_EQ(tree.View().Count(), 4u);

  // An address lower-cased after it was shown keeps its entry and its children.
  ResourceNodePtr start = Node::Create("http://Site.COM/Dir/", "http://Site.COM/Dir/");
  ASSERT_TRUE(tree.Root()->AddLink(start));
  tree.AddNodeToTreeView(*start, kImageAbsolute);
  start->SetPageURL(text::LCase(start->PageURL()));  // as when its links are extracted
  ASSERT_NE(Link(start, "http://site.com/dir/a.htm", kImageMatch), nullptr);
  EXPECT_EQ(tree.View().Entry(*Shown("http://site.com/dir/a.htm").parent).key, "http://Site.COM/Dir/");
  tree.AddNodeToTreeView(*start, kImageMatch);
  EXPECT_EQ(Shown("http://Site.COM/Dir/").image, kImageMatch);
  EXPECT_EQ(tree.View().Count(), 6u);
}

TEST_F(ResourceTreeTest, ClickShowsThePageAndSetsTheStartAddressWhenIdle) {
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
  const ResourceNodePtr oldRoot = tree.Root();
  tree.NewSearch(form);
  EXPECT_EQ(oldRoot->Links().Count(), 0u);
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
