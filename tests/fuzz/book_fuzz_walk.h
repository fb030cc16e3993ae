#ifndef QUILLO_TESTS_FUZZ_BOOK_FUZZ_WALK_H
#define QUILLO_TESTS_FUZZ_BOOK_FUZZ_WALK_H

// What the address-book fuzzers do with a book made of arbitrary files:
// open it (journal roll-back, index check, rebuild), list it both ways,
// look up what was listed, add and remove an entry, and open it again.
// Whatever the bytes, nothing may crash or hang, an open book's index must
// agree with its data file, and an update must leave it agreeing.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "core/books/address_book.h"
#include "core/books/book_sequences.h"
#include "fuzz/fuzz_support.h"
#include "support/fault_file_io.h"

namespace fuzz {

// Writes the book's files in a directory of their own (a rebuild writes a
// temporary index beside them): no index file when index is null, no
// journal when it is empty. Returns the book's base name.
inline std::string WriteBook(const uint8_t* data, size_t data_size, const uint8_t* index,
                             size_t index_size, const uint8_t* journal, size_t journal_size) {
  static const std::string directory = [] {
    const std::string path = ScratchPath("book");
    ::mkdir(path.c_str(), 0700);
    return path;
  }();
  const std::string base = directory + "/prevconn";
  WriteFile(base + ".ihd", data, data_size);
  if (index != nullptr) WriteFile(base + ".ihx", index, index_size);
  if (journal_size > 0) WriteFile(base + ".ihj", journal, journal_size);
  return base;
}

inline void CheckAndClose(IndexedDatabase* book) {
  if (!IndexMatchesData(book)) std::abort();
  book->Close();
  delete book;
}

inline void ExerciseBook(const std::string& base, uint8_t seed) {
  // Syncs are counted, not made: the fuzzer needs no durable files.
  qtest::FaultFileIo io;
  NullReporter reporter(false);
  IndexedDatabase* book = OpenAddressBook(base, nullptr, false, &reporter, ".ihd", ".ihx", &io);
  if (book == nullptr) return;
  if (!IndexMatchesData(book)) std::abort();
  std::vector<std::string> names, unreadable;
  BookListConnections(book, &names, &unreadable);
  std::vector<RecipientValues> recipients;
  BookListRecipients(book, &recipients);
  for (const std::string& name : names) {
    ConnectionValues stored;
    BookLookUpConnection(book, name, &stored);
  }
  const std::string added = "fuzz" + std::to_string(seed);
  BookStoreConnection(book, {added, "host", seed, seed});
  if (!names.empty()) BookDeleteConnection(book, names[seed % names.size()]);
  BookStoreConnection(book, {added, "other", 1, 2});
  BookDeleteConnection(book, added);
  CheckAndClose(book);
  book = OpenAddressBook(base, nullptr, false, &reporter, ".ihd", ".ihx", &io);
  if (book != nullptr) CheckAndClose(book);
}

inline void RemoveBook(const std::string& base) {
  for (const char* extension : {".ihd", ".ihx", ".ihj"}) std::remove((base + extension).c_str());
  std::remove((base.substr(0, base.rfind('/')) + "/tempfile.idx").c_str());
}

}  // namespace fuzz

#endif  // QUILLO_TESTS_FUZZ_BOOK_FUZZ_WALK_H
