#include "core/db/btree_node.h"

#include <cstring>

#include "core/db/database_file.h"

namespace {

struct NodeHead {
  PortableInt32 count;
  FileAddress left_child;
};
static_assert(sizeof(NodeHead) == 8, "node head is 8 bytes");

}  // namespace

BTreeNode::BTreeNode(int32_t order, int32_t entry_size)
    : max_entries_(EffectiveOrder(order) - 1),
      entry_size_(entry_size),
      buffer_(size_t(max_entries_) * size_t(entry_size)) {}

int BTreeNode::ReadNode(DatabaseFile& file, FileAddress at) {
  NodeHead head;
  if (int rc = file.Read(&head, sizeof head, at)) return rc;
  const int32_t n = head.count;
  if (n < 0 || n > max_entries_) {
    file.SetLastError(kDbFileCorrupt);
    return kDbFileCorrupt;
  }
  if (int rc = file.Read(buffer_.data(), size_t(n) * entry_size_, -1)) return rc;
  count = n;
  left_child = head.left_child;
  address = at;
  return 0;
}

int BTreeNode::WriteNode(DatabaseFile& file, FileAddress at) {
  NodeHead head;
  head.count = count;
  head.left_child = left_child;
  if (int rc = file.Write(&head, sizeof head, at, false, false)) return rc;
  return file.Write(buffer_.data(), size_t(count) * entry_size_, -1, false, false);
}

int BTreeNode::FindKeyLocation(const IndexKey& key, IndexKey& compare_key, int* index) const {
  for (int i = count - 1; i >= 0; --i) {
    GetKey(compare_key, i);
    if (key.GreaterThan(compare_key)) {
      *index = i;
      return 1;
    }
    if (key.Equals(compare_key)) {
      *index = i;
      return 0;
    }
  }
  *index = -1;
  return -1;
}

FileAddress BTreeNode::EntryChild(int i) const {
  FileAddress child;
  std::memcpy(&child, Entry(i), sizeof child);
  return child;
}

void BTreeNode::SetEntryChild(int i, FileAddress child) {
  std::memcpy(&buffer_[size_t(i) * entry_size_], &child, sizeof child);
}

void BTreeNode::GetKey(IndexKey& key, int i) const {
  key.child = EntryChild(i);
  std::memcpy(key.KeyData(), Entry(i) + 4, size_t(entry_size_) - 4);
}

void BTreeNode::SetKey(const IndexKey& key, int i) {
  unsigned char* e = &buffer_[size_t(i) * entry_size_];
  std::memcpy(e, &key.child, 4);
  std::memcpy(e + 4, key.KeyData(), size_t(entry_size_) - 4);
}

void BTreeNode::InsertKey(const IndexKey& key, int i) {
  InsertEntry(nullptr, i);
  SetKey(key, i);
}

void BTreeNode::InsertEntry(const unsigned char* entry, int i) {
  unsigned char* base = buffer_.data();
  std::memmove(base + size_t(i + 1) * entry_size_, base + size_t(i) * entry_size_,
               size_t(count - i) * entry_size_);
  ++count;
  if (entry) SetEntry(entry, i);
}

void BTreeNode::SetEntry(const unsigned char* entry, int i) {
  std::memmove(&buffer_[size_t(i) * entry_size_], entry, size_t(entry_size_));
}

bool BTreeNode::AppendEntry(const unsigned char* entry) {
  if (count >= max_entries_) return false;
  InsertEntry(entry, count);
  return true;
}

void BTreeNode::DeleteKey(int i) {
  --count;
  unsigned char* base = buffer_.data();
  std::memmove(base + size_t(i) * entry_size_, base + size_t(i + 1) * entry_size_,
               size_t(count - i) * entry_size_);
}

void BTreeNode::SplitInto(BTreeNode& sibling, int m) {
  const int moved = count - m;
  std::memcpy(sibling.buffer_.data(), Entry(m), size_t(moved) * entry_size_);
  sibling.count = moved;
  count = m;
}

bool BTreeNode::Append(const BTreeNode& other) {
  if (count + other.count > max_entries_) return false;
  std::memcpy(&buffer_[size_t(count) * entry_size_], other.buffer_.data(),
              size_t(other.count) * entry_size_);
  count += other.count;
  return true;
}
