#ifndef QUILLO_CORE_DB_BTREE_NODE_H
#define QUILLO_CORE_DB_BTREE_NODE_H

#include <cstdint>
#include <vector>

#include "core/db/index_key.h"
#include "core/db/portable_int.h"

class DatabaseFile;

// One node of a BTreeIndex, in memory for the length of one operation.
//
// Stored form, at the node's object address in the index file: the key
// count n and the left child (two PortableInt32), then n entries of
// entry_size bytes, each a child address followed by the key data. The block
// is allocated for a full node (NodeSize()); only the used entries are
// written. A node is a leaf exactly when its left child is 0.
//
// Invariant: 0 <= count <= MaxEntries(); ReadNode refuses a stored count
// outside that range (error 15), so the entry buffer is never overrun.
class BTreeNode {
 public:
  // An order below 5 counts as 5.
  BTreeNode(int32_t order, int32_t entry_size);

  static int32_t EffectiveOrder(int32_t order) { return order < 5 ? 5 : order; }
  static int32_t NodeSize(int32_t order, int32_t entry_size) {
    return entry_size * (EffectiveOrder(order) - 1) + 8;
  }

  // 0 or the file's error; 15 when the stored count is impossible.
  int ReadNode(DatabaseFile& file, FileAddress address);
  // address -1 writes at the current position. No flush, no verify.
  int WriteNode(DatabaseFile& file, FileAddress address);

  // 1: key belongs after entry *index; 0: found at *index; -1: below every
  // entry (*index = -1). compare_key holds the last entry compared.
  int FindKeyLocation(const IndexKey& key, IndexKey& compare_key, int* index) const;
  void GetKey(IndexKey& key, int i) const;
  void SetKey(const IndexKey& key, int i);
  // Callers ensure room (Count() < MaxEntries()).
  void InsertKey(const IndexKey& key, int i);
  void DeleteKey(int i);
  // The sibling receives entries m .. n-1; this node keeps 0 .. m-1.
  void SplitInto(BTreeNode& sibling, int m);
  // false, changing nothing, when the entries would not fit.
  bool Append(const BTreeNode& other);

  // Raw entries, used when nodes trade entries among themselves.
  const unsigned char* Entry(int i) const { return &buffer_[size_t(i) * entry_size_]; }
  void InsertEntry(const unsigned char* entry, int i);
  void SetEntry(const unsigned char* entry, int i);
  bool AppendEntry(const unsigned char* entry);
  FileAddress EntryChild(int i) const;
  void SetEntryChild(int i, FileAddress child);

  // i = -1: the left child; else the child of entry i.
  FileAddress GetChild(int i) const { return i < 0 ? left_child : EntryChild(i); }
  bool IsLeaf() const { return int32_t(left_child) == 0; }
  bool IsUnderflowing() const { return count < max_entries_ / 2; }
  bool CanLend() const { return count > max_entries_ / 2; }
  int MaxEntries() const { return max_entries_; }
  int EntrySize() const { return entry_size_; }
  int Count() const { return count; }

  int count = 0;
  FileAddress left_child = 0;
  FileAddress address = -1;

 private:
  int max_entries_;
  int entry_size_;
  std::vector<unsigned char> buffer_;
};

#endif  // QUILLO_CORE_DB_BTREE_NODE_H
