#include "core/db/btree_node.h"

#include <cstring>

#include "core/db/database_file.h"

namespace {

struct NodeHead {
  PortableInt32 count;
  FileAddress leftChild;
};
static_assert(sizeof(NodeHead) == 8, "node head is 8 bytes");

}  // namespace

BTreeNode::BTreeNode(int32_t order, int32_t entrySize)
    : maxEntries_(EffectiveOrder(order) - 1),
      entrySize_(entrySize),
      buffer_(size_t(maxEntries_) * size_t(entrySize)) {}

int BTreeNode::ReadNode(DatabaseFile& file, FileAddress at) {
  NodeHead head;
  if (int rc = file.Read(&head, sizeof head, at)) return rc;
  const int32_t n = head.count;
  if (n < 0 || n > maxEntries_) {
    file.SetLastError(kDbFileCorrupt);
    return kDbFileCorrupt;
  }
  if (int rc = file.Read(buffer_.data(), size_t(n) * entrySize_, -1)) return rc;
  count = n;
  leftChild = head.leftChild;
  address = at;
  return 0;
}

int BTreeNode::WriteNode(DatabaseFile& file, FileAddress at) {
  NodeHead head;
  head.count = count;
  head.leftChild = leftChild;
  if (int rc = file.Write(&head, sizeof head, at, false, false)) return rc;
  return file.Write(buffer_.data(), size_t(count) * entrySize_, -1, false, false);
}

int BTreeNode::FindKeyLocation(const IndexKey& key, IndexKey& compareKey, int* index) const {
  for (int i = count - 1; i >= 0; --i) {
    GetKey(compareKey, i);
    if (key.GreaterThan(compareKey)) {
      *index = i;
      return 1;
    }
    if (key.Equals(compareKey)) {
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
  std::memcpy(&buffer_[size_t(i) * entrySize_], &child, sizeof child);
}

void BTreeNode::GetKey(IndexKey& key, int i) const {
  key.child = EntryChild(i);
  std::memcpy(key.KeyData(), Entry(i) + 4, size_t(entrySize_) - 4);
}

void BTreeNode::SetKey(const IndexKey& key, int i) {
  unsigned char* e = &buffer_[size_t(i) * entrySize_];
  std::memcpy(e, &key.child, 4);
  std::memcpy(e + 4, key.KeyData(), size_t(entrySize_) - 4);
}

void BTreeNode::InsertKey(const IndexKey& key, int i) {
  InsertEntry(nullptr, i);
  SetKey(key, i);
}

void BTreeNode::InsertEntry(const unsigned char* entry, int i) {
  unsigned char* base = buffer_.data();
  std::memmove(base + size_t(i + 1) * entrySize_, base + size_t(i) * entrySize_,
               size_t(count - i) * entrySize_);
  ++count;
  if (entry) SetEntry(entry, i);
}

void BTreeNode::SetEntry(const unsigned char* entry, int i) {
  std::memmove(&buffer_[size_t(i) * entrySize_], entry, size_t(entrySize_));
}

bool BTreeNode::AppendEntry(const unsigned char* entry) {
  if (count >= maxEntries_) return false;
  InsertEntry(entry, count);
  return true;
}

void BTreeNode::DeleteKey(int i) {
  --count;
  unsigned char* base = buffer_.data();
  std::memmove(base + size_t(i) * entrySize_, base + size_t(i + 1) * entrySize_,
               size_t(count - i) * entrySize_);
}

void BTreeNode::SplitInto(BTreeNode& sibling, int m) {
  const int moved = count - m;
  std::memcpy(sibling.buffer_.data(), Entry(m), size_t(moved) * entrySize_);
  sibling.count = moved;
  count = m;
}

bool BTreeNode::Append(const BTreeNode& other) {
  if (count + other.count > maxEntries_) return false;
  std::memcpy(&buffer_[size_t(count) * entrySize_], other.buffer_.data(),
              size_t(other.count) * entrySize_);
  count += other.count;
  return true;
}
