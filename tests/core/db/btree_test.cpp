#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/db/btree_index.h"
#include "core/db/db_test_keys.h"
#include "support/test_support.h"

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
  if (node.ReadNode(*tree.File(), address) != 0) return shape.faults.push_back("unreadable node");
  ++shape.nodes;
  const int minimum = (BTreeNode::EffectiveOrder(h.order) - 1) / 2;
  if (address != h.root && node.count < minimum) shape.faults.push_back("underfull node");
  if (node.IsLeaf() && shape.leaf_depth == -1) shape.leaf_depth = depth;
  if (node.IsLeaf() && shape.leaf_depth != depth) shape.faults.push_back("uneven leaves");
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

// The stored tree is balanced, ordered, holds exactly the reference, its
// header counts agree, and FindFirst + FindNext walk the reference.
void ExpectSound(BTreeIndex& tree, const std::set<int32_t>& reference) {
  Shape shape;
  WalkNode(tree, tree.Header().root, 0, shape);
  ASSERT_TRUE(shape.faults.empty()) << shape.faults.front();
  const std::vector<int32_t> expected(reference.begin(), reference.end());
  EXPECT_EQ(expected, shape.keys);
  EXPECT_EQ(int32_t(tree.Header().key_count), int32_t(reference.size()));
  EXPECT_EQ(int32_t(tree.Header().node_count), shape.nodes);
  EXPECT_EQ(int32_t(tree.Header().height), shape.leaf_depth + 1);
  IntKey key, scratch;
  std::vector<int32_t> walked;
  for (int found = tree.FindFirst(key, false); found; found = tree.FindNext(key, scratch, false)) {
    ASSERT_EQ(found, 1);
    walked.push_back(key.Value());
  }
  EXPECT_EQ(expected, walked);
}

class BTreeTest : public ::testing::Test {
 protected:
  std::unique_ptr<BTreeIndex> NewTree(int32_t order, int keys = 0) {
    auto tree = std::make_unique<BTreeIndex>(IntKey(), order, -1);
    EXPECT_EQ(tree->CreateFile(Name().c_str(), 1), 0);
    for (int v = 0; v < keys; ++v) EXPECT_TRUE(Insert(*tree, v));
    return tree;
  }
  std::string Name() const { return dir_.File("tree.idx"); }
  static bool Insert(BTreeIndex& tree, int32_t v) {
    IntKey key(v), scratch;
    return tree.Insert(key, scratch, false) == 1;
  }
  static bool Remove(BTreeIndex& tree, int32_t v) {
    IntKey key(v), scratch;
    return tree.Remove(key, scratch, false) == 1;
  }
  static BTreeNode Node(BTreeIndex& tree, FileAddress address) {
    BTreeNode node(tree.Header().order, tree.Header().entry_size);
    EXPECT_EQ(node.ReadNode(*tree.File(), address), 0);
    return node;
  }
  qtest::ScratchDir dir_;
};

TEST_F(BTreeTest, EmptyTreeDuplicatesAndFind) {
  auto tree = NewTree(11);
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
  IntKey probe(42);
  probe.child = 999;
  ASSERT_EQ(tree->Find(probe, scratch, true), 1);
  EXPECT_EQ(int32_t(probe.child), 0);
  EXPECT_EQ(tree->FindNext(probe, scratch, false), 0);
  IntKey absent(41);
  EXPECT_EQ(tree->FindNext(absent, scratch, false), 0);
  EXPECT_EQ(tree->LastError(), kDbEntryNotFound);
}

TEST_F(BTreeTest, BorrowMergeAndRootCollapse) {
  auto tree = NewTree(11, 12);
  std::set<int32_t> reference{2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  // Leaves 0..4 and 6..11: the left one borrows from the right.
  ASSERT_TRUE(Remove(*tree, 0));
  BTreeNode root = Node(*tree, tree->Header().root);
  EXPECT_EQ(Node(*tree, root.left_child).count, 5);
  EXPECT_EQ(Node(*tree, root.GetChild(0)).count, 5);
  // Now neither can lend: a merge, which empties the root.
  const FileAddress old_root = tree->Header().root, right = root.GetChild(0);
  ASSERT_TRUE(Remove(*tree, 1));
  EXPECT_EQ(int32_t(tree->Header().height), 1);
  EXPECT_TRUE(tree->Header().root == root.left_child);
  ExpectSound(*tree, reference);
  for (FileAddress freed : {right, old_root}) {
    DatabaseBlockHeader block;
    ASSERT_EQ(tree->File()->ReadBlockHeader(block, int32_t(freed) - 28), 0);
    EXPECT_EQ(uint32_t(block.status), kBlockRemoved);
  }
  // Freed node blocks are reused by later splits: of the five nodes a root
  // and five leaves need beyond the one there, two come from the free list.
  const int32_t end = tree->File()->Header().end_of_file;
  for (int v = 100; v < 120; ++v) ASSERT_TRUE(Insert(*tree, v));
  EXPECT_EQ(int32_t(tree->Header().node_count), 6);
  EXPECT_EQ(int32_t(tree->File()->Header().end_of_file), end + 3 * (tree->NodeSize() + 32));
}

// Thousands of random insertions and removals against a std::set, for odd
// and even orders, with key ranges wide enough for deep trees: every split,
// borrow and merge position leaves a sound tree.
TEST_F(BTreeTest, RandomAgainstReference) {
  const int runs[][3] = {{11, 4000, 700}, {5, 4000, 500}, {8, 3000, 400}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run[0]);
    auto tree = NewTree(run[0]);
    std::mt19937 random{unsigned(run[0])};
    std::set<int32_t> reference;
    for (int step = 0; step < run[1] && !HasFailure(); ++step) {
      const int32_t v = int32_t(random() % unsigned(run[2]));
      const bool insert = random() % 100 < 55;
      const int expected = insert ? !reference.count(v) : int(reference.count(v));
      ASSERT_EQ(insert ? Insert(*tree, v) : Remove(*tree, v), expected) << step;
      insert ? void(reference.insert(v)) : void(reference.erase(v));
      IntKey probe(v), scratch;
      EXPECT_EQ(tree->Find(probe, scratch, false), insert ? 1 : 0) << step;
      if (step % 20 == 0 || step > run[1] - 50) ExpectSound(*tree, reference);
    }
    ASSERT_EQ(tree->Close(), 0);
    ASSERT_EQ(tree->OpenFile(Name().c_str(), 2), 0);
    ExpectSound(*tree, reference);
    for (int32_t v : std::set<int32_t>(reference)) ASSERT_TRUE(Remove(*tree, v));
    EXPECT_EQ(int32_t(tree->Header().height), 1);
    EXPECT_EQ(Node(*tree, tree->Header().root).count, 0);
  }
}

TEST_F(BTreeTest, TestHeaderNoticesAnotherWriter) {
  auto tree = NewTree(11, 1);
  ASSERT_EQ(tree->Flush(), 0);
  BTreeIndex other{IntKey(), 11, -1};
  ASSERT_EQ(other.OpenFile(Name().c_str(), 2), 0);
  ASSERT_TRUE(Insert(other, 2));
  ASSERT_EQ(other.Flush(), 0);
  EXPECT_EQ(tree->TestHeader(false), 3);
  EXPECT_EQ(tree->TestHeader(true), 3);
  EXPECT_EQ(int32_t(tree->Header().key_count), 2);
  EXPECT_EQ(tree->TestHeader(true), 0);
  IntKey probe(2), scratch;
  EXPECT_EQ(tree->Find(probe, scratch, true), 1);
}

// Every search and change on a damaged file fails without a hang.
TEST_F(BTreeTest, DamagedNodesAndHeadersAreRefused) {
  FileAddress root, leaf;
  {
    auto tree = NewTree(11, 40);
    root = tree->Header().root;
    leaf = Node(*tree, tree->Header().root).left_child;
  }
  const PortableInt32 big = 1000, negative = -3;
  const FileAddress wild = 100000;
  const std::pair<int32_t, const void*> damages[] = {
      {int32_t(leaf), &big},        // key count above capacity
      {int32_t(leaf), &negative},   // negative key count
      {int32_t(root) + 4, &wild},   // child outside the heap
      {int32_t(leaf) + 4, &root}};  // child pointing back at the root
  const std::string sound = qtest::ReadBytes(Name());
  for (const auto& d : damages) {
    SCOPED_TRACE(d.first);
    qtest::WriteBytes(Name(), sound);
    qtest::Patch(Name(), d.first, d.second, 4);
    BTreeIndex tree{IntKey(), 11, -1};
    ASSERT_EQ(tree.OpenFile(Name().c_str(), 2), 0);
    IntKey key(-5), scratch;
    EXPECT_EQ(tree.Find(key, scratch, false), 0);
    EXPECT_EQ(tree.LastError(), kDbFileCorrupt);
    EXPECT_EQ(tree.FindFirst(key, false), 0);
    EXPECT_FALSE(Insert(tree, -1));
    EXPECT_FALSE(Remove(tree, 0));
  }
  PortableInt32 entry_size = 9;
  qtest::Patch(Name(), 40 + 4, &entry_size, 4);
  BTreeIndex tree{IntKey(), 11, -1};
  EXPECT_EQ(tree.OpenFile(Name().c_str(), 2), kDbFileCorrupt);
  EXPECT_EQ(tree.Close(), 0);
  EXPECT_EQ(qtest::Le32(qtest::ReadAll(Name()), 44), 9);  // left as it was
}

}  // namespace
