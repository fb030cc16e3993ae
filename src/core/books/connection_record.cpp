#include "core/books/connection_record.h"

#include <cstring>

int32_t FieldInt32(const FieldRecord& record, int i) {
  if (i >= record.FieldCount() || record.Field(i).Length() < 4) return 0;
  PortableInt32 value;
  std::memcpy(&value, record.Field(i).Data(), 4);
  return value;
}

ConnectionRecord::ConnectionRecord(IndexedDatabase* database)
    : FieldRecord(database, kFieldCount) {}

ConnectionRecord::ConnectionRecord(IndexedDatabase* database, const std::string& nickname,
                                   const std::string& address, int32_t port, int32_t key)
    : FieldRecord(database, kFieldCount) {
  SetValues(nickname, address, port, key);
}

ConnectionRecord::ConnectionRecord(const ConnectionRecord& other) : FieldRecord(other) {
  std::memcpy(nickname_, other.nickname_, sizeof nickname_);
  std::memcpy(address_, other.address_, sizeof address_);
  port_ = other.port_;
  key_ = other.key_;
}

void ConnectionRecord::SetValues(const std::string& nickname, const std::string& address,
                                 int32_t port, int32_t key) {
  CopyKeyText(nickname_, nickname.c_str(), nickname.size());
  CopyKeyText(address_, address.c_str(), address.size());
  port_ = port;
  key_ = key;
  SetField(0, nickname_, sizeof nickname_);
  SetField(1, address_, sizeof address_);
  SetField(2, &port_, 4);
  SetField(3, &key_, 4);
}

int32_t ConnectionRecord::Port() const { return FieldInt32(*this, 2); }

int32_t ConnectionRecord::Key() const { return FieldInt32(*this, 3); }
