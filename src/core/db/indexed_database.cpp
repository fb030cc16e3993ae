#include "core/db/indexed_database.h"

#include <sys/stat.h>

#include <new>

#include "core/db/journal.h"

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
  return s && s->rebuild_needed;
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

int IndexedDatabase::Open(const char* data_name, const char* index_name,
                          const IndexKey& key_prototype, int32_t node_order, int access_mode,
                          int use_index, int32_t data_static_area_size, int32_t tree_count) {
  if (int rc = Close()) return rc;
  use_index_ = use_index;
  if (use_index_) {
    if (!MakeTable(1)) {
      use_index_ = 0;
    } else {
      IndexSlot* slot = Slot(0);
      slot->key_entry_size = key_prototype.KeySize() + 4;
      slot->node_order = node_order;
      slot->is_open = 1;
    }
  }
  if (!FileExists(data_name)) {
    if (CreateData(data_name, data_static_area_size)) return LastError();
    existing_file_ = 0;
    if (use_index_ && CreateIndex(index_name, 0, key_prototype, node_order, tree_count)) {
      return IndexLastError(0);
    }
    return 0;
  }
  if (!journal_name_.empty() && access_mode != 0) {
    Journal journal(io_, journal_name_);
    std::vector<std::string> names{data_name};
    if (use_index_ && FileExists(index_name)) names.push_back(index_name);
    if (journal.Recover(names)) return kDbOpenError;
  }
  if (OpenData(data_name, access_mode)) return LastError();
  existing_file_ = 1;
  if (!use_index_) return 0;
  if (!FileExists(index_name)) {
    Slot(0)->rebuild_needed = 1;
    return CreateIndex(index_name, 0, key_prototype, node_order, tree_count) ? IndexLastError(0)
                                                                             : 0;
  }
  if (OpenIndex(index_name, 0, key_prototype, node_order, access_mode)) {
    // A damaged index is rebuilt from the data file, which holds every
    // record; the book is not given up for it.
    Slot(0)->tree.reset();
    Slot(0)->rebuild_needed = 1;
  }
  return 0;
}

std::vector<DatabaseFile*> IndexedDatabase::UpdatedFiles() {
  std::vector<DatabaseFile*> files;
  if (data_) files.push_back(data_.get());
  BTreeIndex* tree = Tree(0);
  if (tree && tree->File()) files.push_back(tree->File());
  return files;
}

int IndexedDatabase::BeginUpdate() {
  if (!data_ || !data_->IsReady()) return kDbNotReady;
  if (in_update_) return kDbInvalidCode;
  if (journal_name_.empty()) return 0;
  in_update_ = true;
  for (DatabaseFile* file : UpdatedFiles()) file->BeginUpdate();
  return 0;
}

int IndexedDatabase::CommitUpdate() {
  if (!in_update_) return 0;
  in_update_ = false;
  BTreeIndex* tree = Tree(0);
  int rc = tree ? tree->WriteHeader() : 0;
  if (rc == 0) rc = data_->WriteFileHeader();
  if (rc != 0) {
    for (DatabaseFile* file : UpdatedFiles()) file->AbortUpdate();
  } else {
    rc = Journal(io_, journal_name_).Commit(UpdatedFiles());
  }
  if (rc != 0 && tree) tree->ReadHeader();
  return rc;
}

void IndexedDatabase::AbortUpdate() {
  if (!in_update_) return;
  in_update_ = false;
  for (DatabaseFile* file : UpdatedFiles()) file->AbortUpdate();
  if (BTreeIndex* tree = Tree(0)) tree->ReadHeader();
}

int IndexedDatabase::Close() {
  AbortUpdate();
  if (int rc = CloseData()) return rc;
  if (indexes_) {
    for (size_t i = 0; i < indexes_->slots.size(); ++i) {
      if (int rc = CloseIndex(int(i))) {
        indexes_->last_failed_slot = int(i);
        return rc;
      }
    }
  }
  indexes_.reset();
  return 0;
}

int IndexedDatabase::CreateData(const char* name, int32_t static_area_size) {
  if (int rc = CloseData()) return rc;
  data_.reset(new (std::nothrow) DatabaseFile(io_));
  if (!data_) return kDbNoMemory;
  return data_->Create(name, static_area_size, 'C');
}

int IndexedDatabase::OpenData(const char* name, int access_mode) {
  if (int rc = CloseData()) return rc;
  data_.reset(new (std::nothrow) DatabaseFile(io_));
  if (!data_) return kDbNoMemory;
  return data_->Open(name, access_mode);
}

int IndexedDatabase::CloseData() {
  if (!data_) return 0;
  if (int rc = data_->Close()) return rc;
  data_.reset();
  return 0;
}

int IndexedDatabase::CreateIndex(const char* index_name, int slot, const IndexKey& key_prototype,
                                 int32_t node_order, int32_t tree_count) {
  if (tree_count < 1) tree_count = 1;
  IndexSlot* s = Slot(slot);
  if (!s) return kDbNoDatabase;
  if (int rc = CloseIndex(slot)) return rc;
  s->tree.reset(new (std::nothrow) BTreeIndex(key_prototype, node_order, -1));
  if (!s->tree) return kDbNoMemory;
  s->tree->SetFileIo(io_);
  return s->tree->CreateFile(index_name, tree_count);
}

int IndexedDatabase::OpenIndex(const char* index_name, int slot, const IndexKey& key_prototype,
                               int32_t node_order, int access_mode) {
  IndexSlot* s = Slot(slot);
  if (!s) return kDbNoDatabase;
  if (int rc = CloseIndex(slot)) return rc;
  s->tree.reset(new (std::nothrow) BTreeIndex(key_prototype, node_order, -1));
  if (!s->tree) return kDbNoMemory;
  s->tree->SetFileIo(io_);
  return s->tree->OpenFile(index_name, access_mode);
}

int IndexedDatabase::CloseIndex(int slot) {
  IndexSlot* s = Slot(slot);
  if (!s || !s->tree) return 0;
  if (int rc = s->tree->Close()) return rc;
  s->tree.reset();
  s->is_open = 0;
  return 0;
}
