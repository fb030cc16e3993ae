#include "core/books/invitation_record.h"

#include <cstring>

InvitationRecord::InvitationRecord(IndexedDatabase* database)
    : FieldRecord(database, kFieldCount) {}

InvitationRecord::InvitationRecord(IndexedDatabase* database, const std::string& nickname,
                                   const std::string& email_address)
    : FieldRecord(database, kFieldCount) {
  SetValues(nickname, email_address);
}

InvitationRecord::InvitationRecord(const InvitationRecord& other) : FieldRecord(other) {
  std::memcpy(nickname_, other.nickname_, sizeof nickname_);
  std::memcpy(email_address_, other.email_address_, sizeof email_address_);
}

void InvitationRecord::SetValues(const std::string& nickname, const std::string& email_address) {
  CopyKeyText(nickname_, nickname.c_str(), nickname.size());
  CopyKeyText(email_address_, email_address.c_str(), email_address.size());
  SetField(0, nickname_, sizeof nickname_);
  SetField(1, email_address_, sizeof email_address_);
}
