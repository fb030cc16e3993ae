#include "core/books/book_sequences.h"

#include <cstring>

#include "core/books/name_key.h"

bool LookUpRecord(FieldRecord& record) { return record.Find() && record.ReadCurrent(); }

StoreResult AddOrUpdateRecord(FieldRecord& entered) {
  if (!entered.Find())
    return entered.WriteUnique(true) ? StoreResult::kAdded : StoreResult::kFailed;
  FieldRecord copy(entered);  // the entered values at the found address
  if (!entered.ReadCurrent()) return StoreResult::kFailed;
  if (!entered.NotEquals(copy)) return StoreResult::kUnchanged;
  if (!copy.UpdateInPlace()) return StoreResult::kFailed;
  entered.ReadCurrent();
  return StoreResult::kUpdated;
}

bool RemoveRecord(FieldRecord& record) { return record.Delete() != 0; }

bool ListBook(IndexedDatabase* book, FieldRecord& record, ListHeaderCheck check,
              const std::function<bool(const FieldRecord&)>& each) {
  BTreeIndex* tree = book ? book->Tree(0) : nullptr;
  if (!tree) return false;
  const bool searches_test = check == ListHeaderCheck::kTestEachSearch;
  tree->TestHeader(check == ListHeaderCheck::kReloadOnce);
  NameKey key, scratch, previous;
  if (!tree->FindFirst(key, searches_test)) return int32_t(tree->Header().key_count) == 0;
  for (;;) {
    if (!record.ReadAt(key.RecordAddress())) return false;
    if (!each(record)) return true;
    std::memcpy(previous.KeyData(), key.KeyData(), size_t(key.KeySize()));
    if (!tree->FindNext(key, scratch, searches_test)) return true;
    // Keys come strictly ascending from a sound index; anything else would
    // walk a damaged one round and round.
    if (!key.GreaterThan(previous)) return false;
  }
}

bool BookListConnections(IndexedDatabase* book, std::vector<std::string>* nicknames) {
  nicknames->clear();
  if (!book) return false;
  ConnectionRecord record(book);
  return ListBook(book, record, ListHeaderCheck::kTestEachSearch, [&](const FieldRecord& r) {
    nicknames->push_back(r.FieldText(0));
    return true;
  });
}

bool BookLookUpConnection(IndexedDatabase* book, const std::string& nickname,
                          ConnectionValues* stored) {
  if (!book) return false;
  ConnectionRecord record(book, nickname, "", 0, 0);
  if (!LookUpRecord(record)) return false;
  *stored = ConnectionValues{record.Nickname(), record.Address(), record.Port(), record.Key()};
  return true;
}

StoreResult BookStoreConnection(IndexedDatabase* book, const ConnectionValues& entered) {
  if (!book) return StoreResult::kFailed;
  ConnectionRecord record(book, entered.nickname, entered.address, entered.port, entered.key);
  return AddOrUpdateRecord(record);
}

bool BookDeleteConnection(IndexedDatabase* book, const std::string& nickname) {
  if (!book) return false;
  ConnectionRecord record(book, nickname, "", 0, 0);
  return RemoveRecord(record);
}

bool BookListRecipients(IndexedDatabase* book, std::vector<RecipientValues>* recipients) {
  recipients->clear();
  if (!book) return false;
  FieldRecord record(book, 1);
  return ListBook(book, record, ListHeaderCheck::kReloadOnce, [&](const FieldRecord& r) {
    recipients->push_back(RecipientValues{r.FieldText(0), r.FieldText(1)});
    return true;
  });
}

StoreResult BookStoreRecipient(IndexedDatabase* book, const RecipientValues& entered) {
  if (!book) return StoreResult::kFailed;
  InvitationRecord record(book, entered.nickname, entered.email_address);
  return AddOrUpdateRecord(record);
}

bool BookDeleteRecipient(IndexedDatabase* book, const RecipientValues& recipient) {
  if (!book) return false;
  InvitationRecord record(book, recipient.nickname, recipient.email_address);
  return record.Find() && RemoveRecord(record);
}
