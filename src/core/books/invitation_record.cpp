#include "core/books/invitation_record.h"

#include <cstring>

InvitationRecord::InvitationRecord(IndexedDatabase* database)
    : FieldRecord(database, kFieldCount) {}

InvitationRecord::InvitationRecord(IndexedDatabase* database, const std::string& nickname,
                                   const std::string& emailAddress)
    : FieldRecord(database, kFieldCount) {
  SetValues(nickname, emailAddress);
}

InvitationRecord::InvitationRecord(const InvitationRecord& other) : FieldRecord(other) {
  std::memcpy(nickname_, other.nickname_, sizeof nickname_);
  std::memcpy(emailAddress_, other.emailAddress_, sizeof emailAddress_);
}

void InvitationRecord::SetValues(const std::string& nickname, const std::string& emailAddress) {
  CopyKeyText(nickname_, nickname.c_str(), nickname.size());
  CopyKeyText(emailAddress_, emailAddress.c_str(), emailAddress.size());
  SetField(0, nickname_, sizeof nickname_);
  SetField(1, emailAddress_, sizeof emailAddress_);
}
