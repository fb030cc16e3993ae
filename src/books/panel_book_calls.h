#ifndef QUILLO_BOOKS_PANEL_BOOK_CALLS_H
#define QUILLO_BOOKS_PANEL_BOOK_CALLS_H

#include <cstdint>
#include <string>
#include <vector>

class ProgramSettings;

// What the panels ask of the two address books, each call a no-op that
// reports failure when the book is not open. Failures are never shown: the
// panels stay silent about the books.

struct StoredConnection {
  std::string nickname;
  std::string address;
  int32_t port = 0;
  int32_t key = 0;
};

struct StoredRecipient {
  std::string nickname;
  std::string address;
};

// The nicknames of the previous-connections book in key order; false when a
// record could not be read (the names before it are given).
bool ListConnections(ProgramSettings& settings, std::vector<std::string>* nicknames);
// The stored values of a nickname (the stored letter case); false when the
// book is closed, the name is not stored or its record cannot be read.
bool LookUpConnection(ProgramSettings& settings, const std::string& nickname,
                      StoredConnection* stored);
// Stores the connection: a nickname already stored (ignoring case) is
// overwritten in place when a value differs.
void AddOrUpdateConnection(ProgramSettings& settings, const std::string& nickname,
                           const std::string& address, int32_t port, int32_t key);
// true when the nickname's record was deleted.
bool RemoveConnection(ProgramSettings& settings, const std::string& nickname);

// The invitation book's recipients in key order (the filling stops at a
// record that cannot be read).
std::vector<StoredRecipient> ListRecipients(ProgramSettings& settings);
// Stores the recipient; true when the nickname was stored before (ignoring
// case), whose address is then overwritten in place when it differs.
bool AddOrUpdateRecipient(ProgramSettings& settings, const std::string& nickname,
                          const std::string& address);
// true when the recipient was found and deleted.
bool RemoveRecipient(ProgramSettings& settings, const std::string& nickname,
                     const std::string& address);

#endif  // QUILLO_BOOKS_PANEL_BOOK_CALLS_H
