#include "core/db/btree_index.h"

#include <cstdint>
#include <new>

BTreeIndex::BTreeIndex(const IndexKey& key_prototype, int32_t node_order, int32_t reserved)
    : key_size_(key_prototype.KeySize()) {
  header_.order = node_order;
  header_.entry_size = key_size_ + 4;
  header_.reserved = reserved;
}

BTreeIndex::~BTreeIndex() { Close(); }

int BTreeIndex::Fail(int code) {
  if (file_) file_->SetLastError(code);
  return 0;
}

int BTreeIndex::CreateFile(const char* name, int32_t tree_count) {
  if (int rc = Close()) return rc;
  std::unique_ptr<DatabaseFile> file(new (std::nothrow) DatabaseFile(io_));
  if (!file) return kDbNoMemory;
  if (tree_count < 1) tree_count = 1;
  // The file is kept even when it fails, so that LastError() tells why.
  file_ = std::move(file);
  const int64_t area = int64_t(tree_count) * int64_t(sizeof(BTreeHeader));
  if (int rc = file_->Create(name, area > INT32_MAX ? -1 : int32_t(area), 'C')) return rc;
  return Init(true, file_->FileHeaderSize());
}

int BTreeIndex::OpenFile(const char* name, int access_mode) {
  if (int rc = Close()) return rc;
  std::unique_ptr<DatabaseFile> file(new (std::nothrow) DatabaseFile(io_));
  if (!file) return kDbNoMemory;
  file_ = std::move(file);
  if (int rc = file_->Open(name, access_mode)) return rc;
  return Init(false, file_->FileHeaderSize());
}

int BTreeIndex::Init(std::unique_ptr<DatabaseFile> file, bool is_new, FileAddress header_address) {
  file_ = std::move(file);
  return Init(is_new, header_address);
}

int BTreeIndex::Init(bool is_new, FileAddress header_address) {
  if (!file_) return kDbNoDatabase;
  header_address_ = header_address;
  header_loaded_ = false;
  if (!is_new) return ReadHeader();
  if (header_.order < 2 || int32_t(header_.order) > kMaxOrder) {
    file_->SetLastError(kDbFileCorrupt);
    return kDbFileCorrupt;
  }
  FileAddress root = file_->Alloc(NodeSize(), kAllocFirstFit);
  if (int32_t(root) == 0) return file_->LastError();
  header_.key_count = 0;
  header_.node_count = 1;
  header_.height = 1;
  header_.root = root;
  header_loaded_ = true;
  if (int rc = WriteHeader()) return rc;
  BTreeNode node = NewNode();
  return node.WriteNode(*file_, root);
}

int BTreeIndex::Close() {
  if (!file_) return 0;
  if (int rc = WriteHeader()) return rc;
  file_.reset();
  return 0;
}

int BTreeIndex::WriteHeader() {
  // A header that was never read or made is not written over the stored one.
  if (!file_ || !header_loaded_ || !file_->IsWritable() || !file_->IsReady()) return 0;
  return file_->Write(&header_, sizeof header_, header_address_, true, true);
}

bool BTreeIndex::HeaderIsSound(const BTreeHeader& h) const {
  const int64_t root = int32_t(h.root);
  const int32_t order = h.order;
  const int32_t height = h.height;
  return int32_t(h.entry_size) == key_size_ + 4 && order >= 2 && order <= kMaxOrder &&
         height >= 1 && height <= kMaxDepth && int32_t(h.key_count) >= 0 &&
         root - file_->BlockHeaderSize() >= int64_t(int32_t(file_->Header().heap_start));
}

int BTreeIndex::ReadHeader() {
  if (!file_) return kDbNoDatabase;
  BTreeHeader stored;
  if (int rc = file_->Read(&stored, sizeof stored, header_address_)) return rc;
  if (!HeaderIsSound(stored)) {
    file_->SetLastError(kDbFileCorrupt);
    return kDbFileCorrupt;
  }
  header_ = stored;
  header_loaded_ = true;
  return 0;
}

int BTreeIndex::Flush() {
  if (!file_) return kDbNoDatabase;
  if (int rc = WriteHeader()) return rc;
  return file_->Flush();
}

int BTreeIndex::ReloadHeader(bool flush_first) {
  if (flush_first) {
    if (int rc = Flush()) return rc;
  }
  return ReadHeader();
}

int BTreeIndex::TestHeader(bool reload) {
  if (!file_) return 8;
  file_->DiscardBuffer();
  BTreeHeader stored;
  if (file_->Read(&stored, sizeof stored, header_address_)) return 8;
  const PortableInt32* disk = &stored.order;
  const PortableInt32* memory = &header_.order;
  int last = 0;
  for (int field = 0; field < 7; ++field) {
    if (disk[field] != memory[field]) {
      last = field + 1;
      if (reload && ReloadHeader(false) != 0) return 8;
    }
  }
  return last;
}

bool BTreeIndex::IsNodeAddress(FileAddress address) {
  const int64_t object = int32_t(address);
  const int64_t block = object - file_->BlockHeaderSize();
  const int64_t length = int64_t(NodeSize()) + file_->BlockOverhead();
  if (file_->IsPlausibleBlock(block, length)) return true;
  // Another writer may have grown the file since the header was read.
  file_->GetEndOfFile();
  return file_->IsPlausibleBlock(block, length);
}

int BTreeIndex::ReadNodeAt(BTreeNode& node, FileAddress address) {
  if (!IsNodeAddress(address)) {
    file_->SetLastError(kDbFileCorrupt);
    return kDbFileCorrupt;
  }
  return node.ReadNode(*file_, address);
}

int BTreeIndex::DescendLeft(BTreeNode& node, FileAddress address, AddressStack* path) {
  for (int depth = 0;; ++depth) {
    if (depth > kMaxDepth) {
      file_->SetLastError(kDbFileCorrupt);
      return kDbFileCorrupt;
    }
    if (int rc = ReadNodeAt(node, address)) return rc;
    if (node.IsLeaf()) return 0;
    if (path && !path->Push(address)) {
      file_->SetLastError(kDbNoMemory);
      return kDbNoMemory;
    }
    address = node.left_child;
  }
}

int BTreeIndex::Find(IndexKey& key, IndexKey& compare_key, bool test_header) {
  if (!file_) return 0;
  if (test_header) TestHeader(true);
  BTreeNode node = NewNode();
  FileAddress address = header_.root;
  for (int depth = 0; int32_t(address) != 0; ++depth) {
    if (depth > kMaxDepth) return Fail(kDbFileCorrupt);
    if (ReadNodeAt(node, address)) return 0;
    int index;
    if (node.FindKeyLocation(key, compare_key, &index) == 0) {
      node.GetKey(key, index);
      return 1;
    }
    address = node.GetChild(index);
  }
  return Fail(kDbEntryNotFound);
}

int BTreeIndex::FindFirst(IndexKey& key, bool test_header) {
  if (!file_) return 0;
  if (test_header) TestHeader(true);
  if (int32_t(header_.key_count) == 0) return Fail(kDbEntryNotFound);
  BTreeNode node = NewNode();
  if (DescendLeft(node, header_.root, nullptr)) return 0;
  if (node.count == 0) return Fail(kDbEntryNotFound);
  node.GetKey(key, 0);
  return 1;
}

int BTreeIndex::FindNext(IndexKey& key, IndexKey& compare_key, bool test_header) {
  if (!file_) return 0;
  if (test_header) TestHeader(true);
  BTreeNode node = NewNode();
  FileAddress remembered_node = 0;
  int remembered_index = 0;
  FileAddress address = header_.root;
  for (int depth = 0; int32_t(address) != 0; ++depth) {
    if (depth > kMaxDepth) return Fail(kDbFileCorrupt);
    if (ReadNodeAt(node, address)) return 0;
    int i;
    if (node.FindKeyLocation(key, compare_key, &i) != 0) {
      if (i < node.count - 1) {
        remembered_node = address;
        remembered_index = i;
      }
      address = node.GetChild(i);
      continue;
    }
    if (int32_t(node.GetChild(i)) != 0) {
      if (DescendLeft(node, node.GetChild(i), nullptr)) return 0;
      if (node.count == 0) return Fail(kDbEntryNotFound);
      node.GetKey(key, 0);
      return 1;
    }
    if (i < node.count - 1) {
      node.GetKey(key, i + 1);
      return 1;
    }
    // The last key: the end of the walk, which is no failure.
    if (int32_t(remembered_node) == 0) return Fail(kDbNoError);
    if (ReadNodeAt(node, remembered_node)) return 0;
    if (remembered_index + 1 >= node.count) return Fail(kDbEntryNotFound);
    node.GetKey(key, remembered_index + 1);
    return 1;
  }
  return Fail(kDbEntryNotFound);
}
