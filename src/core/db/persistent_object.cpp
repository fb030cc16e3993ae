#include "core/db/persistent_object.h"

int PersistentObject::Attach(IndexedDatabase* database) {
  if (!database || !database->Data()) return kDbNoDatabase;
  database_ = database;
  return 0;
}

int PersistentObject::WriteObjectHeader(const void* header8, FileAddress address) {
  if (!database_ || !database_->Data()) return kDbNoDatabase;
  return database_->Data()->Write(header8, 8, address, true, true);
}

int PersistentObject::ReadObjectHeader(void* header8, FileAddress address) {
  if (!database_ || !database_->Data()) return kDbNoDatabase;
  return database_->Data()->Read(header8, 8, address);
}

int PersistentObject::WriteUnique(bool check_first) {
  if (check_first && Find()) return 1;
  return Write() == 0 ? 1 : 0;
}

int PersistentObject::ReadAt(FileAddress address) {
  if (Read(address) != 0) return 0;
  object_address_ = address;
  return 1;
}

int PersistentObject::ReadCurrent() { return Read(object_address_) == 0 ? 1 : 0; }

int PersistentObject::DeleteObject(FileAddress address) {
  if (!database_ || !database_->Data()) return 0;
  return database_->Data()->Delete(address, 0);
}

int PersistentObject::AddKey(IndexKey& key, IndexKey& compare_key, int slot, bool flush) {
  BTreeIndex* tree = database_ ? database_->Tree(slot) : nullptr;
  if (!tree) return 0;
  return tree->Insert(key, compare_key, flush);
}

int PersistentObject::FindKey(IndexKey& key, IndexKey& compare_key, int slot, bool test_header) {
  BTreeIndex* tree = database_ ? database_->Tree(slot) : nullptr;
  if (!tree) return 0;
  return tree->Find(key, compare_key, test_header);
}

int PersistentObject::DeleteKey(IndexKey& key, IndexKey& compare_key, int slot, bool flush) {
  BTreeIndex* tree = database_ ? database_->Tree(slot) : nullptr;
  if (!tree) return 0;
  return tree->Remove(key, compare_key, flush);
}
