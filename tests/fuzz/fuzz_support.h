#ifndef QUILLO_TESTS_FUZZ_FUZZ_SUPPORT_H
#define QUILLO_TESTS_FUZZ_FUZZ_SUPPORT_H

// What the fuzzers share: scratch files of their own, a reporter that
// swallows every line, the loop that hands bytes to a socket, and the walk
// through an address book made of arbitrary files. A fault in the harness
// itself aborts, as a finding would.
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/books/address_book.h"
#include "core/books/book_sequences.h"
#include "core/util/reporter.h"
#include "support/fault_file_io.h"

namespace fuzz {

// A path in /tmp of this process's own, ending in `name`.
inline std::string ScratchPath(const std::string& name) {
  return "/tmp/quillo-fuzz-" + std::to_string(getpid()) + "-" + name;
}

inline void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || (size > 0 && std::fwrite(data, 1, size, file) != size)) std::abort();
  std::fclose(file);
}

inline std::string ReadFile(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) std::abort();
  std::string bytes;
  for (int c; (c = std::fgetc(file)) != EOF;) bytes.push_back(static_cast<char>(c));
  std::fclose(file);
  return bytes;
}

// Lines go nowhere.
struct NullReporter : Reporter {
  explicit NullReporter(bool minimised) : minimised(minimised) {}
  void ConversationLine(const std::string&) override {}
  void EventLine(const std::string&) override {}
  void StatusText(const std::string&) override {}
  void ProgramMessage(const std::string&, const std::string&, const std::string&) override {}
  void PlayActivitySound() override {}
  bool MainFrameMinimised() override { return minimised; }
  const bool minimised;
};

// Sends until all went or send() refused (a peer that stopped reading).
inline void SendAll(int fd, const uint8_t* data, size_t size, int flags) {
  for (ssize_t n; size > 0 && (n = ::send(fd, data, size, flags | MSG_NOSIGNAL)) > 0;) {
    data += n;
    size -= static_cast<size_t>(n);
  }
}

// Writes a book's files in a directory of their own (a rebuild writes a
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

// Opens the book (journal roll-back, index check, rebuild), lists it both
// ways, looks up what was listed, adds and removes entries, opens it again
// and removes its files. Whatever the bytes, nothing may crash or hang, and
// an open or updated book's index must agree with its data file.
inline void ExerciseBook(const std::string& base, uint8_t seed) {
  qtest::FaultFileIo io;  // syncs are counted, not made
  NullReporter reporter(false);
  auto check_and_close = [](IndexedDatabase* book) {
    if (!IndexMatchesData(book)) std::abort();
    book->Close();
    delete book;
  };
  IndexedDatabase* book = OpenAddressBook(base, nullptr, false, &reporter, ".ihd", ".ihx", &io);
  if (book != nullptr) {
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
    check_and_close(book);
    book = OpenAddressBook(base, nullptr, false, &reporter, ".ihd", ".ihx", &io);
    if (book != nullptr) check_and_close(book);
  }
  for (const char* extension : {".ihd", ".ihx", ".ihj"}) std::remove((base + extension).c_str());
  std::remove((base.substr(0, base.rfind('/')) + "/tempfile.idx").c_str());
}

}  // namespace fuzz

#endif  // QUILLO_TESTS_FUZZ_FUZZ_SUPPORT_H
