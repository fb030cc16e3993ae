#ifndef QUILLO_CORE_BOOKS_BOOK_SEQUENCES_H
#define QUILLO_CORE_BOOKS_BOOK_SEQUENCES_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/books/connection_record.h"
#include "core/books/field_record.h"
#include "core/books/invitation_record.h"

// The four ways the panels use an address book: look up, add or update,
// remove and list. Records are built on the book's handle by the caller;
// the typed helpers below build them and accept a null book (then they do
// nothing and report failure). Failures are never shown here.

// Look up: Find, then ReadCurrent. On true the record's fields hold the
// stored values (the stored letter case of the nickname included).
bool LookUpRecord(FieldRecord& record);

enum class StoreResult {
  kAdded,      // the nickname was new; a record was written
  kUpdated,    // stored before (ignoring case); fields 1 to 7 rewritten
  kUnchanged,  // stored before with the same values
  kFailed,
};
// Add, update and remove are each one update of the book (see
// IndexedDatabase::BeginUpdate): all of it reaches the files, or none.
//
// Add or update: a stored nickname (ignoring case) keeps its record and
// stored letter case and gets the entered values in place when they
// differ; a new one is written. On return the record holds what is stored.
StoreResult AddOrUpdateRecord(FieldRecord& entered);

// Remove: true when the record of that nickname and its key were deleted.
bool RemoveRecord(FieldRecord& record);

// How List checks the tree header against the index file first.
enum class ListHeaderCheck {
  kTestEachSearch,  // test without reloading, then every search tests again
  kReloadOnce,      // test with reloading, the searches do not test
};
// List: calls each(record) for every record in ascending nickname order
// (ignoring case), record holding the stored fields; each returns false to
// stop. A record that cannot be read is passed over, its nickname added to
// unreadable (when given). Returns false when a step of the walk failed or
// the index is out of order (the walk stops there) or a record was passed
// over; true when every entry was listed.
bool ListBook(IndexedDatabase* book, FieldRecord& record, ListHeaderCheck check,
              const std::function<bool(const FieldRecord&)>& each,
              std::vector<std::string>* unreadable = nullptr);

// The event-window lines for what a listing of book left out: one per
// entry that could not be read, naming the book's data file and the entry,
// or, when complete is false with nothing unreadable, one saying the walk
// stopped short. Empty when nothing was left out.
std::vector<std::string> ListingGapLines(IndexedDatabase* book, bool complete,
                                         const std::vector<std::string>& unreadable);

// Typed helpers for the previous-connections book (the Connect panel).
struct ConnectionValues {
  std::string nickname;
  std::string address;
  int32_t port = 0;
  int32_t key = 0;
};
bool BookListConnections(IndexedDatabase* book, std::vector<std::string>* nicknames,
                         std::vector<std::string>* unreadable = nullptr);
bool BookLookUpConnection(IndexedDatabase* book, const std::string& nickname,
                          ConnectionValues* stored);
StoreResult BookStoreConnection(IndexedDatabase* book, const ConnectionValues& entered);
bool BookDeleteConnection(IndexedDatabase* book, const std::string& nickname);

// Typed helpers for the invitation book (the Invitation panel).
struct RecipientValues {
  std::string nickname;
  std::string email_address;
};
bool BookListRecipients(IndexedDatabase* book, std::vector<RecipientValues>* recipients,
                        std::vector<std::string>* unreadable = nullptr);
StoreResult BookStoreRecipient(IndexedDatabase* book, const RecipientValues& entered);
// Find, then Delete.
bool BookDeleteRecipient(IndexedDatabase* book, const RecipientValues& recipient);

#endif  // QUILLO_CORE_BOOKS_BOOK_SEQUENCES_H
