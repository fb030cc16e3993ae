#ifndef QUILLO_CORE_BOOKS_CONNECTION_RECORD_H
#define QUILLO_CORE_BOOKS_CONNECTION_RECORD_H

#include <cstdint>
#include <string>

#include "core/books/field_record.h"

// A previous connection: nine fields - nickname and Internet address (each
// cut to 255 characters and NUL-padded to 256 bytes), port and encryption
// key (PortableInt32 each), five empty ones. 560 bytes of object data.
class ConnectionRecord : public FieldRecord {
 public:
  static constexpr int kFieldCount = 9;

  explicit ConnectionRecord(IndexedDatabase* database);
  ConnectionRecord(IndexedDatabase* database, const std::string& nickname,
                   const std::string& address, int32_t port, int32_t key);
  ConnectionRecord(const ConnectionRecord& other);

  void SetValues(const std::string& nickname, const std::string& address, int32_t port,
                 int32_t key);
  // Fields 2 and 3 decoded; 0 when the record has no such field.
  int32_t Port() const;
  int32_t Key() const;
  std::string Nickname() const { return FieldText(0); }
  std::string Address() const { return FieldText(1); }

 private:
  char nickname_[256] = {};
  char address_[256] = {};
  PortableInt32 port_ = 0;
  PortableInt32 key_ = 0;
};

// A field's PortableInt32, or 0 when the field is shorter than 4 bytes or
// missing.
int32_t FieldInt32(const FieldRecord& record, int i);

#endif  // QUILLO_CORE_BOOKS_CONNECTION_RECORD_H
