// Crash and full-disk injection over an address book: wherever a run of
// adds, updates and removes stops, the reopened book holds exactly the
// entries before or after the interrupted operation, in sound files.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "core/books/address_book.h"
#include "core/books/book_sequences.h"
#include "core/books/books_test_util.h"
#include "support/fault_file_io.h"

namespace {

using qtest::FaultFileIo;
using Book = std::map<std::string, std::string>;  // entry as text by nickname (all lower case)

std::string Text(const ConnectionValues& v) {
  return v.nickname + "|" + v.address + "|" + std::to_string(v.port) + "|" + std::to_string(v.key);
}
ConnectionValues Initial(int i) {
  return {"nick" + std::to_string(10 + i), "10.0.0." + std::to_string(i), 1000 + i, i * 7};
}
// 12 adds, 12 updates and 12 removes (no address) mixed.
std::vector<ConnectionValues> Operations() {
  std::vector<ConnectionValues> ops;
  for (int i = 0; i < 12; ++i) {
    ops.push_back({"new" + std::to_string(i), "host" + std::to_string(i), 2000 + i, -i});
    ops.push_back({"nick" + std::to_string(10 + 3 * i), "changed.example", 3000 + i, 99});
    ops.push_back({"nick" + std::to_string(11 + 3 * i), "", 0, 0});
  }
  return ops;
}
IndexedDatabase* OpenBook(FileIo* io, Reporter* reporter = nullptr) {
  return OpenAddressBook("prevconn", nullptr, false, reporter, ".ihd", ".ihx", io);
}
bool RunOp(IndexedDatabase* handle, const ConnectionValues& op) {
  if (op.address.empty()) return BookDeleteConnection(handle, op.nickname);
  return BookStoreConnection(handle, op) != StoreResult::kFailed;
}
// The number of operations that reported success, -1 if the book did not open.
int RunAll(FileIo* io) {
  IndexedDatabase* handle = OpenBook(io);
  if (!handle) return -1;
  int done = 0;
  for (const ConnectionValues& op : Operations()) done += RunOp(handle, op) ? 1 : 0;
  CloseBook(handle);
  return done;
}

// Block lengths tile the heap and every block in use has its key.
std::string LayoutFault(IndexedDatabase* handle) {
  DatabaseFile* data = handle->Data();
  const int64_t end = int32_t(data->Header().end_of_file);
  int64_t position = int32_t(data->Header().heap_start);
  int in_use = 0;
  for (DatabaseBlockHeader h; position < end; position += uint32_t(h.block_length)) {
    if (data->ReadBlockHeader(h, int32_t(position)) ||
        !data->IsPlausibleBlock(position, uint32_t(h.block_length)))
      return "bad block at " + std::to_string(position);
    in_use += uint32_t(h.status) == kBlockInUse ? 1 : 0;
  }
  return in_use == int32_t(handle->Tree(0)->Header().key_count) ? "" : "records without keys";
}

class BookCrashTest : public BookDirectory {
 protected:
  void SetUp() override {
    BookDirectory::SetUp();
    FaultFileIo unsynced;
    IndexedDatabase* handle = OpenBook(&unsynced);
    ASSERT_NE(handle, nullptr);
    states_.emplace_back();
    for (int i = 0; i < 50; ++i) {
      ASSERT_EQ(BookStoreConnection(handle, Initial(i)), StoreResult::kAdded);
      states_[0][Initial(i).nickname] = Text(Initial(i));
    }
    CloseBook(handle);
    data_ = qtest::ReadBytes("prevconn.ihd");
    index_ = qtest::ReadBytes("prevconn.ihx");
    FaultFileIo io;
    handle = OpenBook(&io);
    for (const ConnectionValues& op : Operations()) {
      states_.push_back(states_.back());
      if (op.address.empty()) states_.back().erase(op.nickname);
      if (!op.address.empty()) states_.back()[op.nickname] = Text(op);
      marks_.push_back(io.Calls());  // calls made before each operation began
      EXPECT_TRUE(RunOp(handle, op));
    }
    marks_.push_back(io.Calls());
    CloseBook(handle);
  }

  void Restore() {
    qtest::WriteBytes("prevconn.ihd", data_);
    qtest::WriteBytes("prevconn.ihx", index_);
    std::remove("prevconn.ihj");
    std::remove("tempfile.idx");
  }

  // What the book holds now, read through the program's own paths; the
  // fault is empty when the open reported nothing and the files are sound.
  std::string Inspect(Book* found) {
    RecordingReporter reporter;
    FaultFileIo unsynced;
    IndexedDatabase* handle = OpenBook(&unsynced, &reporter);
    if (!handle) return "book does not open";
    std::string fault = LayoutFault(handle) + reporter.Events();
    std::vector<std::string> names;
    if (!BookListConnections(handle, &names)) fault += "; listing incomplete";
    for (const std::string& name : names) {
      ConnectionValues values;
      if (!BookLookUpConnection(handle, name, &values)) fault += "; lookup failed: " + name;
      (*found)[name] = Text(values);
    }
    CloseBook(handle);
    return qtest::Exists("prevconn.ihj") ? fault + "; journal left" : fault;
  }

  // The operation under way at call number at.
  size_t OperationAt(long at) const {
    size_t k = 0;
    while (k + 1 < marks_.size() && marks_[k + 1] < at) ++k;
    return std::min(k, states_.size() - 2);
  }

  std::string data_, index_;
  std::vector<Book> states_;  // states_[k]: after k operations
  std::vector<long> marks_;
};

TEST_F(BookCrashTest, EveryCrashPointLeavesTheStateBeforeOrAfterTheOperation) {
  ASSERT_GT(marks_.back(), 36);
  for (FaultFileIo::Mode mode : {FaultFileIo::Mode::kCrash, FaultFileIo::Mode::kTornCrash}) {
    for (long n = 1; n <= marks_.back(); ++n) {  // a torn crash outside a write is a plain one
      Restore();
      ASSERT_EQ(qtest::InChild([&] {
                  FaultFileIo io(mode, n);
                  RunAll(&io);
                  return 1;  // never reached: the Nth call exits 0
                }),
                0)
          << n;
      const size_t k = OperationAt(n);
      Book found;
      const std::string fault = Inspect(&found);
      EXPECT_TRUE(fault.empty() && (found == states_[k] || found == states_[k + 1]))
          << "crash at call " << n << " in operation " << k << ": " << fault;
    }
  }
}

TEST_F(BookCrashTest, AFullDiskFailsTheOperationAndKeepsTheBookWhole) {
  for (long n = 1; n <= marks_.back(); ++n) {
    Restore();
    FaultFileIo io(FaultFileIo::Mode::kFailFrom, n);
    const int done = RunAll(&io);
    // Operations before the first failing call succeeded; none after.
    const size_t k = OperationAt(n);
    Book found;
    const std::string fault = Inspect(&found);
    EXPECT_TRUE(fault.empty() && ((done == int(k) && found == states_[k]) ||
                                  (done == int(k) + 1 && found == states_[k + 1]) ||
                                  (done < 0 && found == states_[0])))
        << "failing from call " << n << " (operation " << k << ", " << done << " done): " << fault;
  }
}

// The real layer, noting which file each change went to: the one place
// where the syncs the crash tests only count are really made.
class RecordingFileIo : public FileIo {
 public:
  int Open(const char* name, int flags, mode_t mode) override {
    const int fd = FileIo::Open(name, flags, mode);
    if (fd >= 0) names_[fd] = name;
    return fd;
  }
  ssize_t PWrite(int fd, const void* buffer, size_t length, int64_t offset) override {
    return Note("write " + names_[fd]), FileIo::PWrite(fd, buffer, length, offset);
  }
  int Sync(int fd) override { return Note("sync " + names_[fd]), FileIo::Sync(fd); }
  int Unlink(const char* name) override {
    return Note(std::string("unlink ") + name), FileIo::Unlink(name);
  }
  std::string calls;  // consecutive writes to one file are one step

 private:
  void Note(const std::string& call) {
    if (call != last_) calls += call + "\n";
    last_ = call;
  }
  std::map<int, std::string> names_;
  std::string last_;
};

TEST_F(BookCrashTest, AnUpdateIsJournaledAndSyncedBeforeTheBookChanges) {
  RecordingFileIo io;
  IndexedDatabase* handle = OpenBook(&io);
  ASSERT_NE(handle, nullptr);
  io.calls.clear();
  ASSERT_EQ(BookStoreConnection(handle, {"fresh", "host", 1, 2}), StoreResult::kAdded);
  EXPECT_EQ(io.calls,
            "write prevconn.ihj\nsync prevconn.ihj\nsync .\n"
            "write prevconn.ihd\nsync prevconn.ihd\nwrite prevconn.ihx\nsync prevconn.ihx\n"
            "unlink prevconn.ihj\nsync .\n");
  CloseBook(handle);
}

}  // namespace
