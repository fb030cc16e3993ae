// Crash and full-disk injection over an address book: for every write,
// sync, truncate, rename and unlink of a run of adds, updates and removes,
// the process is stopped there (or every later call fails), the book is
// opened again, and it must hold exactly the entries before or after the
// operation that was interrupted, in files that keep their layout rules.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "core/books/address_book.h"
#include "core/books/book_sequences.h"
#include "core/books/books_test_util.h"
#include "support/fault_file_io.h"

namespace {

using qtest::FaultFileIo;
using Book = std::map<std::string, ConnectionValues>;  // by lower-case nickname

std::string Lower(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

struct Operation {
  enum Kind { kAdd, kUpdate, kRemove } kind;
  ConnectionValues values;
};

// 50 entries to start with; then 12 adds, 12 updates and 12 removes mixed.
Book InitialBook() {
  Book book;
  for (int i = 0; i < 50; ++i) {
    const std::string name = "nick" + std::to_string(10 + i);
    book[name] = {name, "10.0.0." + std::to_string(i), 1000 + i, i * 7};
  }
  return book;
}

std::vector<Operation> Operations() {
  std::vector<Operation> ops;
  for (int i = 0; i < 12; ++i) {
    const std::string added = "new" + std::to_string(i);
    ops.push_back({Operation::kAdd, {added, "host" + std::to_string(i), 2000 + i, -i}});
    const std::string updated = "nick" + std::to_string(10 + 3 * i);
    ops.push_back({Operation::kUpdate, {updated, "changed.example", 3000 + i, 99}});
    ops.push_back({Operation::kRemove, {"nick" + std::to_string(11 + 3 * i), "", 0, 0}});
  }
  return ops;
}

void Apply(const Operation& op, Book* book) {
  const std::string key = Lower(op.values.nickname);
  if (op.kind == Operation::kRemove) {
    book->erase(key);
  } else {
    (*book)[key] = op.values;
  }
}

// false when the operation reported a failure.
bool RunOperation(IndexedDatabase* handle, const Operation& op) {
  if (op.kind == Operation::kRemove) return BookDeleteConnection(handle, op.values.nickname);
  return BookStoreConnection(handle, op.values) != StoreResult::kFailed;
}

class BookCrashTest : public BookDirectory {
 protected:
  void SetUp() override {
    BookDirectory::SetUp();
    FaultFileIo unsynced;
    IndexedDatabase* handle =
        OpenAddressBook("prevconn", nullptr, false, nullptr, ".ihd", ".ihx", &unsynced);
    ASSERT_NE(handle, nullptr);
    for (const auto& [key, values] : InitialBook()) {
      ASSERT_EQ(BookStoreConnection(handle, values), StoreResult::kAdded);
    }
    Close(handle);
    data_ = qtest::ReadBytes("prevconn.ihd");
    index_ = qtest::ReadBytes("prevconn.ihx");
    states_.push_back(InitialBook());
    for (const Operation& op : Operations()) {
      states_.push_back(states_.back());
      Apply(op, &states_.back());
    }
  }

  void Restore() {
    qtest::WriteBytes("prevconn.ihd", data_);
    qtest::WriteBytes("prevconn.ihx", index_);
    std::remove("prevconn.ihj");
    std::remove("tempfile.idx");
  }

  static void Close(IndexedDatabase* handle) {
    if (!handle) return;
    handle->Close();
    delete handle;
  }

  // Opens the book through io and runs every operation; the number of
  // operations that reported success.
  static int RunAll(FileIo* io) {
    IndexedDatabase* handle =
        OpenAddressBook("prevconn", nullptr, false, nullptr, ".ihd", ".ihx", io);
    if (!handle) return -1;
    int done = 0;
    for (const Operation& op : Operations()) done += RunOperation(handle, op) ? 1 : 0;
    Close(handle);
    return done;
  }

  // The calls made before each operation began (and, last, in all).
  std::vector<long> CallMarks() {
    Restore();
    FaultFileIo io;
    std::vector<long> marks;
    IndexedDatabase* handle =
        OpenAddressBook("prevconn", nullptr, false, nullptr, ".ihd", ".ihx", &io);
    EXPECT_NE(handle, nullptr);
    for (const Operation& op : Operations()) {
      marks.push_back(io.Calls());
      EXPECT_TRUE(RunOperation(handle, op));
    }
    marks.push_back(io.Calls());
    Close(handle);
    for (long n = 1; n <= io.Calls(); ++n) writes_.push_back(io.WasWrite(n));
    return marks;
  }

  // What the book holds now, read through the program's own paths and
  // checked against the layout rules; empty text when it is sound.
  std::string Inspect(Book* found) {
    RecordingReporter reporter;
    FaultFileIo unsynced;
    IndexedDatabase* handle =
        OpenAddressBook("prevconn", nullptr, false, &reporter, ".ihd", ".ihx", &unsynced);
    if (!handle) return "book does not open";
    std::string fault = LayoutFault(handle);
    if (!reporter.Events().empty()) fault += "; open reported: " + reporter.Events();
    std::vector<std::string> names;
    if (!BookListConnections(handle, &names)) fault += "; listing incomplete";
    for (const std::string& name : names) {
      ConnectionValues values;
      if (!BookLookUpConnection(handle, name, &values)) fault += "; lookup failed: " + name;
      (*found)[Lower(name)] = values;
    }
    Close(handle);
    if (qtest::Exists("prevconn.ihj")) fault += "; journal left";
    return fault;
  }

  // Block lengths tile the heap exactly; every block in use is a
  // connection record of the nine fields of their fixed lengths; the tree
  // walks in order and matches the records.
  static std::string LayoutFault(IndexedDatabase* handle) {
    DatabaseFile* data = handle->Data();
    const int64_t end = int32_t(data->Header().end_of_file);
    int64_t position = int32_t(data->Header().heap_start);
    int in_use = 0;
    while (position < end) {
      DatabaseBlockHeader h;
      if (data->ReadBlockHeader(h, int32_t(position)))
        return "bad block at " + std::to_string(position);
      const int64_t length = uint32_t(h.block_length);
      if (!data->IsPlausibleBlock(position, length)) return "bad block length";
      if (uint32_t(h.status) == kBlockInUse) {
        ++in_use;
        FieldRecord record(handle, 9);
        if (record.Read(int32_t(position + data->BlockHeaderSize())) != 0)
          return "unreadable record";
        const size_t lengths[9] = {256, 256, 4, 4, 0, 0, 0, 0, 0};
        if (record.FieldCount() != 9) return "field count";
        for (int i = 0; i < 9; ++i) {
          if (record.Field(i).Length() != lengths[i]) return "field length";
        }
      }
      position += length;
    }
    if (position != end) return "blocks overrun the end of file";
    if (!IndexMatchesData(handle)) return "index does not match the data";
    if (in_use != int32_t(handle->Tree(0)->Header().key_count)) return "records without keys";
    return "";
  }

  static bool Same(const Book& a, const Book& b) {
    if (a.size() != b.size()) return false;
    for (const auto& [key, v] : a) {
      auto other = b.find(key);
      if (other == b.end()) return false;
      const ConnectionValues& w = other->second;
      if (v.nickname != w.nickname || v.address != w.address || v.port != w.port || v.key != w.key)
        return false;
    }
    return true;
  }

  // The operation under way at call number at.
  static size_t OperationAt(const std::vector<long>& marks, long at) {
    size_t k = 0;
    while (k + 1 < marks.size() && marks[k + 1] < at) ++k;
    return k;
  }

  std::string data_, index_;
  std::vector<Book> states_;  // states_[k]: after k operations
  std::vector<bool> writes_;  // writes_[n - 1]: call n of a whole run writes
};

TEST_F(BookCrashTest, EveryCrashPointLeavesTheStateBeforeOrAfterTheOperation) {
  const std::vector<long> marks = CallMarks();
  const long total = marks.back();
  ASSERT_GT(total, 36);
  int tried = 0, lost = 0;
  for (FaultFileIo::Mode mode : {FaultFileIo::Mode::kCrash, FaultFileIo::Mode::kTornCrash}) {
    for (long n = 1; n <= total; ++n) {
      // Only a write can be torn; elsewhere a torn crash is a plain one.
      if (mode == FaultFileIo::Mode::kTornCrash && !writes_[size_t(n - 1)]) continue;
      Restore();
      const pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        FaultFileIo io(mode, n);
        RunAll(&io);
        _exit(1);  // never reached: the Nth call stops the process
      }
      int status = 0;
      ASSERT_EQ(waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "call " << n;
      ++tried;
      const size_t k = std::min(OperationAt(marks, n), states_.size() - 2);
      Book found;
      const std::string fault = Inspect(&found);
      if (!fault.empty() || !(Same(found, states_[k]) || Same(found, states_[k + 1]))) {
        ++lost;
        ADD_FAILURE() << "crash at call " << n << " in operation " << k << ": " << fault;
      }
    }
  }
  std::printf("[ crash points ] %d tried over %zu operations on 50 entries, %d lost anything\n",
              tried, Operations().size(), lost);
  EXPECT_EQ(lost, 0);
}

TEST_F(BookCrashTest, AFullDiskFailsTheOperationAndKeepsTheBookWhole) {
  const std::vector<long> marks = CallMarks();
  int tried = 0, lost = 0;
  for (long n = 1; n <= marks.back(); ++n) {
    Restore();
    FaultFileIo io(FaultFileIo::Mode::kFailFrom, n);
    const int done = RunAll(&io);
    ++tried;
    // Operations before the first failing call succeeded; none after.
    const size_t k = std::min(OperationAt(marks, n), states_.size() - 2);
    Book found;
    const std::string fault = Inspect(&found);
    const bool whole = fault.empty() && ((done == int(k) && Same(found, states_[k])) ||
                                         (done == int(k) + 1 && Same(found, states_[k + 1])) ||
                                         (done < 0 && Same(found, states_[0])));
    if (!whole) {
      ++lost;
      ADD_FAILURE() << "failing from call " << n << " (operation " << k << ", " << done
                    << " reported done): " << fault;
    }
  }
  std::printf("[ full disk    ] %d points tried, %d lost anything\n", tried, lost);
  EXPECT_EQ(lost, 0);
}

// The real layer, recording which file each change went to: the one place
// where the syncs the crash tests only count are really made.
class RecordingFileIo : public FileIo {
 public:
  int Open(const char* name, int flags, mode_t mode) override {
    const int fd = FileIo::Open(name, flags, mode);
    if (fd >= 0) names_[fd] = name;
    return fd;
  }
  ssize_t PWrite(int fd, const void* buffer, size_t length, int64_t offset) override {
    Note("write " + names_[fd]);
    return FileIo::PWrite(fd, buffer, length, offset);
  }
  int Sync(int fd) override {
    Note("sync " + names_[fd]);
    return FileIo::Sync(fd);
  }
  int Unlink(const char* name) override {
    Note(std::string("unlink ") + name);
    return FileIo::Unlink(name);
  }
  std::string Calls() const { return calls_; }
  void Clear() { calls_.clear(); }

 private:
  // Consecutive writes to one file are one step.
  void Note(const std::string& call) {
    if (call != last_) calls_ += call + "\n";
    last_ = call;
  }
  std::map<int, std::string> names_;
  std::string calls_, last_;
};

TEST_F(BookCrashTest, AnUpdateIsJournaledAndSyncedBeforeTheBookChanges) {
  Restore();
  RecordingFileIo io;
  IndexedDatabase* handle =
      OpenAddressBook("prevconn", nullptr, false, nullptr, ".ihd", ".ihx", &io);
  ASSERT_NE(handle, nullptr);
  io.Clear();
  ASSERT_EQ(BookStoreConnection(handle, {"fresh", "host", 1, 2}), StoreResult::kAdded);
  EXPECT_EQ(io.Calls(),
            "write prevconn.ihj\nsync prevconn.ihj\nsync .\n"
            "write prevconn.ihd\nsync prevconn.ihd\nwrite prevconn.ihx\nsync prevconn.ihx\n"
            "unlink prevconn.ihj\nsync .\n");
  Close(handle);
}

}  // namespace
