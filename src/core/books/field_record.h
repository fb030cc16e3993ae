#ifndef QUILLO_CORE_BOOKS_FIELD_RECORD_H
#define QUILLO_CORE_BOOKS_FIELD_RECORD_H

#include <cstdint>
#include <string>
#include <vector>

#include "core/books/name_key.h"
#include "core/db/persistent_object.h"
#include "core/util/byte_string.h"

// An address-book record: an ordered list of 1 to 255 variable-length byte
// fields kept as one object of a book's data file, indexed by the text of
// its first field (NameKey).
//
// Stored object, all integers little-endian: class identifier (-1), the
// object's own address, the field count, then per field its length and its
// bytes. ObjectLength() leaves out the 8-byte object header.
//
// A stored record is read only within its block: a field count or field
// lengths that do not fit are refused with error 15.
//
// Does not own its database. Short-lived: built for one panel operation.
class FieldRecord : public PersistentObject {
 public:
  static constexpr int32_t kClassId = -1;
  static constexpr int kMaxFields = 255;

  FieldRecord();
  FieldRecord(IndexedDatabase* database, int field_count);
  // A default record, then CopyFrom with identity.
  FieldRecord(const FieldRecord& other);
  FieldRecord& operator=(const FieldRecord&) = delete;
  ~FieldRecord() override;

  int Read(FileAddress address) override;
  int Write() override;
  int Find() override;
  int Delete() override;
  int32_t ObjectLength() const override;

  virtual bool Equals(const FieldRecord& other) const;
  virtual bool NotEquals(const FieldRecord& other) const { return !Equals(other); }
  virtual bool LessThan(const FieldRecord& other) const;
  virtual bool GreaterThan(const FieldRecord& other) const;

  // n of 0 counts as 1, above 255 as 255. 1, or 0 without memory.
  int SetFieldCount(int n);
  // 1, or 0 without memory. With identity the class identifier, database
  // and object address are copied as well.
  int CopyFrom(const FieldRecord& other, bool identity);
  // Rewrites fields 1 to 7 of the stored object without moving it; every
  // field keeps its stored length. 1 on success.
  int UpdateInPlace();
  // Builds a new index of the data file's records in temp_name, synced and
  // closed. Where the data file holds two records of one nickname the one
  // further on (written later) is kept, and its nickname goes to
  // duplicates. The data file is only read. 1 on success.
  int RebuildIndex(const char* temp_name, int32_t tree_count, int32_t node_order,
                   FileIo* io = nullptr, std::vector<std::string>* duplicates = nullptr);

  int FieldCount() const { return int(field_count_); }
  ByteString& Field(int i) { return fields_[size_t(i)]; }
  const ByteString& Field(int i) const { return fields_[size_t(i)]; }
  // Field i up to its first NUL byte; empty when there is no such field.
  std::string FieldText(int i) const;
  // Loads n bytes into field i.
  void SetField(int i, const void* bytes, size_t n);
  PortableInt32 ClassId() const { return class_id_; }

 protected:
  NameKey MakeKey(FileAddress record_address) const;

 private:
  // The object data bytes of the block holding the object at address, or
  // -1 with the database's last error set.
  int64_t ObjectCapacity(FileAddress address);
  int ReadFields(int64_t capacity);
  bool InsertRebuilt(BTreeIndex& tree, FileAddress object, std::vector<std::string>* duplicates);

  PortableInt32 class_id_ = kClassId;
  uint32_t field_count_ = 0;
  std::vector<ByteString> fields_;
};

#endif  // QUILLO_CORE_BOOKS_FIELD_RECORD_H
