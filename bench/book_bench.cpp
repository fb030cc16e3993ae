// Address-book adds and removes as the Connect panel makes them, each a
// journaled update with its syncs, beside the same operations with no
// journal and no sync (as books were written before), in the same run and
// directory: operations per second, the ratio, and each operation's latency
// with the journal, which a person waits for, so its p99 must stay below
// 50 ms.   bench_book [DIRECTORY]   (default: the current directory)
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "core/books/address_book.h"
#include "core/books/book_sequences.h"
#include "core/util/file_io.h"

namespace {

using bench::Clock;

constexpr int kEntries = 200;  // added, then removed, per round
constexpr int kRounds = 3;     // alternating, so drift of a shared disk hits both

// Writes without syncing: the figure books had before the journal.
struct UnsyncedFileIo : FileIo {
  int Sync(int) override { return 0; }
};

struct Figures {
  std::vector<double> milliseconds;  // one per operation
  double seconds = 0;
};

// Adds kEntries connections and removes them again, timing each.
bool Round(const std::string& base, bool journaled, Figures* figures) {
  UnsyncedFileIo unsynced;
  IndexedDatabase* book = OpenAddressBook(base, nullptr, false, nullptr, ".ihd", ".ihx",
                                          journaled ? nullptr : &unsynced);
  if (!book) return false;
  if (!journaled) book->SetJournalName("");
  bool ok = true;
  const Clock::time_point round_start = Clock::now();
  for (int pass = 0; pass < 2 && ok; ++pass) {
    for (int i = 0; i < kEntries && ok; ++i) {
      const std::string name = "entry" + std::to_string(i * 7919 % kEntries);
      const Clock::time_point start = Clock::now();
      ok = pass == 0
               ? BookStoreConnection(book, {name, "192.0.2.1", 59152, i}) == StoreResult::kAdded
               : BookDeleteConnection(book, name);
      figures->milliseconds.push_back(bench::Micros(start) / 1000);
    }
  }
  figures->seconds += bench::Seconds(round_start);
  book->Close();
  delete book;
  return ok;
}

// Prints the figures; the 99th percentile of one operation, in ms.
double Print(const char* what, const Figures& figures) {
  const bench::Figures ms = bench::Summarise(figures.milliseconds);
  std::printf("%-28s %6zu operations in %7.3f s: %8.0f per second, median %6.2f ms, p99 %6.2f ms\n",
              what, figures.milliseconds.size(), figures.seconds,
              double(figures.milliseconds.size()) / figures.seconds, ms.median, ms.p99);
  return ms.p99;
}

}  // namespace

int main(int argc, char** argv) {
  std::string directory = (argc > 1 ? argv[1] : ".") + std::string("/bench-book-XXXXXX");
  if (!mkdtemp(directory.data())) return 1;
  const std::string base = directory + "/prevconn";
  Figures plain, journaled;
  for (int round = 0; round < kRounds; ++round) {
    if (!Round(base, false, &plain) || !Round(base, true, &journaled)) return 1;
  }
  for (const char* extension : {".ihd", ".ihx"}) std::remove((base + extension).c_str());
  rmdir(directory.c_str());
  Print("without journal or sync", plain);
  const double p99 = Print("journaled and synced", journaled);
  std::printf("journaled / plain time: %.1f; journaled p99 %.2f ms is %s 50 ms\n",
              journaled.seconds / plain.seconds, p99, p99 < 50 ? "under" : "OVER");
  return p99 < 50 ? 0 : 2;
}
