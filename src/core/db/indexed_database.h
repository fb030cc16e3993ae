#ifndef QUILLO_CORE_DB_INDEXED_DATABASE_H
#define QUILLO_CORE_DB_INDEXED_DATABASE_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/db/btree_index.h"
#include "core/db/database_file.h"
#include "core/db/index_key.h"

// One index slot of an IndexedDatabase: an open tree, or none.
struct IndexSlot {
  std::unique_ptr<BTreeIndex> tree;
  PortableInt32 key_entry_size = kDefaultKeyEntrySize;
  PortableInt32 node_order = kDefaultNodeOrder;
  int is_open = 0;
  // Set when the data file existed but the index file did not, or could
  // not be opened as an index: the owner rebuilds the index from the data
  // file. A missing index is created empty; a damaged one leaves no tree.
  int rebuild_needed = 0;
};

// The index slots of an IndexedDatabase (at most 255).
struct IndexTable {
  static constexpr int kMaxSlots = 255;
  std::vector<std::unique_ptr<IndexSlot>> slots;
  int last_failed_slot = -1;
};

// A data file of records plus index slots, each of which may hold a
// BTreeIndex over an index file of its own. Open opens an existing pair or
// creates whatever is missing; Close releases everything in order.
//
// With a journal name set, Open first rolls back an update a crash
// interrupted, and each BeginUpdate .. CommitUpdate is all or nothing over
// the data file and the first index (see Journal). Without one, updates
// write straight through as they are made.
//
// Results are database error codes (0 = success). Owns the data file, the
// table and the trees. Owners call Close() before destroying it, so that a
// failure to close is seen; destruction only releases what is left.
class IndexedDatabase {
 public:
  IndexedDatabase();
  ~IndexedDatabase();
  IndexedDatabase(const IndexedDatabase&) = delete;
  IndexedDatabase& operator=(const IndexedDatabase&) = delete;

  // Set before Open. io: null means POSIX; not owned. journal_name: empty
  // for no journal.
  void SetFileIo(FileIo* io) { io_ = io; }
  void SetJournalName(const std::string& journal_name) { journal_name_ = journal_name; }
  const std::string& JournalName() const { return journal_name_; }

  // An update of the data file and the first index. BeginUpdate returns 0
  // or an error code; CommitUpdate makes the update lasting (0) or undoes
  // all of it (an error code); AbortUpdate undoes it.
  int BeginUpdate();
  int CommitUpdate();
  void AbortUpdate();
  bool InUpdate() const { return in_update_; }

  int Open(const char* data_name, const char* index_name, const IndexKey& key_prototype,
           int32_t node_order, int access_mode, int use_index, int32_t data_static_area_size,
           int32_t tree_count);
  int Close();

  int CreateData(const char* name, int32_t static_area_size);
  int OpenData(const char* name, int access_mode);
  int CloseData();
  int CreateIndex(const char* index_name, int slot, const IndexKey& key_prototype,
                  int32_t node_order, int32_t tree_count);
  int OpenIndex(const char* index_name, int slot, const IndexKey& key_prototype, int32_t node_order,
                int access_mode);
  int CloseIndex(int slot);

  // The slot's tree, or null.
  BTreeIndex* Tree(int slot);
  int LastError() const;
  void SetLastError(int code);
  int IndexLastError(int slot);

  DatabaseFile* Data() { return data_.get(); }
  int ExistingFile() const { return existing_file_; }
  int UseIndex() const { return use_index_; }
  IndexTable* Table() { return indexes_.get(); }
  IndexSlot* Slot(int slot);
  bool RebuildNeeded(int slot);

 private:
  bool MakeTable(int slots);
  std::vector<DatabaseFile*> UpdatedFiles();

  FileIo* io_ = nullptr;
  std::string journal_name_;
  bool in_update_ = false;
  std::unique_ptr<DatabaseFile> data_;
  std::unique_ptr<IndexTable> indexes_;
  int existing_file_ = 0;
  int use_index_ = 0;
};

#endif  // QUILLO_CORE_DB_INDEXED_DATABASE_H
