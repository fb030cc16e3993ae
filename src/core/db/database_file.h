#ifndef QUILLO_CORE_DB_DATABASE_FILE_H
#define QUILLO_CORE_DB_DATABASE_FILE_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/db/database_error.h"
#include "core/db/portable_int.h"
#include "core/util/file_io.h"

// The 28-byte header at the start of every database file.
struct DatabaseFileHeader {
  FileAddress free_space;     // first block on the free list; 0 empty; -1 reuse disabled
  FileAddress end_of_file;    // where the next appended block starts
  FileAddress heap_start;     // header sizes + static area: the first possible block
  FileAddress highest_block;  // highest block ever allocated; 0 in a new file
  char signature[8];          // "KVSBASE" and the revision letter
  PortableInt32 version;
};
static_assert(sizeof(DatabaseFileHeader) == 28, "file header is 28 bytes");

// File lock header and record lock header: written as zeros, never read.
struct DatabaseLockHeader {
  PortableUInt32 words[3];
};
static_assert(sizeof(DatabaseLockHeader) == 12, "lock header is 12 bytes");

// The 16 bytes at the start of every block of the heap.
struct DatabaseBlockHeader {
  PortableUInt32 check_word;    // always kBlockCheckWord
  PortableUInt32 block_length;  // headers + object data + reserved room
  PortableUInt32 status;        // kBlockInUse, kBlockDeleted or kBlockRemoved
  FileAddress next_free;        // next block on the free list; 0 = last
};
static_assert(sizeof(DatabaseBlockHeader) == 16, "block header is 16 bytes");

constexpr uint32_t kBlockInUse = 'N';
constexpr uint32_t kBlockDeleted = 'D';
constexpr uint32_t kBlockRemoved = 'R';

// Allocation methods of DatabaseFile::Alloc.
constexpr int kAllocAppend = 0;
constexpr int kAllocBestFit = 1;
constexpr int kAllocFirstFit = 2;

// One database file: the file header, an optional static area that belongs
// to the application, then a heap of variable-length blocks handed out by
// Alloc and taken back by Delete onto a last-in first-out free list.
//
// Every structural write (file header, block headers, lock headers, the byte
// that extends the file) is read back for a CRC-32 comparison. Every
// operation sets LastError() (0 on success); errors are returned, never
// thrown, and the object stays usable.
//
// Outside an update every write goes straight to the file. Between
// BeginUpdate() and EndUpdate()/AbortUpdate() writes are held in memory as
// whole pages (reads see them); a Journal writes their before-images
// aside, then the pages themselves (WritePendingPages), so that an update
// is all or nothing. AbortUpdate() forgets the pages and reloads the header.
//
// Counts and addresses read from the file are checked before use: a header
// whose heap start or end of file is impossible leaves the file open but not
// ready (error 15), and a free list that points outside the heap, loops or
// holds a block of impossible length is treated as damaged (reuse disabled).
//
// Not thread-safe: one thread uses a file at a time. Owns its descriptor.
class DatabaseFile {
 public:
  // Pages of an update are this long and start at multiples of it.
  static constexpr int64_t kPageSize = 4096;

  // io: the file system calls to use; null means POSIX. Not owned; it
  // outlives the object.
  explicit DatabaseFile(FileIo* io = nullptr);
  virtual ~DatabaseFile();
  DatabaseFile(const DatabaseFile&) = delete;
  DatabaseFile& operator=(const DatabaseFile&) = delete;

  // revision: 0 or ' ' no letter, 'A'/'a', 'B'/'b', anything else 'C'.
  virtual int Create(const char* name, int32_t static_area_size, char revision = 'C');
  // access_mode 0 read-only, anything else read-write.
  virtual int Open(const char* name, int access_mode);
  virtual int Close();
  virtual int Flush();
  // Object address of a new block with object_length data bytes, or 0 (the
  // reason in LastError(); the header is then as before the call). The
  // file is left positioned at the result. Without mark_in_use the block is
  // left marked removed, so that a crash before its contents are complete
  // never brings it back; MarkInUse() then follows the contents.
  virtual FileAddress Alloc(int32_t object_length, int method, bool mark_in_use = true);
  int MarkInUse(FileAddress object_address);
  // Forces written bytes to the disk.
  int Sync();

  // The update in progress (see the class comment).
  void BeginUpdate();
  bool InUpdate() const { return in_update_; }
  // Forgets the pending pages and rereads the file header.
  void AbortUpdate();
  // Writes the pending pages to the file (not synced).
  int WritePendingPages();
  // The pages are in the file: the update ends.
  void EndUpdate();
  // The length of the file when the update began, and the bytes each
  // pending page held then (empty for pages wholly beyond that length).
  int64_t CommittedSize() const { return committed_size_; }
  std::vector<std::pair<int64_t, const std::vector<unsigned char>*>> BeforeImages() const;
  bool HasPendingPages() const { return !pages_.empty(); }

  // Frees the block of an object (remove 1: status 'R', 0: 'D'). 1 when freed.
  int Delete(FileAddress object_address, int remove);
  // address -1: the current position.
  int Read(void* buffer, size_t length, FileAddress address);
  int Write(const void* buffer, size_t length, FileAddress address, bool flush, bool verify);
  FileAddress SeekTo(FileAddress address);
  FileAddress Tell();
  FileAddress GetEndOfFile();
  int ReloadHeader();
  FileAddress FindFirstBlock(FileAddress offset);

  int ReadBlockHeader(DatabaseBlockHeader& header, FileAddress block_address);
  int WriteBlockHeader(const DatabaseBlockHeader& header, FileAddress block_address);
  int ReadFileHeader();
  int WriteFileHeader();
  // Kept for callers that expect buffered input: reads go to the file
  // itself, so what another writer has put there is always seen.
  void DiscardBuffer();
  // CRC-32 of length bytes at address; 0 when they cannot be read.
  uint32_t Checksum(size_t length, FileAddress address);

  int LastError() const { return last_error_; }
  void SetLastError(int code) { last_error_ = code; }
  int FileHeaderSize() const;
  int BlockHeaderSize() const;
  // Bytes a block holds besides its object data.
  int BlockOverhead() const { return BlockHeaderSize() + (revision_ ? 4 : 0); }

  const DatabaseFileHeader& Header() const { return header_; }
  const std::string& Name() const { return name_; }
  char Revision() const { return revision_; }
  bool IsOpen() const { return is_open_; }
  bool IsReady() const { return is_open_ && is_ready_; }
  bool IsWritable() const { return is_writable_; }

  // Whether a block of the given length could lie at block_address inside
  // the heap as the header describes it.
  bool IsPlausibleBlock(int64_t block_address, int64_t block_length) const;

 private:
  struct Page {
    std::vector<unsigned char> bytes;   // kPageSize bytes, as they are to be
    std::vector<unsigned char> before;  // the committed bytes of the page
  };

  int Fail(int code);
  int OpenDescriptor(const char* name, int flags);
  int ReadBytes(void* buffer, size_t length, int64_t at);
  int WriteBytes(const void* buffer, size_t length, int64_t at);
  Page* PendingPage(int64_t start);
  int ReadHeaderInto(DatabaseFileHeader& header);
  bool HeaderIsSound(const DatabaseFileHeader& header) const;
  FileAddress FirstFit(int64_t length);
  FileAddress UnlinkFreeBlock(FileAddress block, FileAddress previous,
                              DatabaseBlockHeader& previous_header, FileAddress next);
  void DisableReuse();
  int ChecksumInto(size_t length, FileAddress address, uint32_t* crc);

  FileIo* io_;
  std::string name_;
  char revision_ = 'C';
  DatabaseFileHeader header_{};
  int fd_ = -1;
  int64_t position_ = 0;
  int64_t size_ = 0;  // as reads see it, pending pages included
  bool in_update_ = false;
  int64_t committed_size_ = 0;
  std::map<int64_t, Page> pages_;  // by start offset
  int last_error_ = 0;
  bool is_open_ = false;
  bool is_ready_ = false;
  bool is_writable_ = false;
};

#endif  // QUILLO_CORE_DB_DATABASE_FILE_H
