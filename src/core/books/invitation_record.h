#ifndef QUILLO_CORE_BOOKS_INVITATION_RECORD_H
#define QUILLO_CORE_BOOKS_INVITATION_RECORD_H

#include <string>

#include "core/books/field_record.h"

// A recipient of invitations: nine fields - nickname and e-mail address
// (cut and padded like a connection's), seven empty ones. 552 bytes.
class InvitationRecord : public FieldRecord {
 public:
  static constexpr int kFieldCount = 9;

  explicit InvitationRecord(IndexedDatabase* database);
  InvitationRecord(IndexedDatabase* database, const std::string& nickname,
                   const std::string& email_address);
  InvitationRecord(const InvitationRecord& other);

  void SetValues(const std::string& nickname, const std::string& email_address);
  std::string Nickname() const { return FieldText(0); }
  std::string EmailAddress() const { return FieldText(1); }

 private:
  char nickname_[256] = {};
  char email_address_[256] = {};
};

#endif  // QUILLO_CORE_BOOKS_INVITATION_RECORD_H
