#ifndef QUILLO_TESTS_FUZZ_BOOK_FUZZ_WALK_H
#define QUILLO_TESTS_FUZZ_BOOK_FUZZ_WALK_H

// What the address-book fuzzers do with a book made of arbitrary files:
// open it (journal roll-back, index check, rebuild), list it both ways,
// look up what was listed, add and remove an entry, and open it again.
// Whatever the bytes, nothing may crash or hang, an open book's index must
// agree with its data file, and an update must leave it agreeing.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/books/address_book.h"
#include "core/books/book_sequences.h"
#include "fuzz/fuzz_support.h"
#include "support/fault_file_io.h"

namespace fuzz {

inline std::string BookDirectory() {
  static const std::string path = [] {
    std::string dir = "/tmp/quillo-fuzz-book-" + std::to_string(getpid());
    ::mkdir(dir.c_str(), 0700);
    return dir;
  }();
  return path;
}

inline std::string BookBase() { return BookDirectory() + "/prevconn"; }

inline void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
}

inline void RemoveBook() {
  for (const char* extension : {".ihd", ".ihx", ".ihj"}) {
    std::remove((BookBase() + extension).c_str());
  }
  std::remove((BookDirectory() + "/tempfile.idx").c_str());
}

inline void Discard(IndexedDatabase* book) {
  book->Close();
  delete book;
}

inline void ExerciseBook(uint8_t seed) {
  // Syncs are counted, not made: the fuzzer needs no durable files.
  qtest::FaultFileIo io;
  NullReporter reporter(false);
  IndexedDatabase* book =
      OpenAddressBook(BookBase(), nullptr, false, &reporter, ".ihd", ".ihx", &io);
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
  if (!IndexMatchesData(book)) std::abort();
  Discard(book);
  book = OpenAddressBook(BookBase(), nullptr, false, &reporter, ".ihd", ".ihx", &io);
  if (book == nullptr) return;
  if (!IndexMatchesData(book)) std::abort();
  Discard(book);
}

}  // namespace fuzz

#endif  // QUILLO_TESTS_FUZZ_BOOK_FUZZ_WALK_H
