#include "core/db/indexed_database.h"

#include <sys/stat.h>

#include <new>

namespace {

bool FileExists(const char* name) {
  struct stat st {};
  return stat(name, &st) == 0;
}

}  // namespace

IndexedDatabase::IndexedDatabase() = default;
IndexedDatabase::~IndexedDatabase() = default;

bool IndexedDatabase::MakeTable(int slots) {
  if (slots > IndexTable::kMaxSlots) slots = IndexTable::kMaxSlots;
  std::unique_ptr<IndexTable> table(new (std::nothrow) IndexTable);
  if (!table) return false;
  for (int i = 0; i < slots; ++i) {
    std::unique_ptr<IndexSlot> slot(new (std::nothrow) IndexSlot);
    if (!slot) return false;
    table->slots.push_back(std::move(slot));
  }
  indexes_ = std::move(table);
  return true;
}

IndexSlot* IndexedDatabase::Slot(int slot) {
  if (!indexes_ || slot < 0 || slot >= int(indexes_->slots.size())) return nullptr;
  return indexes_->slots[size_t(slot)].get();
}

bool IndexedDatabase::RebuildNeeded(int slot) {
  IndexSlot* s = Slot(slot);
  return s && s->rebuildNeeded;
}

BTreeIndex* IndexedDatabase::Tree(int slot) {
  IndexSlot* s = Slot(slot);
  return s ? s->tree.get() : nullptr;
}

int IndexedDatabase::LastError() const { return data_ ? data_->LastError() : kDbNoDatabase; }

void IndexedDatabase::SetLastError(int code) {
  if (data_) data_->SetLastError(code);
}

int IndexedDatabase::IndexLastError(int slot) {
  BTreeIndex* tree = Tree(slot);
  return tree ? tree->LastError() : kDbNoDatabase;
}

int IndexedDatabase::Open(const char* dataName, const char* indexName, const IndexKey& keyPrototype,
                          int32_t nodeOrder, int accessMode, int useIndex,
                          int32_t dataStaticAreaSize, int32_t treeCount) {
  if (int rc = Close()) return rc;
  useIndex_ = useIndex;
  if (useIndex_) {
    if (!MakeTable(1)) {
      useIndex_ = 0;
    } else {
      IndexSlot* slot = Slot(0);
      slot->keyEntrySize = keyPrototype.KeySize() + 4;
      slot->nodeOrder = nodeOrder;
      slot->isOpen = 1;
    }
  }
  if (!FileExists(dataName)) {
    if (CreateData(dataName, dataStaticAreaSize)) return LastError();
    existingFile_ = 0;
    if (useIndex_ && CreateIndex(indexName, 0, keyPrototype, nodeOrder, treeCount)) {
      return IndexLastError(0);
    }
    return 0;
  }
  if (OpenData(dataName, accessMode)) return LastError();
  existingFile_ = 1;
  if (!useIndex_) return 0;
  int rc;
  if (!FileExists(indexName)) {
    Slot(0)->rebuildNeeded = 1;
    rc = CreateIndex(indexName, 0, keyPrototype, nodeOrder, treeCount);
  } else {
    rc = OpenIndex(indexName, 0, keyPrototype, nodeOrder, accessMode);
  }
  return rc ? IndexLastError(0) : 0;
}

int IndexedDatabase::Close() {
  if (int rc = CloseData()) return rc;
  if (indexes_) {
    for (size_t i = 0; i < indexes_->slots.size(); ++i) {
      if (int rc = CloseIndex(int(i))) {
        indexes_->lastFailedSlot = int(i);
        return rc;
      }
    }
  }
  indexes_.reset();
  return 0;
}

int IndexedDatabase::CreateData(const char* name, int32_t staticAreaSize) {
  if (int rc = CloseData()) return rc;
  data_.reset(new (std::nothrow) DatabaseFile);
  if (!data_) return kDbNoMemory;
  return data_->Create(name, staticAreaSize, 'C');
}

int IndexedDatabase::OpenData(const char* name, int accessMode) {
  if (int rc = CloseData()) return rc;
  data_.reset(new (std::nothrow) DatabaseFile);
  if (!data_) return kDbNoMemory;
  return data_->Open(name, accessMode);
}

int IndexedDatabase::CloseData() {
  if (!data_) return 0;
  if (int rc = data_->Close()) return rc;
  data_.reset();
  return 0;
}

int IndexedDatabase::CreateIndex(const char* indexName, int slot, const IndexKey& keyPrototype,
                                 int32_t nodeOrder, int32_t treeCount) {
  if (treeCount < 1) treeCount = 1;
  IndexSlot* s = Slot(slot);
  if (!s) return kDbNoDatabase;
  if (int rc = CloseIndex(slot)) return rc;
  s->tree.reset(new (std::nothrow) BTreeIndex(keyPrototype, nodeOrder, -1));
  if (!s->tree) return kDbNoMemory;
  return s->tree->CreateFile(indexName, treeCount);
}

int IndexedDatabase::OpenIndex(const char* indexName, int slot, const IndexKey& keyPrototype,
                               int32_t nodeOrder, int accessMode) {
  IndexSlot* s = Slot(slot);
  if (!s) return kDbNoDatabase;
  if (int rc = CloseIndex(slot)) return rc;
  s->tree.reset(new (std::nothrow) BTreeIndex(keyPrototype, nodeOrder, -1));
  if (!s->tree) return kDbNoMemory;
  return s->tree->OpenFile(indexName, accessMode);
}

int IndexedDatabase::CloseIndex(int slot) {
  IndexSlot* s = Slot(slot);
  if (!s || !s->tree) return 0;
  if (int rc = s->tree->Close()) return rc;
  s->tree.reset();
  s->isOpen = 0;
  return 0;
}
