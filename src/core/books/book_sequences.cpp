#include "core/books/book_sequences.h"

#include <cstring>

#include "core/books/name_key.h"

namespace {

// One update of a book: committed by Commit(), undone when it goes out of
// scope without.
class BookUpdate {
 public:
  explicit BookUpdate(IndexedDatabase* book)
      : book_(book), begun_(book && book->BeginUpdate() == 0) {}
  ~BookUpdate() {
    if (begun_) book_->AbortUpdate();
  }
  BookUpdate(const BookUpdate&) = delete;
  BookUpdate& operator=(const BookUpdate&) = delete;

  bool Begun() const { return begun_; }
  bool Commit() {
    begun_ = false;
    return book_->CommitUpdate() == 0;
  }

 private:
  IndexedDatabase* book_;
  bool begun_;
};

}  // namespace

bool LookUpRecord(FieldRecord& record) { return record.Find() && record.ReadCurrent(); }

StoreResult AddOrUpdateRecord(FieldRecord& entered) {
  if (!entered.Find()) {
    BookUpdate update(entered.Database());
    if (!update.Begun() || !entered.WriteUnique(true) || !update.Commit()) {
      return StoreResult::kFailed;
    }
    return StoreResult::kAdded;
  }
  FieldRecord copy(entered);  // the entered values at the found address
  if (!entered.ReadCurrent()) return StoreResult::kFailed;
  if (!entered.NotEquals(copy)) return StoreResult::kUnchanged;
  BookUpdate update(entered.Database());
  if (!update.Begun() || !copy.UpdateInPlace() || !update.Commit()) return StoreResult::kFailed;
  entered.ReadCurrent();
  return StoreResult::kUpdated;
}

bool RemoveRecord(FieldRecord& record) {
  BookUpdate update(record.Database());
  return update.Begun() && record.Delete() != 0 && update.Commit();
}

bool ListBook(IndexedDatabase* book, FieldRecord& record, ListHeaderCheck check,
              const std::function<bool(const FieldRecord&)>& each,
              std::vector<std::string>* unreadable) {
  BTreeIndex* tree = book ? book->Tree(0) : nullptr;
  if (!tree) return false;
  const bool searches_test = check == ListHeaderCheck::kTestEachSearch;
  tree->TestHeader(check == ListHeaderCheck::kReloadOnce);
  NameKey key, scratch, previous;
  if (!tree->FindFirst(key, searches_test)) return int32_t(tree->Header().key_count) == 0;
  bool complete = true;
  for (;;) {
    if (record.ReadAt(key.RecordAddress())) {
      if (!each(record)) return complete;
    } else {
      complete = false;
      if (unreadable) unreadable->push_back(key.Name());
    }
    std::memcpy(previous.KeyData(), key.KeyData(), size_t(key.KeySize()));
    // Only a walk past the last key ends the list; a failed step is no end.
    if (!tree->FindNext(key, scratch, searches_test)) return complete && tree->LastError() == 0;
    // Keys come strictly ascending from a sound index; anything else would
    // walk a damaged one round and round.
    if (!key.GreaterThan(previous)) return false;
  }
}

std::vector<std::string> ListingGapLines(IndexedDatabase* book, bool complete,
                                         const std::vector<std::string>& unreadable) {
  std::vector<std::string> lines;
  if (!book || complete) return lines;
  const std::string name = book->Data() ? book->Data()->Name() : "?";
  for (const std::string& nickname : unreadable) {
    lines.push_back("The entry \"" + nickname + "\" of the address book " + name +
                    " cannot be read and is not listed.");
  }
  if (lines.empty()) {
    lines.push_back("The address book " + name +
                    " could not be listed to the end; its index is damaged and is rebuilt "
                    "the next time Quillo starts.");
  }
  return lines;
}

bool BookListConnections(IndexedDatabase* book, std::vector<std::string>* nicknames,
                         std::vector<std::string>* unreadable) {
  nicknames->clear();
  if (!book) return false;
  ConnectionRecord record(book);
  return ListBook(
      book, record, ListHeaderCheck::kTestEachSearch,
      [&](const FieldRecord& r) {
        nicknames->push_back(r.FieldText(0));
        return true;
      },
      unreadable);
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

bool BookListRecipients(IndexedDatabase* book, std::vector<RecipientValues>* recipients,
                        std::vector<std::string>* unreadable) {
  recipients->clear();
  if (!book) return false;
  FieldRecord record(book, 1);
  return ListBook(
      book, record, ListHeaderCheck::kReloadOnce,
      [&](const FieldRecord& r) {
        recipients->push_back(RecipientValues{r.FieldText(0), r.FieldText(1)});
        return true;
      },
      unreadable);
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
