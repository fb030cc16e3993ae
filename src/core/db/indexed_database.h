#ifndef QUILLO_CORE_DB_INDEXED_DATABASE_H
#define QUILLO_CORE_DB_INDEXED_DATABASE_H

#include <cstdint>
#include <memory>
#include <vector>

#include "core/db/btree_index.h"
#include "core/db/database_file.h"
#include "core/db/index_key.h"

// One index slot of an IndexedDatabase: an open tree, or none.
struct IndexSlot {
  std::unique_ptr<BTreeIndex> tree;
  PortableInt32 keyEntrySize = kDefaultKeyEntrySize;
  PortableInt32 nodeOrder = kDefaultNodeOrder;
  int isOpen = 0;
  // Set when the data file existed but the index file did not: the owner
  // rebuilds the index from the data file.
  int rebuildNeeded = 0;
};

// The index slots of an IndexedDatabase (at most 255).
struct IndexTable {
  static constexpr int kMaxSlots = 255;
  std::vector<std::unique_ptr<IndexSlot>> slots;
  int lastFailedSlot = -1;
};

// A data file of records plus index slots, each of which may hold a
// BTreeIndex over an index file of its own. Open opens an existing pair or
// creates whatever is missing; Close releases everything in order.
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

  int Open(const char* dataName, const char* indexName, const IndexKey& keyPrototype,
           int32_t nodeOrder, int accessMode, int useIndex, int32_t dataStaticAreaSize,
           int32_t treeCount);
  int Close();

  int CreateData(const char* name, int32_t staticAreaSize);
  int OpenData(const char* name, int accessMode);
  int CloseData();
  int CreateIndex(const char* indexName, int slot, const IndexKey& keyPrototype, int32_t nodeOrder,
                  int32_t treeCount);
  int OpenIndex(const char* indexName, int slot, const IndexKey& keyPrototype, int32_t nodeOrder,
                int accessMode);
  int CloseIndex(int slot);

  // The slot's tree, or null.
  BTreeIndex* Tree(int slot);
  int LastError() const;
  void SetLastError(int code);
  int IndexLastError(int slot);

  DatabaseFile* Data() { return data_.get(); }
  int ExistingFile() const { return existingFile_; }
  int UseIndex() const { return useIndex_; }
  IndexTable* Table() { return indexes_.get(); }
  IndexSlot* Slot(int slot);
  bool RebuildNeeded(int slot);

 private:
  bool MakeTable(int slots);

  std::unique_ptr<DatabaseFile> data_;
  std::unique_ptr<IndexTable> indexes_;
  int existingFile_ = 0;
  int useIndex_ = 0;
};

#endif  // QUILLO_CORE_DB_INDEXED_DATABASE_H
