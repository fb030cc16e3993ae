// Insertion and removal: the two operations that change a BTreeIndex.
#include <cstring>
#include <vector>

#include "core/db/btree_index.h"

namespace {

// Insertion and removal use the caller's key object to carry the key they
// are placing or locating; the caller gets its key back unchanged.
class KeySnapshot {
 public:
  explicit KeySnapshot(IndexKey& key)
      : key_(key), child_(key.child), data_(key.KeyData(), key.KeyData() + key.KeySize()) {}
  ~KeySnapshot() {
    key_.child = child_;
    std::memcpy(key_.KeyData(), data_.data(), data_.size());
  }
  KeySnapshot(const KeySnapshot&) = delete;
  KeySnapshot& operator=(const KeySnapshot&) = delete;

 private:
  IndexKey& key_;
  FileAddress child_;
  std::vector<unsigned char> data_;
};

// A whole node entry (child address and key data) held outside any node.
std::vector<unsigned char> CopyEntry(const BTreeNode& node, int i) {
  return std::vector<unsigned char>(node.Entry(i), node.Entry(i) + node.EntrySize());
}

void SetChild(std::vector<unsigned char>& entry, FileAddress child) {
  std::memcpy(entry.data(), &child, sizeof child);
}

}  // namespace

int BTreeIndex::Insert(IndexKey& key, IndexKey& compare_key, bool flush) {
  if (!file_) return 0;
  KeySnapshot restore(key);
  stack_.Clear();
  BTreeNode node = NewNode();
  int index = -1;
  FileAddress address = header_.root;
  for (int depth = 0; int32_t(address) != 0; ++depth) {
    if (depth > kMaxDepth) return Fail(kDbFileCorrupt);
    if (ReadNodeAt(node, address)) return (stack_.Clear(), 0);
    if (!stack_.Push(address)) return (stack_.Clear(), Fail(kDbNoMemory));
    if (node.FindKeyLocation(key, compare_key, &index) == 0) {
      stack_.Clear();
      return Fail(kDbDuplicateEntry);
    }
    address = node.GetChild(index);
  }
  key.child = 0;  // a new key always goes into a leaf
  const int placed = PlaceEntry(node, stack_.Pop(), index + 1, key, compare_key);
  stack_.Clear();
  if (!placed) return 0;
  if (flush && Flush()) return 0;
  return 1;
}

// Puts key at position into node (stored at address), splitting full nodes
// upwards along the remembered path. 1 when the key is in the tree.
int BTreeIndex::PlaceEntry(BTreeNode& node, FileAddress address, int position, IndexKey& key,
                           IndexKey& compare_key) {
  const int order = BTreeNode::EffectiveOrder(header_.order);
  for (int level = 0;; ++level) {
    if (int32_t(address) == 0) return Fail(kDbInsertError);
    if (level > 0) {
      if (ReadNodeAt(node, address)) return 0;
      int index;
      node.FindKeyLocation(key, compare_key, &index);
      position = index + 1;
    }
    if (node.count < node.MaxEntries()) {
      node.InsertKey(key, position);
      if (node.WriteNode(*file_, address)) return 0;
      header_.key_count = header_.key_count + 1;
      return 1;
    }
    // Both new blocks are had before anything is written, so a failed
    // allocation leaves the tree as it was.
    const bool splitting_root = address == header_.root;
    FileAddress sibling_address = file_->Alloc(NodeSize(), kAllocFirstFit);
    if (int32_t(sibling_address) == 0) return 0;
    FileAddress new_root = 0;
    if (splitting_root) {
      new_root = file_->Alloc(NodeSize(), kAllocFirstFit);
      if (int32_t(new_root) == 0) {
        const int error = file_->LastError();
        file_->Delete(sibling_address, 1);
        return Fail(error);
      }
    }
    header_.node_count = header_.node_count + 1;
    BTreeNode sibling = NewNode();
    // The key goes to the half that leaves both halves with at least
    // (order - 1) / 2 entries, or is passed up itself.
    const int m = order / 2;
    if (position < m) {
      node.SplitInto(sibling, m - 1);
      node.InsertKey(key, position);
      sibling.GetKey(key, 0);
      sibling.DeleteKey(0);
    } else if (position > m) {
      node.SplitInto(sibling, m);
      std::vector<unsigned char> taken = CopyEntry(sibling, 0);
      sibling.DeleteKey(0);
      sibling.InsertKey(key, position - m - 1);
      std::memcpy(&key.child, taken.data(), 4);
      std::memcpy(key.KeyData(), taken.data() + 4, taken.size() - 4);
    } else {
      node.SplitInto(sibling, m);
    }
    sibling.left_child = key.child;
    key.child = sibling_address;
    if (sibling.WriteNode(*file_, sibling_address)) return 0;
    if (node.WriteNode(*file_, address)) return 0;
    if (splitting_root) {
      BTreeNode root = NewNode();
      root.left_child = address;
      root.InsertKey(key, 0);
      if (root.WriteNode(*file_, new_root)) return 0;
      header_.node_count = header_.node_count + 1;
      header_.height = header_.height + 1;
      header_.root = new_root;
      header_.key_count = header_.key_count + 1;
      return 1;
    }
    address = stack_.Pop();
  }
}

int BTreeIndex::Remove(IndexKey& key, IndexKey& compare_key, bool flush) {
  if (!file_) return 0;
  KeySnapshot restore(key);
  stack_.Clear();
  BTreeNode found = NewNode();
  int i = -1;
  FileAddress address = header_.root;
  for (int depth = 0;; ++depth) {
    if (int32_t(address) == 0) return (stack_.Clear(), Fail(kDbEntryNotFound));
    if (depth > kMaxDepth) return (stack_.Clear(), Fail(kDbFileCorrupt));
    if (ReadNodeAt(found, address)) return (stack_.Clear(), 0);
    if (found.FindKeyLocation(key, compare_key, &i) == 0) break;
    if (!stack_.Push(address)) return (stack_.Clear(), Fail(kDbNoMemory));
    address = found.GetChild(i);
  }
  BTreeNode leaf = NewNode();
  if (found.IsLeaf()) {
    found.DeleteKey(i);
    if (found.WriteNode(*file_, address)) return (stack_.Clear(), 0);
    leaf = found;
  } else {
    // Replace the key by its in-order successor, the first entry of the
    // leftmost leaf of the right subtree; that leaf loses one entry.
    if (!stack_.Push(address)) return (stack_.Clear(), Fail(kDbNoMemory));
    if (DescendLeft(leaf, found.GetChild(i), &stack_)) return (stack_.Clear(), 0);
    if (leaf.count == 0) return (stack_.Clear(), Fail(kDbFileCorrupt));
    std::vector<unsigned char> successor = CopyEntry(leaf, 0);
    leaf.DeleteKey(0);
    SetChild(successor, found.EntryChild(i));
    found.SetEntry(successor.data(), i);
    if (found.WriteNode(*file_, address) || leaf.WriteNode(*file_, leaf.address)) {
      return (stack_.Clear(), 0);
    }
    // From here on the successor locates nodes in their parents.
    std::memcpy(&key.child, successor.data(), 4);
    std::memcpy(key.KeyData(), successor.data() + 4, successor.size() - 4);
  }
  header_.key_count = header_.key_count - 1;
  const int ok = Rebalance(leaf, key, compare_key) && CollapseRoot(leaf);
  stack_.Clear();
  if (!ok) return 0;
  if (flush && Flush()) return 0;
  return 1;
}

// Restores the minimum fill from current upwards along the remembered path.
// On return current holds the last node handled.
int BTreeIndex::Rebalance(BTreeNode& current, IndexKey& key, IndexKey& compare_key) {
  while (current.IsUnderflowing() && current.address != header_.root) {
    FileAddress parent_address = stack_.Pop();
    if (int32_t(parent_address) == 0) return Fail(kDbFileCorrupt);
    BTreeNode parent = NewNode();
    if (ReadNodeAt(parent, parent_address)) return 0;
    int i;
    parent.FindKeyLocation(key, compare_key, &i);
    if (parent.count == 0 || parent.GetChild(i) != current.address) return Fail(kDbFileCorrupt);
    const int n = parent.count;
    BTreeNode other = NewNode();
    int ok;
    if (i == -1) {
      if (ReadNodeAt(other, parent.GetChild(0))) return 0;
      ok = other.CanLend() ? BorrowFromRight(parent, 0, current, other)
                           : Merge(parent, 0, current, other);
    } else if (i == n - 1) {
      if (ReadNodeAt(other, parent.GetChild(i - 1))) return 0;
      ok = other.CanLend() ? BorrowFromLeft(parent, i, other, current)
                           : Merge(parent, i, other, current);
    } else {
      if (ReadNodeAt(other, parent.GetChild(i - 1))) return 0;
      if (other.CanLend()) {
        ok = BorrowFromLeft(parent, i, other, current);
      } else {
        BTreeNode right = NewNode();
        if (ReadNodeAt(right, parent.GetChild(i + 1))) return 0;
        ok = right.CanLend() ? BorrowFromRight(parent, i + 1, current, right)
                             : Merge(parent, i, other, current);
      }
    }
    if (!ok) return 0;
    current = parent;
  }
  return 1;
}

// right is short: the separator comes down into it, left's last entry goes up.
int BTreeIndex::BorrowFromLeft(BTreeNode& parent, int k, BTreeNode& left, BTreeNode& right) {
  if (left.count == 0 || right.count >= right.MaxEntries()) return Fail(kDbFileCorrupt);
  std::vector<unsigned char> separator = CopyEntry(parent, k);
  SetChild(separator, right.left_child);
  right.InsertEntry(separator.data(), 0);
  const int last = left.count - 1;
  right.left_child = left.EntryChild(last);
  std::vector<unsigned char> lifted = CopyEntry(left, last);
  SetChild(lifted, right.address);
  parent.SetEntry(lifted.data(), k);
  left.DeleteKey(last);
  if (parent.WriteNode(*file_, parent.address) || right.WriteNode(*file_, right.address) ||
      left.WriteNode(*file_, left.address)) {
    return 0;
  }
  return 1;
}

// left is short: the separator comes down into it, right's first entry goes up.
int BTreeIndex::BorrowFromRight(BTreeNode& parent, int k, BTreeNode& left, BTreeNode& right) {
  if (right.count == 0) return Fail(kDbFileCorrupt);
  std::vector<unsigned char> separator = CopyEntry(parent, k);
  SetChild(separator, right.left_child);
  if (!left.AppendEntry(separator.data())) return Fail(kDbFileCorrupt);
  right.left_child = right.EntryChild(0);
  std::vector<unsigned char> lifted = CopyEntry(right, 0);
  SetChild(lifted, right.address);
  parent.SetEntry(lifted.data(), k);
  right.DeleteKey(0);
  if (parent.WriteNode(*file_, parent.address) || left.WriteNode(*file_, left.address) ||
      right.WriteNode(*file_, right.address)) {
    return 0;
  }
  return 1;
}

// The separator and all of right join left; right's block is freed.
int BTreeIndex::Merge(BTreeNode& parent, int k, BTreeNode& left, BTreeNode& right) {
  if (left.count + 1 + right.count > left.MaxEntries()) return Fail(kDbFileCorrupt);
  std::vector<unsigned char> separator = CopyEntry(parent, k);
  SetChild(separator, right.left_child);
  left.AppendEntry(separator.data());
  left.Append(right);
  parent.DeleteKey(k);
  if (!file_->Delete(right.address, 1)) {
    return Fail(file_->LastError() ? file_->LastError() : int(kDbFileCorrupt));
  }
  header_.node_count = header_.node_count - 1;
  if (parent.WriteNode(*file_, parent.address) || left.WriteNode(*file_, left.address)) return 0;
  return 1;
}

// An empty root above height 1 gives way to its only child.
int BTreeIndex::CollapseRoot(BTreeNode& current) {
  BTreeNode root = NewNode();
  if (current.address == header_.root) {
    root = current;
  } else if (ReadNodeAt(root, header_.root)) {
    return 0;
  }
  if (root.count != 0 || header_.height <= 1) return 1;
  if (root.IsLeaf()) return Fail(kDbFileCorrupt);
  FileAddress old_root = header_.root;
  header_.root = root.left_child;
  header_.node_count = header_.node_count - 1;
  header_.height = header_.height - 1;
  if (!file_->Delete(old_root, 1)) {
    return Fail(file_->LastError() ? file_->LastError() : int(kDbFileCorrupt));
  }
  return 1;
}
