#include "core/db/database_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "core/db/crc32.h"

namespace {

const char kClosedName[] = "closed.kvs";
const char kSignature[] = "KVSBASE";
constexpr int64_t kMaxAddress = std::numeric_limits<int32_t>::max();

}  // namespace

DatabaseFile::DatabaseFile(FileIo* io) : io_(io ? io : FileIo::Posix()), name_(kClosedName) {}

DatabaseFile::~DatabaseFile() { Close(); }

int DatabaseFile::Fail(int code) {
  last_error_ = code;
  return code;
}

int DatabaseFile::FileHeaderSize() const {
  return (revision_ == 'B' || revision_ == 'C') ? 40 : 28;
}

int DatabaseFile::BlockHeaderSize() const { return revision_ == 'C' ? 28 : 16; }

bool DatabaseFile::IsPlausibleBlock(int64_t block_address, int64_t block_length) const {
  return block_address >= int32_t(header_.heap_start) && block_length >= BlockOverhead() &&
         block_address + block_length <= int32_t(header_.end_of_file);
}

bool DatabaseFile::HeaderIsSound(const DatabaseFileHeader& header) const {
  return int32_t(header.heap_start) >= FileHeaderSize() &&
         int32_t(header.end_of_file) >= int32_t(header.heap_start);
}

int DatabaseFile::OpenDescriptor(const char* name, int flags) {
  fd_ = io_->Open(name, flags, 0600);
  if (fd_ < 0) return -1;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    io_->Close(fd_);
    fd_ = -1;
    return -1;
  }
  size_ = committed_size_ = st.st_size;
  position_ = 0;
  in_update_ = false;
  pages_.clear();
  return 0;
}

int DatabaseFile::Create(const char* name, int32_t static_area_size, char revision) {
  if (int rc = Close()) return rc;
  if (static_area_size < 0 || static_area_size > kMaxAddress - 40) return Fail(kDbCreateError);
  if (revision == 0 || revision == ' ') {
    revision_ = 0;
  } else if (revision == 'A' || revision == 'a') {
    revision_ = 'A';
  } else if (revision == 'B' || revision == 'b') {
    revision_ = 'B';
  } else {
    revision_ = 'C';
  }
  if (OpenDescriptor(name, O_RDWR | O_CREAT | O_TRUNC)) return Fail(kDbCreateError);
  name_ = name;
  is_open_ = is_ready_ = is_writable_ = true;

  header_ = DatabaseFileHeader{};
  header_.free_space = 0;
  header_.end_of_file = FileHeaderSize() + static_area_size;
  header_.heap_start = FileHeaderSize() + static_area_size;
  header_.highest_block = 0;
  std::memcpy(header_.signature, kSignature, 7);
  header_.signature[7] = revision_;
  header_.version = kLibraryVersion;
  if (int rc = WriteFileHeader()) return rc;
  if (revision_ == 'B' || revision_ == 'C') {
    DatabaseLockHeader lock{};
    if (int rc = Write(&lock, sizeof lock, 28, true, true)) return rc;
  }
  if (int32_t(header_.heap_start) > FileHeaderSize()) {
    const char zero = 0;
    if (int rc = Write(&zero, 1, int32_t(header_.heap_start) - 1, true, true)) return rc;
  }
  last_error_ = 0;
  return 0;
}

int DatabaseFile::Open(const char* name, int access_mode) {
  if (int rc = Close()) return rc;
  if (OpenDescriptor(name, access_mode ? O_RDWR : O_RDONLY)) return Fail(kDbOpenError);
  name_ = name;
  is_open_ = is_ready_ = true;
  is_writable_ = access_mode != 0;
  if (int rc = ReadFileHeader()) {
    is_ready_ = false;
    return rc;
  }
  if (std::memcmp(header_.signature, kSignature, 7) != 0) {
    is_ready_ = false;
    return Fail(kDbWrongFileType);
  }
  revision_ = header_.signature[7];
  if (!HeaderIsSound(header_)) {
    is_ready_ = false;
    return Fail(kDbFileCorrupt);
  }
  if (size_ > int32_t(header_.end_of_file) && size_ <= kMaxAddress) {
    header_.end_of_file = static_cast<int32_t>(size_);
    if (int rc = Flush()) return rc;
  }
  last_error_ = 0;
  return 0;
}

int DatabaseFile::Close() {
  int rc = 0;
  if (in_update_) AbortUpdate();
  if (is_open_ && is_ready_ && is_writable_) rc = WriteFileHeader();
  if (fd_ >= 0) {
    // The descriptor is gone after close whatever it returns, so it is
    // never used again; a failure is still reported.
    if (io_->Close(fd_) != 0) rc = kDbCloseError;
    fd_ = -1;
  }
  name_ = kClosedName;
  is_open_ = is_ready_ = is_writable_ = false;
  pages_.clear();
  last_error_ = rc;
  return rc;
}

int DatabaseFile::Flush() {
  if (!is_writable_) {
    last_error_ = 0;
    return 0;
  }
  if (int rc = WriteFileHeader()) return rc;
  last_error_ = 0;
  return 0;
}

int DatabaseFile::Sync() {
  if (fd_ < 0) return Fail(kDbNotReady);
  if (io_->Sync(fd_) != 0) return Fail(kDbWriteError);
  last_error_ = 0;
  return 0;
}

FileAddress DatabaseFile::Tell() {
  if (!IsReady()) {
    Fail(kDbNotReady);
    return -1;
  }
  if (position_ < 0 || position_ > kMaxAddress) {
    Fail(kDbPositionError);
    return -1;
  }
  last_error_ = 0;
  return static_cast<int32_t>(position_);
}

FileAddress DatabaseFile::SeekTo(FileAddress address) {
  FileAddress p = Tell();
  if (int32_t(p) == -1) return -1;
  if (int32_t(address) == -1) return p;
  if (int32_t(address) < 0) {
    Fail(kDbSeekError);
    return -1;
  }
  position_ = int32_t(address);
  return Tell();
}

DatabaseFile::Page* DatabaseFile::PendingPage(int64_t start) {
  auto found = pages_.find(start);
  if (found != pages_.end()) return &found->second;
  Page page;
  page.bytes.assign(size_t(kPageSize), 0);
  const int64_t committed = std::min(kPageSize, std::max<int64_t>(0, committed_size_ - start));
  if (committed > 0 && io_->ReadFully(fd_, page.bytes.data(), size_t(committed), start) != 0) {
    return nullptr;
  }
  page.before.assign(page.bytes.begin(), page.bytes.begin() + committed);
  return &pages_.emplace(start, std::move(page)).first->second;
}

int DatabaseFile::ReadBytes(void* buffer, size_t length, int64_t at) {
  // Without pending pages the file itself is asked, so that what another
  // writer has added since is seen.
  if (pages_.empty()) return io_->ReadFully(fd_, buffer, length, at);
  if (at < 0 || at + int64_t(length) > size_) return -1;
  auto* out = static_cast<unsigned char*>(buffer);
  while (length > 0) {
    const int64_t start = at / kPageSize * kPageSize;
    const size_t n = size_t(std::min<int64_t>(int64_t(length), start + kPageSize - at));
    auto found = pages_.find(start);
    if (found != pages_.end()) {
      std::memcpy(out, found->second.bytes.data() + (at - start), n);
    } else if (io_->ReadFully(fd_, out, n, at) != 0) {
      return -1;
    }
    out += n;
    at += int64_t(n);
    length -= n;
  }
  return 0;
}

int DatabaseFile::WriteBytes(const void* buffer, size_t length, int64_t at) {
  if (!in_update_) {
    if (io_->WriteFully(fd_, buffer, length, at) != 0) return -1;
  } else {
    const auto* in = static_cast<const unsigned char*>(buffer);
    for (int64_t p = at, left = int64_t(length); left > 0;) {
      const int64_t start = p / kPageSize * kPageSize;
      const int64_t n = std::min(left, start + kPageSize - p);
      Page* page = PendingPage(start);
      if (!page) return -1;
      std::memcpy(page->bytes.data() + (p - start), in, size_t(n));
      in += n;
      p += n;
      left -= n;
    }
  }
  size_ = std::max(size_, at + int64_t(length));
  return 0;
}

int DatabaseFile::Read(void* buffer, size_t length, FileAddress address) {
  if (!IsReady()) return Fail(kDbNotReady);
  if (address != -1) {
    if (int32_t(SeekTo(address)) == -1) return last_error_;
  }
  if (length > 0 && ReadBytes(buffer, length, position_) != 0) return Fail(kDbReadError);
  position_ += int64_t(length);
  last_error_ = 0;
  return 0;
}

int DatabaseFile::Write(const void* buffer, size_t length, FileAddress address, bool /*flush*/,
                        bool verify) {
  if (!is_writable_) return Fail(kDbNotWritable);
  if (!IsReady()) return Fail(kDbNotReady);
  if (address != -1) {
    if (int32_t(SeekTo(address)) == -1) return last_error_;
  }
  FileAddress start = Tell();
  if (int32_t(start) == -1) return Fail(kDbPositionError);
  if (length > 0 && WriteBytes(buffer, length, position_) != 0) return Fail(kDbWriteError);
  position_ += int64_t(length);
  if (verify) {
    uint32_t stored = 0;
    if (int rc = ChecksumInto(length, start, &stored)) return rc;
    if (stored != Crc32::Of(buffer, length)) return Fail(kDbChecksumError);
  }
  last_error_ = 0;
  return 0;
}

void DatabaseFile::BeginUpdate() {
  struct stat st {};
  if (fd_ >= 0 && ::fstat(fd_, &st) == 0) size_ = st.st_size;
  pages_.clear();
  committed_size_ = size_;
  in_update_ = true;
}

void DatabaseFile::AbortUpdate() {
  pages_.clear();
  size_ = committed_size_;
  in_update_ = false;
  if (is_open_) ReadFileHeader();
}

int DatabaseFile::WritePendingPages() {
  for (const auto& [start, page] : pages_) {
    const int64_t n = std::min(kPageSize, size_ - start);
    if (n > 0 && io_->WriteFully(fd_, page.bytes.data(), size_t(n), start) != 0) {
      return Fail(kDbWriteError);
    }
  }
  last_error_ = 0;
  return 0;
}

void DatabaseFile::EndUpdate() {
  pages_.clear();
  committed_size_ = size_;
  in_update_ = false;
}

std::vector<std::pair<int64_t, const std::vector<unsigned char>*>> DatabaseFile::BeforeImages()
    const {
  std::vector<std::pair<int64_t, const std::vector<unsigned char>*>> images;
  for (const auto& [start, page] : pages_) {
    if (!page.before.empty()) images.emplace_back(start, &page.before);
  }
  return images;
}

int DatabaseFile::ChecksumInto(size_t length, FileAddress address, uint32_t* crc) {
  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[length ? length : 1]);
  if (buffer) {
    if (int rc = Read(buffer.get(), length, address)) return rc;
    *crc = Crc32::Of(buffer.get(), length);
    return 0;
  }
  if (int32_t(SeekTo(address)) == -1) return last_error_;
  Crc32 sum;
  for (size_t i = 0; i < length; ++i) {
    unsigned char byte;
    if (int rc = Read(&byte, 1, -1)) return rc;
    sum.Update(byte);
  }
  *crc = sum.Value();
  return 0;
}

uint32_t DatabaseFile::Checksum(size_t length, FileAddress address) {
  uint32_t crc = 0;
  return ChecksumInto(length, address, &crc) == 0 ? crc : 0;
}

int DatabaseFile::ReadFileHeader() { return Read(&header_, sizeof header_, 0); }

int DatabaseFile::WriteFileHeader() { return Write(&header_, sizeof header_, 0, true, true); }

void DatabaseFile::DiscardBuffer() {}

int DatabaseFile::ReadHeaderInto(DatabaseFileHeader& header) {
  DiscardBuffer();
  if (int rc = Read(&header, sizeof header, 0)) return rc;
  if (!HeaderIsSound(header)) return Fail(kDbFileCorrupt);
  return 0;
}

FileAddress DatabaseFile::GetEndOfFile() {
  DatabaseFileHeader disk;
  if (ReadHeaderInto(disk) == 0 && disk.end_of_file != header_.end_of_file) header_ = disk;
  return header_.end_of_file;
}

int DatabaseFile::ReloadHeader() {
  DatabaseFileHeader disk;
  if (ReadHeaderInto(disk) != 0) return 0;
  if (disk.free_space != header_.free_space || disk.end_of_file != header_.end_of_file ||
      disk.heap_start != header_.heap_start || disk.highest_block != header_.highest_block) {
    header_ = disk;
    return 1;
  }
  return 0;
}

int DatabaseFile::ReadBlockHeader(DatabaseBlockHeader& header, FileAddress block_address) {
  if (int rc = Read(&header, sizeof header, block_address)) return rc;
  if (header.check_word != PortableUInt32(kBlockCheckWord)) return Fail(kDbSyncError);
  return 0;
}

int DatabaseFile::WriteBlockHeader(const DatabaseBlockHeader& header, FileAddress block_address) {
  return Write(&header, sizeof header, block_address, true, true);
}

void DatabaseFile::DisableReuse() {
  header_.free_space = -1;
  WriteFileHeader();
}

FileAddress DatabaseFile::UnlinkFreeBlock(FileAddress block, FileAddress previous,
                                          DatabaseBlockHeader& previous_header, FileAddress next) {
  if (int32_t(previous) == 0) {
    header_.free_space = next;
    if (WriteFileHeader()) return 0;
  } else {
    previous_header.next_free = next;
    if (WriteBlockHeader(previous_header, previous)) return 0;
  }
  return block;
}

FileAddress DatabaseFile::FirstFit(int64_t length) {
  if (int32_t(header_.free_space) == -1) return 0;
  const int64_t overhead = BlockOverhead();
  // A sound list visits each block once; more steps than blocks can fit in
  // the heap mean the list loops.
  const int64_t max_steps =
      (int64_t(int32_t(header_.end_of_file)) - int32_t(header_.heap_start)) / overhead + 1;
  FileAddress previous = 0;
  DatabaseBlockHeader previous_header{};
  FileAddress block = header_.free_space;
  for (int64_t step = 0; block != 0; ++step) {
    DatabaseBlockHeader h;
    if (step >= max_steps || !IsPlausibleBlock(int32_t(block), overhead)) {
      DisableReuse();
      return 0;
    }
    if (Read(&h, sizeof h, block)) return 0;
    const uint32_t status = h.status;
    if (h.check_word != PortableUInt32(kBlockCheckWord) ||
        (status != kBlockDeleted && status != kBlockRemoved) || h.next_free == block ||
        !IsPlausibleBlock(int32_t(block), uint32_t(h.block_length))) {
      DisableReuse();
      return 0;
    }
    const int64_t block_length = uint32_t(h.block_length);
    if (block_length == length)
      return UnlinkFreeBlock(block, previous, previous_header, h.next_free);
    if (block_length > length + overhead) {
      FileAddress rest = static_cast<int32_t>(int32_t(block) + length);
      DatabaseBlockHeader rest_header{};
      rest_header.check_word = kBlockCheckWord;
      rest_header.block_length = static_cast<uint32_t>(block_length - length);
      rest_header.status = kBlockRemoved;
      rest_header.next_free = h.next_free;
      if (WriteBlockHeader(rest_header, rest)) return 0;
      return UnlinkFreeBlock(block, previous, previous_header, rest);
    }
    previous = block;
    previous_header = h;
    block = h.next_free;
  }
  return 0;
}

FileAddress DatabaseFile::Alloc(int32_t object_length, int method, bool mark_in_use) {
  if (!is_writable_) {
    Fail(kDbNotWritable);
    return 0;
  }
  if (!IsReady()) {
    Fail(kDbNotReady);
    return 0;
  }
  last_error_ = 0;
  const int64_t length = int64_t(object_length) + BlockOverhead();
  if (object_length < 0 || int64_t(int32_t(header_.end_of_file)) + length > kMaxAddress) {
    Fail(7);  // block allocation error
    return 0;
  }
  // A failed allocation leaves the header as it found it: an end of file
  // advanced past a block never made would lose that room for good.
  const DatabaseFileHeader before = header_;
  auto failed = [&]() -> FileAddress {
    const int code = last_error_ ? last_error_ : 7;
    header_ = before;
    last_error_ = code;
    return 0;
  };
  FileAddress block = 0;
  if (header_.free_space != 0) {
    // Best fit is served by first fit: nothing in the program asks for it.
    if (method == kAllocFirstFit || method == kAllocBestFit) block = FirstFit(length);
  }
  if (int32_t(block) == 0) {
    block = header_.end_of_file;
    header_.end_of_file = static_cast<int32_t>(int32_t(block) + length);
    const char zero = 0;
    if (Write(&zero, 1, int32_t(header_.end_of_file) - 1, true, true)) return failed();
    header_.highest_block = block;
  }
  DatabaseBlockHeader h{};
  h.check_word = kBlockCheckWord;
  h.block_length = static_cast<uint32_t>(length);
  h.status = mark_in_use ? kBlockInUse : kBlockRemoved;
  h.next_free = 0;
  if (WriteBlockHeader(h, block)) return failed();
  if (revision_ == 'C') {
    DatabaseLockHeader lock{};
    if (Write(&lock, sizeof lock, -1, true, true)) return failed();
  }
  if (block > header_.highest_block) header_.highest_block = block;
  if (WriteFileHeader()) return failed();
  FileAddress object = int32_t(block) + BlockHeaderSize();
  if (int32_t(SeekTo(object)) == -1) return failed();
  last_error_ = 0;
  return object;
}

int DatabaseFile::MarkInUse(FileAddress object_address) {
  const int64_t block = int64_t(int32_t(object_address)) - BlockHeaderSize();
  if (!IsPlausibleBlock(block, BlockOverhead())) return Fail(kDbFileCorrupt);
  DatabaseBlockHeader h;
  if (int rc = ReadBlockHeader(h, static_cast<int32_t>(block))) return rc;
  h.status = kBlockInUse;
  h.next_free = 0;
  return WriteBlockHeader(h, static_cast<int32_t>(block));
}

int DatabaseFile::Delete(FileAddress object_address, int remove) {
  if (!IsReady()) {
    Fail(kDbNotReady);
    return 0;
  }
  last_error_ = 0;
  const int64_t block = int64_t(int32_t(object_address)) - BlockHeaderSize();
  if (!IsPlausibleBlock(block, BlockOverhead())) {
    Fail(kDbFileCorrupt);
    return 0;
  }
  DatabaseBlockHeader h;
  if (ReadBlockHeader(h, static_cast<int32_t>(block))) return 0;
  if (!IsPlausibleBlock(block, uint32_t(h.block_length))) {
    Fail(kDbFileCorrupt);
    return 0;
  }
  if (uint32_t(h.status) != kBlockInUse) return 0;
  h.status = remove ? kBlockRemoved : kBlockDeleted;
  if (!is_writable_) {
    Fail(kDbNotWritable);
    return 0;
  }
  h.next_free = header_.free_space;
  if (WriteBlockHeader(h, static_cast<int32_t>(block))) return 0;
  if (header_.free_space != -1) {
    header_.free_space = static_cast<int32_t>(block);
    if (WriteFileHeader()) return 0;
  }
  return 1;
}

FileAddress DatabaseFile::FindFirstBlock(FileAddress offset) {
  ReloadHeader();
  last_error_ = 0;
  const int64_t end = int32_t(header_.end_of_file);
  if (header_.heap_start == header_.end_of_file) return 0;
  int64_t position = int32_t(offset) == 0 ? int32_t(header_.heap_start) : int32_t(offset);
  if (position >= end) return 0;
  if (position < int32_t(header_.heap_start)) position = int32_t(header_.heap_start);
  for (; position + BlockHeaderSize() < end; ++position) {
    DatabaseBlockHeader h;
    if (Read(&h, sizeof h, static_cast<int32_t>(position))) return 0;
    if (h.check_word == PortableUInt32(kBlockCheckWord)) {
      SeekTo(static_cast<int32_t>(position));
      return static_cast<int32_t>(position);
    }
  }
  return 0;
}
