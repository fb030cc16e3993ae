#ifndef QUILLO_CORE_DB_PERSISTENT_OBJECT_H
#define QUILLO_CORE_DB_PERSISTENT_OBJECT_H

#include "core/db/index_key.h"
#include "core/db/indexed_database.h"
#include "core/db/portable_int.h"

// The base of every record kept in the data file of an IndexedDatabase. It
// knows its database and its own object address, declares the operations
// each record type implements, and offers the support operations with which
// they read and write the 8-byte object header, free an object and keep the
// index entries.
//
// Does not own the database, which outlives it. Short-lived: built for one
// operation of a panel.
class PersistentObject {
 public:
  PersistentObject() = default;
  virtual ~PersistentObject() = default;

  // Loads the object stored at address; 0 or a database error code.
  virtual int Read(FileAddress address) = 0;
  // Stores the object as a new object; 0 or a database error code.
  virtual int Write() = 0;
  // Nonzero when found, with the object address set.
  virtual int Find() = 0;
  // Removes the object and its index entries; nonzero on success.
  virtual int Delete() = 0;
  // Bytes of the stored object without its 8-byte object header.
  virtual int32_t ObjectLength() const = 0;

  // 28 when the database has no data file.
  int Attach(IndexedDatabase* database);
  IndexedDatabase* Database() const { return database_; }
  FileAddress ObjectAddress() const { return object_address_; }
  void SetObjectAddress(FileAddress address) { object_address_ = address; }

  int WriteObjectHeader(const void* header8, FileAddress address);
  int ReadObjectHeader(void* header8, FileAddress address);
  // 1 when stored (or, with check_first, already present).
  int WriteUnique(bool check_first);
  int ReadAt(FileAddress address);
  int ReadCurrent();
  int DeleteObject(FileAddress address);
  int AddKey(IndexKey& key, IndexKey& compare_key, int slot, bool flush);
  int FindKey(IndexKey& key, IndexKey& compare_key, int slot, bool test_header);
  int DeleteKey(IndexKey& key, IndexKey& compare_key, int slot, bool flush);

 protected:
  IndexedDatabase* database_ = nullptr;
  FileAddress object_address_ = 0;
};

#endif  // QUILLO_CORE_DB_PERSISTENT_OBJECT_H
