#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/db/btree_index.h"
#include "core/db/db_test_util.h"

namespace {

// What a walk over the stored nodes finds.
struct Shape {
  int nodes = 0;
  int leaf_depth = -1;
  std::vector<int32_t> keys;
  std::vector<std::string> faults;
};

void WalkNode(BTreeIndex& tree, FileAddress address, int depth, Shape& shape) {
  const BTreeHeader& h = tree.Header();
  BTreeNode node(h.order, h.entry_size);
  if (node.ReadNode(*tree.File(), address) != 0) {
    shape.faults.push_back("unreadable node");
    return;
  }
  ++shape.nodes;
  const bool is_root = address == h.root;
  const int minimum = (BTreeNode::EffectiveOrder(h.order) - 1) / 2;
  if (!is_root && node.count < minimum) shape.faults.push_back("underfull node");
  if (node.IsLeaf()) {
    if (shape.leaf_depth == -1) shape.leaf_depth = depth;
    if (shape.leaf_depth != depth) shape.faults.push_back("leaves at different depths");
  }
  IntKey key;
  for (int i = -1; i < node.count; ++i) {
    if (i >= 0) {
      node.GetKey(key, i);
      shape.keys.push_back(key.Value());
    }
    FileAddress child = node.GetChild(i);
    if (node.IsLeaf() != (int32_t(child) == 0)) shape.faults.push_back("mixed leaf entry");
    if (int32_t(child) != 0) WalkNode(tree, child, depth + 1, shape);
  }
}

// Checks the stored tree against the reference set.
void ExpectSound(BTreeIndex& tree, const std::set<int32_t>& reference) {
  Shape shape;
  WalkNode(tree, tree.Header().root, 0, shape);
  ASSERT_TRUE(shape.faults.empty()) << shape.faults.front();
  EXPECT_TRUE(std::is_sorted(shape.keys.begin(), shape.keys.end()));
  EXPECT_EQ(std::vector<int32_t>(reference.begin(), reference.end()), shape.keys);
  EXPECT_EQ(int32_t(tree.Header().key_count), int32_t(reference.size()));
  EXPECT_EQ(int32_t(tree.Header().node_count), shape.nodes);
  EXPECT_EQ(int32_t(tree.Header().height), shape.leaf_depth + 1);
}

// FindFirst + FindNext must give the reference in order.
void ExpectWalk(BTreeIndex& tree, const std::set<int32_t>& reference) {
  IntKey key, scratch;
  std::vector<int32_t> walked;
  if (tree.FindFirst(key, false)) {
    walked.push_back(key.Value());
    while (tree.FindNext(key, scratch, false)) walked.push_back(key.Value());
  }
  EXPECT_EQ(std::vector<int32_t>(reference.begin(), reference.end()), walked);
}

class BTreeTest : public ::testing::Test {
 protected:
  std::unique_ptr<BTreeIndex> NewTree(int32_t order) {
    auto tree = std::make_unique<BTreeIndex>(IntKey(), order, -1);
    EXPECT_EQ(tree->CreateFile(Name().c_str(), 1), 0);
    return tree;
  }
  std::string Name() const { return dir_.File("tree.idx"); }
  bool Insert(BTreeIndex& tree, int32_t v) {
    IntKey key(v), scratch;
    return tree.Insert(key, scratch, false) == 1;
  }
  bool Remove(BTreeIndex& tree, int32_t v) {
    IntKey key(v), scratch;
    return tree.Remove(key, scratch, false) == 1;
  }
  BTreeNode Node(BTreeIndex& tree, FileAddress address) {
    BTreeNode node(tree.Header().order, tree.Header().entry_size);
    EXPECT_EQ(node.ReadNode(*tree.File(), address), 0);
    return node;
  }
  TempDir dir_;
};

TEST_F(BTreeTest, EmptyTreeDuplicatesAndFind) {
  auto tree = NewTree(11);
  const BTreeHeader& h = tree->Header();
  EXPECT_EQ(int32_t(h.order), 11);
  EXPECT_EQ(int32_t(h.entry_size), 8);
  EXPECT_EQ(int32_t(h.key_count), 0);
  EXPECT_EQ(int32_t(h.node_count), 1);
  EXPECT_EQ(int32_t(h.height), 1);
  EXPECT_EQ(int32_t(h.reserved), -1);
  IntKey key(42), scratch;
  EXPECT_EQ(tree->FindFirst(key, true), 0);
  EXPECT_EQ(tree->Find(key, scratch, true), 0);
  EXPECT_EQ(tree->LastError(), kDbEntryNotFound);
  EXPECT_EQ(tree->Remove(key, scratch, false), 0);
  EXPECT_EQ(tree->LastError(), kDbEntryNotFound);

  ASSERT_EQ(tree->Insert(key, scratch, true), 1);
  EXPECT_EQ(key.Value(), 42);  // the caller's key is left as it was
  EXPECT_FALSE(Insert(*tree, 42));
  EXPECT_EQ(tree->LastError(), kDbDuplicateEntry);
  EXPECT_EQ(int32_t(tree->Header().key_count), 1);
  IntKey probe(42);
  probe.child = 999;
  ASSERT_EQ(tree->Find(probe, scratch, true), 1);
  EXPECT_EQ(int32_t(probe.child), 0);
  IntKey last(42);
  EXPECT_EQ(tree->FindNext(last, scratch, false), 0);
  IntKey absent(41);
  EXPECT_EQ(tree->FindNext(absent, scratch, false), 0);
  EXPECT_EQ(tree->LastError(), kDbEntryNotFound);
}

TEST_F(BTreeTest, EleventhKeySplitsTheRootFiveAndFiveAtEveryPosition) {
  for (int p = 0; p <= 10; ++p) {
    SCOPED_TRACE(p);
    auto tree = NewTree(11);
    std::set<int32_t> reference;
    for (int v = 0; v < 10; ++v) {
      ASSERT_TRUE(Insert(*tree, v * 10));
      reference.insert(v * 10);
    }
    EXPECT_EQ(int32_t(tree->Header().node_count), 1);
    const FileAddress old_root = tree->Header().root;
    ASSERT_TRUE(Insert(*tree, p * 10 - 5));
    reference.insert(p * 10 - 5);
    EXPECT_EQ(int32_t(tree->Header().node_count), 3);
    EXPECT_EQ(int32_t(tree->Header().height), 2);
    BTreeNode root = Node(*tree, tree->Header().root);
    ASSERT_EQ(root.count, 1);
    EXPECT_TRUE(root.left_child == old_root);
    EXPECT_EQ(Node(*tree, root.left_child).count, 5);
    EXPECT_EQ(Node(*tree, root.GetChild(0)).count, 5);
    ExpectSound(*tree, reference);
    ExpectWalk(*tree, reference);
  }
}

TEST_F(BTreeTest, InsertionOrdersAllGiveSoundTrees) {
  std::vector<int32_t> ascending(300);
  for (int i = 0; i < 300; ++i) ascending[size_t(i)] = i;
  std::vector<int32_t> descending(ascending.rbegin(), ascending.rend());
  std::vector<int32_t> shuffled = ascending;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
  for (const auto& order : {ascending, descending, shuffled}) {
    auto tree = NewTree(11);
    for (int32_t v : order) ASSERT_TRUE(Insert(*tree, v));
    std::set<int32_t> reference(order.begin(), order.end());
    ExpectSound(*tree, reference);
    ExpectWalk(*tree, reference);
  }
}

TEST_F(BTreeTest, RemovingAnInternalKeyTakesItsSuccessor) {
  auto tree = NewTree(11);
  for (int v = 0; v < 11; ++v) ASSERT_TRUE(Insert(*tree, v));
  BTreeNode root = Node(*tree, tree->Header().root);
  IntKey separator;
  root.GetKey(separator, 0);
  ASSERT_EQ(separator.Value(), 5);
  // Add one key to the right leaf so it can lose one without rebalancing.
  ASSERT_TRUE(Insert(*tree, 11));
  ASSERT_TRUE(Remove(*tree, 5));
  root = Node(*tree, tree->Header().root);
  root.GetKey(separator, 0);
  EXPECT_EQ(separator.Value(), 6);
  EXPECT_EQ(Node(*tree, root.GetChild(0)).count, 5);
  ExpectSound(*tree, {0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11});
}

TEST_F(BTreeTest, BorrowMergeAndRootCollapse) {
  auto tree = NewTree(11);
  std::set<int32_t> reference;
  for (int v = 0; v < 12; ++v) {
    ASSERT_TRUE(Insert(*tree, v));
    reference.insert(v);
  }
  // Leaves 0..4 and 6..11: the left one borrows from the right.
  ASSERT_TRUE(Remove(*tree, 0));
  reference.erase(0);
  ExpectSound(*tree, reference);
  BTreeNode root = Node(*tree, tree->Header().root);
  EXPECT_EQ(Node(*tree, root.left_child).count, 5);
  EXPECT_EQ(Node(*tree, root.GetChild(0)).count, 5);
  // Now neither can lend: a merge, which empties the root.
  FileAddress old_root = tree->Header().root;
  FileAddress right = root.GetChild(0);
  ASSERT_TRUE(Remove(*tree, 1));
  reference.erase(1);
  EXPECT_EQ(int32_t(tree->Header().height), 1);
  EXPECT_EQ(int32_t(tree->Header().node_count), 1);
  EXPECT_TRUE(tree->Header().root == root.left_child);
  ExpectSound(*tree, reference);
  DatabaseBlockHeader block;
  ASSERT_EQ(tree->File()->ReadBlockHeader(block, int32_t(right) - 28), 0);
  EXPECT_EQ(uint32_t(block.status), kBlockRemoved);
  ASSERT_EQ(tree->File()->ReadBlockHeader(block, int32_t(old_root) - 28), 0);
  EXPECT_EQ(uint32_t(block.status), kBlockRemoved);
  // Freed node blocks are reused by later splits.
  const int32_t end = tree->File()->Header().end_of_file;
  for (int v = 100; v < 120; ++v) ASSERT_TRUE(Insert(*tree, v));
  // One leaf grew into a root and five leaves; two of the five new nodes
  // came from the free list.
  EXPECT_EQ(int32_t(tree->Header().node_count), 6);
  EXPECT_EQ(int32_t(tree->File()->Header().end_of_file), end + 3 * (tree->NodeSize() + 32));
  // Removing everything leaves an empty one-level tree.
  for (int v = 100; v < 120; ++v) ASSERT_TRUE(Remove(*tree, v));
  for (int32_t v : reference) ASSERT_TRUE(Remove(*tree, v));
  EXPECT_EQ(int32_t(tree->Header().key_count), 0);
  EXPECT_EQ(int32_t(tree->Header().height), 1);
  EXPECT_EQ(Node(*tree, tree->Header().root).count, 0);
}

// Thousands of random insertions and removals against a std::set.
void RandomRun(BTreeIndex& tree, const std::string& name, int steps, int range, unsigned seed) {
  std::mt19937 random(seed);
  std::set<int32_t> reference;
  for (int step = 0; step < steps; ++step) {
    const int32_t v = int32_t(random() % unsigned(range));
    const bool insert = random() % 100 < 55;
    IntKey key(v), scratch;
    if (insert) {
      ASSERT_EQ(tree.Insert(key, scratch, false), reference.count(v) ? 0 : 1) << step;
      reference.insert(v);
    } else {
      ASSERT_EQ(tree.Remove(key, scratch, false), reference.count(v) ? 1 : 0) << step;
      reference.erase(v);
    }
    IntKey probe(v);
    EXPECT_EQ(tree.Find(probe, scratch, false), insert ? 1 : 0) << step;
    IntKey other(int32_t(random() % unsigned(range)));
    const int32_t other_value = other.Value();
    EXPECT_EQ(tree.Find(other, scratch, false), int(reference.count(other_value))) << step;
    if (reference.count(other_value)) {
      auto next = reference.upper_bound(other_value);
      IntKey walker(other_value);
      EXPECT_EQ(tree.FindNext(walker, scratch, false), next != reference.end() ? 1 : 0);
      if (next != reference.end()) {
        EXPECT_EQ(walker.Value(), *next);
      }
    }
    IntKey first;
    EXPECT_EQ(tree.FindFirst(first, false), reference.empty() ? 0 : 1);
    if (!reference.empty()) {
      EXPECT_EQ(first.Value(), *reference.begin());
    }
    ExpectSound(tree, reference);
    if (::testing::Test::HasFailure()) return;
    if (step % 50 == 0) ExpectWalk(tree, reference);
  }
  ExpectWalk(tree, reference);
  ASSERT_EQ(tree.Close(), 0);
  ASSERT_EQ(tree.OpenFile(name.c_str(), 2), 0);
  ExpectSound(tree, reference);
  ExpectWalk(tree, reference);
}

TEST_F(BTreeTest, RandomAgainstReference) {
  // Odd and even orders, with the key range wide enough for deep trees.
  const int runs[][4] = {{11, 4000, 700, 11}, {5, 4000, 500, 5}, {8, 3000, 400, 8}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run[0]);
    auto tree = NewTree(run[0]);
    RandomRun(*tree, Name(), run[1], run[2], unsigned(run[3]));
    if (HasFailure()) return;
  }
}

TEST_F(BTreeTest, TestHeaderNoticesAnotherWriter) {
  auto tree = NewTree(11);
  ASSERT_TRUE(Insert(*tree, 1));
  ASSERT_EQ(tree->Flush(), 0);
  BTreeIndex other{IntKey(), 11, -1};
  ASSERT_EQ(other.OpenFile(Name().c_str(), 2), 0);
  IntKey key(2), scratch;
  ASSERT_EQ(other.Insert(key, scratch, true), 1);
  EXPECT_EQ(tree->TestHeader(false), 3);
  EXPECT_EQ(tree->TestHeader(true), 3);
  EXPECT_EQ(int32_t(tree->Header().key_count), 2);
  EXPECT_EQ(tree->TestHeader(true), 0);
  IntKey probe(2);
  EXPECT_EQ(tree->Find(probe, scratch, true), 1);
}

class DamagedTreeTest : public BTreeTest {
 protected:
  void SetUp() override {
    auto tree = NewTree(11);
    for (int v = 0; v < 40; ++v) ASSERT_TRUE(Insert(*tree, v));
    root_ = tree->Header().root;
    BTreeNode root = Node(*tree, root_);
    leaf_ = root.left_child;
    ASSERT_EQ(tree->Close(), 0);
  }
  // Every search and change on the damaged file fails without a hang.
  void ExpectRefused(int expected) {
    BTreeIndex tree{IntKey(), 11, -1};
    ASSERT_EQ(tree.OpenFile(Name().c_str(), 2), 0);
    IntKey key(-5), scratch;
    EXPECT_EQ(tree.Find(key, scratch, false), 0);
    EXPECT_EQ(tree.LastError(), expected);
    IntKey first;
    EXPECT_EQ(tree.FindFirst(first, false), 0);
    IntKey fresh(-1);
    EXPECT_EQ(tree.Insert(fresh, scratch, false), 0);
    IntKey gone(0);
    EXPECT_EQ(tree.Remove(gone, scratch, false), 0);
  }
  FileAddress root_, leaf_;
};

TEST_F(DamagedTreeTest, WildCountsAndChildrenAreCorrupt) {
  const PortableInt32 big = 1000, negative = -3;
  const FileAddress wild = 100000;
  struct Damage {
    int32_t at;
    const void* bytes;
  } damages[] = {{int32_t(leaf_), &big},         // key count above capacity
                 {int32_t(leaf_), &negative},    // negative key count
                 {int32_t(root_) + 4, &wild},    // child outside the heap
                 {int32_t(leaf_) + 4, &root_}};  // child pointing back at the root
  const std::string sound = qtest::ReadBytes(Name());
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.at);
    Patch(Name(), d.at, d.bytes, 4);
    ExpectRefused(kDbFileCorrupt);
    qtest::WriteBytes(Name(), sound);
  }
}

TEST_F(DamagedTreeTest, ImpossibleHeaderIsRefusedAtOpen) {
  PortableInt32 entry_size = 9;
  Patch(Name(), 40 + 4, &entry_size, 4);
  BTreeIndex tree{IntKey(), 11, -1};
  EXPECT_EQ(tree.OpenFile(Name().c_str(), 2), kDbFileCorrupt);
  EXPECT_EQ(tree.Close(), 0);
  EXPECT_EQ(Le32(ReadAll(Name()), 44), 9);  // left as it was
}

TEST(KeyTextTest, CopyCutsAndPads) {
  char buffer[256];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(CopyKeyText(buffer, "abc", 0), 1);
  EXPECT_STREQ(buffer, "abc");
  for (size_t i = 3; i < 256; ++i) ASSERT_EQ(buffer[i], 0);
  std::string long_text(300, 'n');
  EXPECT_EQ(CopyKeyText(buffer, long_text.c_str(), 0), 0);
  EXPECT_EQ(std::string(buffer), std::string(255, 'n'));
  EXPECT_EQ(CopyKeyText(buffer, "abcdef", 2), 1);
  EXPECT_STREQ(buffer, "ab");
}

TEST(KeyTextTest, CaseFollowsTheFlag) {
  const int saved = CaseSensitiveKeys;
  CaseSensitiveKeys = 1;
  EXPECT_FALSE(KeyTextEquals("Alice", "alice"));
  EXPECT_TRUE(KeyTextGreater("alice", "Bob"));
  EXPECT_TRUE(KeyTextGreater("\xE9", "z"));  // unsigned bytes
  CaseSensitiveKeys = 0;
  EXPECT_TRUE(KeyTextEquals("Alice", "aLICE"));
  EXPECT_FALSE(KeyTextGreater("alice", "Bob"));
  EXPECT_TRUE(KeyTextGreater("A", "_"));  // letters fold to lower case
  EXPECT_TRUE(KeyTextGreater("ab", "A"));
  CaseSensitiveKeys = saved;
}

}  // namespace
