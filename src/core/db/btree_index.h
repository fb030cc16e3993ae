#ifndef QUILLO_CORE_DB_BTREE_INDEX_H
#define QUILLO_CORE_DB_BTREE_INDEX_H

#include <cstdint>
#include <memory>
#include <vector>

#include "core/db/address_stack.h"
#include "core/db/btree_node.h"
#include "core/db/database_file.h"
#include "core/db/index_key.h"

// The 28-byte header of one tree, kept in the index file's static area.
struct BTreeHeader {
  PortableInt32 order;       // a node holds order - 1 entries at most
  PortableInt32 entry_size;  // KeySize() + 4
  PortableInt32 key_count;
  PortableInt32 node_count;
  PortableInt32 height;  // levels of nodes
  FileAddress root;
  PortableInt32 reserved;  // set at construction, never changed
};
static_assert(sizeof(BTreeHeader) == 28, "tree header is 28 bytes");

// A set of unique keys in key order, kept as a B-tree in a database file of
// its own. Nodes are blocks of that file, addressed by object address; every
// change is written through one node at a time (node writes are neither
// flushed nor verified); the header reaches the file through Flush() and
// Close(). Operations leave their failure code in the index file's last
// error.
//
// The tree refuses what a sound file cannot hold: a header whose entry size
// differs from the key's, an impossible order or height, node addresses
// outside the heap, node counts above capacity and paths deeper than any
// real tree (error 15), so a damaged file never overruns a buffer or loops.
//
// Owns its DatabaseFile; destruction closes the tree, writing its header.
// One thread at a time.
class BTreeIndex {
 public:
  BTreeIndex(const IndexKey& key_prototype, int32_t node_order, int32_t reserved);
  virtual ~BTreeIndex();
  BTreeIndex(const BTreeIndex&) = delete;
  BTreeIndex& operator=(const BTreeIndex&) = delete;

  // The file system calls of the files CreateFile and OpenFile make; null
  // (the default) means POSIX. Not owned.
  void SetFileIo(FileIo* io) { io_ = io; }

  // Results are database error codes, 0 = success.
  int CreateFile(const char* name, int32_t tree_count);
  int OpenFile(const char* name, int access_mode);
  int Init(std::unique_ptr<DatabaseFile> file, bool is_new, FileAddress header_address);
  int Init(bool is_new, FileAddress header_address);
  int Close();
  int WriteHeader();
  int ReadHeader();
  int Flush();
  int ReloadHeader(bool flush_first);
  // 0 when the stored header equals the one in memory, else the number
  // (1..7) of the last differing field; 8 when it cannot be read.
  int TestHeader(bool reload);

  // 1 on success, 0 on failure (reason in the file's last error).
  int Insert(IndexKey& key, IndexKey& compare_key, bool flush);
  int Remove(IndexKey& key, IndexKey& compare_key, bool flush);
  int Find(IndexKey& key, IndexKey& compare_key, bool test_header);
  int FindFirst(IndexKey& key, bool test_header);
  // 0 with LastError() 0 after the last key; 0 with an error code when the
  // walk failed (a damaged tree, or key not in it).
  int FindNext(IndexKey& key, IndexKey& compare_key, bool test_header);

  DatabaseFile* File() { return file_.get(); }
  const BTreeHeader& Header() const { return header_; }
  FileAddress HeaderAddress() const { return header_address_; }
  int32_t NodeSize() const { return BTreeNode::NodeSize(header_.order, header_.entry_size); }
  // The file's last error; 28 without a file.
  int LastError() const { return file_ ? file_->LastError() : kDbNoDatabase; }

  // Deeper paths than this cannot occur in a file of at most 2 GB.
  static constexpr int kMaxDepth = 64;
  static constexpr int32_t kMaxOrder = 4096;

 private:
  int Fail(int code);
  BTreeNode NewNode() const { return BTreeNode(header_.order, header_.entry_size); }
  bool IsNodeAddress(FileAddress address);
  int ReadNodeAt(BTreeNode& node, FileAddress address);
  bool HeaderIsSound(const BTreeHeader& header) const;
  int DescendLeft(BTreeNode& node, FileAddress address, AddressStack* path);

  // Insertion and removal steps.
  int PlaceEntry(BTreeNode& node, FileAddress address, int position, IndexKey& key,
                 IndexKey& compare_key);
  int Rebalance(BTreeNode& current, IndexKey& key, IndexKey& compare_key);
  int BorrowFromLeft(BTreeNode& parent, int k, BTreeNode& left, BTreeNode& right);
  int BorrowFromRight(BTreeNode& parent, int k, BTreeNode& left, BTreeNode& right);
  int Merge(BTreeNode& parent, int k, BTreeNode& left, BTreeNode& right);
  int CollapseRoot(BTreeNode& current);

  int32_t key_size_;
  FileIo* io_ = nullptr;
  std::unique_ptr<DatabaseFile> file_;
  FileAddress header_address_ = 0;
  BTreeHeader header_{};
  bool header_loaded_ = false;  // header_ holds a tree's header, not just defaults
  AddressStack stack_;
};

#endif  // QUILLO_CORE_DB_BTREE_INDEX_H
