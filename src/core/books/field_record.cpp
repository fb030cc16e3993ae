#include "core/books/field_record.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

// The data file, or null when the record has no database.
DatabaseFile* DataOf(IndexedDatabase* database) { return database ? database->Data() : nullptr; }

}  // namespace

FieldRecord::FieldRecord() = default;

FieldRecord::FieldRecord(IndexedDatabase* database, int field_count) {
  Attach(database);
  SetFieldCount(field_count);
}

FieldRecord::FieldRecord(const FieldRecord& other) : PersistentObject() { CopyFrom(other, true); }

FieldRecord::~FieldRecord() = default;

int FieldRecord::SetFieldCount(int n) {
  if (n < 1) n = 1;
  if (n > kMaxFields) n = kMaxFields;
  if (fields_.size() >= size_t(n)) {
    field_count_ = uint32_t(n);
    return 1;
  }
  try {
    std::vector<ByteString> fresh(static_cast<size_t>(n));
    fields_.swap(fresh);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  field_count_ = uint32_t(n);
  return 1;
}

int FieldRecord::CopyFrom(const FieldRecord& other, bool identity) {
  if (!SetFieldCount(other.FieldCount())) return 0;
  for (int i = 0; i < FieldCount(); ++i) fields_[size_t(i)] = other.fields_[size_t(i)];
  if (identity) {
    class_id_ = other.class_id_;
    database_ = other.database_;
    object_address_ = other.object_address_;
  }
  return 1;
}

std::string FieldRecord::FieldText(int i) const {
  if (i < 0 || i >= FieldCount()) return std::string();
  const ByteString& f = fields_[size_t(i)];
  if (f.Length() == 0) return std::string();
  return std::string(f.Data(), strnlen(f.Data(), f.Length()));
}

void FieldRecord::SetField(int i, const void* bytes, size_t n) {
  ByteString& f = fields_[size_t(i)];
  f.Resize(n);
  if (n > 0) std::memcpy(f.Data(), bytes, n);
}

int32_t FieldRecord::ObjectLength() const {
  int64_t length = 4 + 4 * int64_t(field_count_);
  for (int i = 0; i < FieldCount(); ++i) length += int64_t(fields_[size_t(i)].Length());
  return int32_t(length);
}

NameKey FieldRecord::MakeKey(FileAddress record_address) const {
  const std::string name = FieldText(0);
  return NameKey(name.c_str(), name.size(), record_address, class_id_);
}

bool FieldRecord::Equals(const FieldRecord& other) const {
  if (FieldCount() != other.FieldCount()) return false;
  for (int i = 0; i < FieldCount(); ++i) {
    if (fields_[size_t(i)] != other.fields_[size_t(i)]) return false;
  }
  return true;
}

bool FieldRecord::LessThan(const FieldRecord& other) const { return fields_[0] < other.fields_[0]; }

bool FieldRecord::GreaterThan(const FieldRecord& other) const {
  return fields_[0] > other.fields_[0];
}

int FieldRecord::Write() {
  DatabaseFile* data = DataOf(database_);
  if (!data) return kDbNoDatabase;
  // The block is marked in use only once the record in it is complete, so
  // that an interrupted write never brings back a deleted record.
  FileAddress at = data->Alloc(ObjectLength() + 8, kAllocFirstFit, false);
  if (int32_t(at) == 0) return data->LastError() ? data->LastError() : 7;
  PortableInt32 header[2] = {class_id_, at};
  if (int rc = WriteObjectHeader(header, at)) return rc;
  PortableUInt32 count = field_count_;
  if (int rc = data->Write(&count, 4, -1, true, true)) return rc;
  for (int i = 0; i < FieldCount(); ++i) {
    const ByteString& f = fields_[size_t(i)];
    PortableUInt32 length = uint32_t(f.Length());
    if (int rc = data->Write(&length, 4, -1, true, true)) return rc;
    if (f.Length() > 0) {
      if (int rc = data->Write(f.Data(), f.Length(), -1, true, true)) return rc;
    }
  }
  if (int rc = data->MarkInUse(at)) return rc;
  object_address_ = at;
  if (database_->UseIndex()) {
    NameKey key = MakeKey(at);
    NameKey scratch;
    if (!AddKey(key, scratch, 0, true)) return database_->IndexLastError(0);
  }
  return 0;
}

int64_t FieldRecord::ObjectCapacity(FileAddress address) {
  DatabaseFile* data = DataOf(database_);
  const int64_t block = int64_t(int32_t(address)) - data->BlockHeaderSize();
  if (!data->IsPlausibleBlock(block, data->BlockOverhead())) data->GetEndOfFile();
  if (!data->IsPlausibleBlock(block, data->BlockOverhead())) {
    data->SetLastError(kDbFileCorrupt);
    return -1;
  }
  DatabaseBlockHeader h;
  if (data->ReadBlockHeader(h, int32_t(block))) return -1;
  const int64_t length = uint32_t(h.block_length);
  // A freed block may still hold a record's bytes, or another record's
  // after reuse; either way it is no record of this book.
  if (!data->IsPlausibleBlock(block, length) || uint32_t(h.status) != kBlockInUse) {
    data->SetLastError(kDbFileCorrupt);
    return -1;
  }
  return length - data->BlockOverhead();
}

int FieldRecord::Read(FileAddress address) {
  DatabaseFile* data = DataOf(database_);
  if (!data) return kDbNoDatabase;
  const int64_t capacity = ObjectCapacity(address);
  if (capacity < 0) return data->LastError();
  if (capacity < 12) {
    data->SetLastError(kDbFileCorrupt);
    return kDbFileCorrupt;
  }
  PortableInt32 header[2];
  if (int rc = ReadObjectHeader(header, address)) return rc;
  if (header[0] != class_id_) {
    data->SetLastError(kDbWrongObjectType);
    return kDbWrongObjectType;
  }
  if (int rc = ReadFields(capacity)) return rc;
  object_address_ = address;
  return 0;
}

// Reads the field count and the fields at the current position, never past
// the object's capacity.
int FieldRecord::ReadFields(int64_t capacity) {
  DatabaseFile* data = database_->Data();
  PortableUInt32 stored_count;
  if (int rc = data->Read(&stored_count, 4, -1)) return rc;
  const uint32_t n = stored_count;
  if (n < 1 || n > uint32_t(kMaxFields) || 12 + 4 * int64_t(n) > capacity) {
    data->SetLastError(kDbFileCorrupt);
    return kDbFileCorrupt;
  }
  if (!SetFieldCount(int(n))) {
    data->SetLastError(kDbNoMemory);
    return kDbNoMemory;
  }
  int64_t used = 12;
  for (int i = 0; i < FieldCount(); ++i) {
    PortableUInt32 stored_length;
    if (int rc = data->Read(&stored_length, 4, -1)) return rc;
    used += 4;
    const int64_t length = uint32_t(stored_length);
    // What is left must also hold the later fields' length words.
    if (length > capacity - used - 4 * int64_t(FieldCount() - 1 - i)) {
      data->SetLastError(kDbFileCorrupt);
      return kDbFileCorrupt;
    }
    ByteString& f = fields_[size_t(i)];
    f.Resize(size_t(length));
    if (length > 0) {
      if (int rc = data->Read(f.Data(), size_t(length), -1)) return rc;
    }
    used += length;
  }
  return 0;
}

int FieldRecord::Find() {
  if (!database_ || !database_->Tree(0)) return 0;
  NameKey key = MakeKey(0);
  NameKey scratch;
  if (!FindKey(key, scratch, 0, true)) return 0;
  object_address_ = key.RecordAddress();
  return 1;
}

int FieldRecord::Delete() {
  if (!database_ || !database_->Tree(0)) return 0;
  NameKey key = MakeKey(0);
  NameKey scratch;
  if (!FindKey(key, scratch, 0, true)) return 0;
  object_address_ = key.RecordAddress();
  // The key goes first: a key left pointing at a freed (and later reused)
  // block would find another record under this nickname.
  if (!DeleteKey(key, scratch, 0, true)) return 0;
  return DeleteObject(object_address_) ? 1 : 0;
}

int FieldRecord::UpdateInPlace() {
  DatabaseFile* data = DataOf(database_);
  if (!data) return 0;
  const int64_t capacity = ObjectCapacity(object_address_);
  if (capacity < 12) return 0;
  const int64_t object = int32_t(object_address_);
  int64_t position = object + 12;
  const int last = FieldCount() < 8 ? FieldCount() - 1 : 7;
  for (int i = 0; i <= last; ++i) {
    // The stored length words must be the ones this record was read with,
    // or the new bytes would land across other fields.
    PortableUInt32 stored;
    if (position + 4 > object + capacity || data->Read(&stored, 4, int32_t(position))) return 0;
    const ByteString& f = fields_[size_t(i)];
    if (uint32_t(stored) != f.Length() || position + 4 + int64_t(f.Length()) > object + capacity) {
      data->SetLastError(kDbFileCorrupt);
      return 0;
    }
    position += 4;
    if (i >= 1 && f.Length() > 0) {
      if (data->Write(f.Data(), f.Length(), int32_t(position), true, true)) return 0;
    }
    position += int64_t(f.Length());
  }
  return 1;
}

int FieldRecord::RebuildIndex(const char* temp_name, int32_t tree_count, int32_t node_order,
                              FileIo* io, std::vector<std::string>* duplicates) {
  if (!database_ || !database_->UseIndex() || !database_->Data()) return 0;
  DatabaseFile* data = database_->Data();
  std::unique_ptr<BTreeIndex> tree(new (std::nothrow) BTreeIndex(NameKey(), node_order, -1));
  if (!tree) return 0;
  tree->SetFileIo(io);
  if (tree->CreateFile(temp_name, tree_count)) return 0;
  const int64_t end = int32_t(data->GetEndOfFile());
  int64_t position = int32_t(data->FindFirstBlock(0));
  if (position == 0 && data->LastError() != 0) return 0;
  if (position == 0) position = end;  // no block at all: an empty book
  while (position + data->BlockHeaderSize() < end) {
    DatabaseBlockHeader h;
    if (data->Read(&h, sizeof h, int32_t(position))) return 0;
    const int64_t length = uint32_t(h.block_length);
    // A damaged check word, or a length no block can have, is not a block
    // boundary: the walk moves on byte by byte.
    if (h.check_word != PortableUInt32(kBlockCheckWord) ||
        !data->IsPlausibleBlock(position, length)) {
      ++position;
      continue;
    }
    const FileAddress object = int32_t(position + data->BlockHeaderSize());
    PortableInt32 header[2];
    if (uint32_t(h.status) == kBlockInUse && ReadObjectHeader(header, object) == 0 &&
        header[0] == class_id_ && Read(object) == 0 && !InsertRebuilt(*tree, object, duplicates)) {
      return 0;
    }
    position += length;
  }
  if (tree->Flush() || tree->File()->Sync() || tree->Close()) return 0;
  return 1;
}

// Puts the key of the record just read into tree; a key already there
// gives way to this later record.
bool FieldRecord::InsertRebuilt(BTreeIndex& tree, FileAddress object,
                                std::vector<std::string>* duplicates) {
  NameKey key = MakeKey(object);
  NameKey scratch;
  if (tree.Insert(key, scratch, false)) return true;
  if (tree.LastError() != kDbDuplicateEntry) return false;
  if (duplicates) duplicates->push_back(FieldText(0));
  NameKey stored = MakeKey(0);
  return tree.Remove(stored, scratch, false) && tree.Insert(key, scratch, false);
}
