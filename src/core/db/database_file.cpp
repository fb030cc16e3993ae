#include "core/db/database_file.h"

#include <sys/stat.h>

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

DatabaseFile::DatabaseFile() : name_(kClosedName) {}

DatabaseFile::~DatabaseFile() { Close(); }

int DatabaseFile::Fail(int code) {
  lastError_ = code;
  return code;
}

int DatabaseFile::FileHeaderSize() const {
  return (revision_ == 'B' || revision_ == 'C') ? 40 : 28;
}

int DatabaseFile::BlockHeaderSize() const { return revision_ == 'C' ? 28 : 16; }

bool DatabaseFile::IsPlausibleBlock(int64_t blockAddress, int64_t blockLength) const {
  return blockAddress >= int32_t(header_.heapStart) && blockLength >= BlockOverhead() &&
         blockAddress + blockLength <= int32_t(header_.endOfFile);
}

bool DatabaseFile::HeaderIsSound(const DatabaseFileHeader& header) const {
  return int32_t(header.heapStart) >= FileHeaderSize() &&
         int32_t(header.endOfFile) >= int32_t(header.heapStart);
}

int DatabaseFile::Create(const char* name, int32_t staticAreaSize, char revision) {
  if (int rc = Close()) return rc;
  if (staticAreaSize < 0 || staticAreaSize > kMaxAddress - 40) return Fail(kDbCreateError);
  if (revision == 0 || revision == ' ') {
    revision_ = 0;
  } else if (revision == 'A' || revision == 'a') {
    revision_ = 'A';
  } else if (revision == 'B' || revision == 'b') {
    revision_ = 'B';
  } else {
    revision_ = 'C';
  }
  stream_ = std::fopen(name, "w+b");
  if (!stream_) return Fail(kDbCreateError);
  name_ = name;
  isOpen_ = isReady_ = isWritable_ = true;
  lastOperation_ = LastOperation::kWrite;

  header_ = DatabaseFileHeader{};
  header_.freeSpace = 0;
  header_.endOfFile = FileHeaderSize() + staticAreaSize;
  header_.heapStart = FileHeaderSize() + staticAreaSize;
  header_.highestBlock = 0;
  std::memcpy(header_.signature, kSignature, 7);
  header_.signature[7] = revision_;
  header_.version = kLibraryVersion;
  if (int rc = WriteFileHeader()) return rc;
  if (revision_ == 'B' || revision_ == 'C') {
    DatabaseLockHeader lock{};
    if (int rc = Write(&lock, sizeof lock, 28, true, true)) return rc;
  }
  if (int32_t(header_.heapStart) > FileHeaderSize()) {
    const char zero = 0;
    if (int rc = Write(&zero, 1, int32_t(header_.heapStart) - 1, true, true)) return rc;
  }
  lastError_ = 0;
  return 0;
}

int DatabaseFile::Open(const char* name, int accessMode) {
  if (int rc = Close()) return rc;
  stream_ = std::fopen(name, accessMode ? "r+b" : "rb");
  if (!stream_) return Fail(kDbOpenError);
  name_ = name;
  isOpen_ = isReady_ = true;
  isWritable_ = accessMode != 0;
  lastOperation_ = LastOperation::kWrite;
  if (int rc = ReadFileHeader()) {
    isReady_ = false;
    return rc;
  }
  if (std::memcmp(header_.signature, kSignature, 7) != 0) {
    isReady_ = false;
    return Fail(kDbWrongFileType);
  }
  revision_ = header_.signature[7];
  if (!HeaderIsSound(header_)) {
    isReady_ = false;
    return Fail(kDbFileCorrupt);
  }
  struct stat st {};
  if (stat(name, &st) == 0 && st.st_size > int32_t(header_.endOfFile) &&
      st.st_size <= kMaxAddress) {
    header_.endOfFile = static_cast<int32_t>(st.st_size);
    if (int rc = Flush()) return rc;
  }
  lastError_ = 0;
  return 0;
}

int DatabaseFile::Close() {
  int rc = 0;
  if (isOpen_ && isReady_ && isWritable_) rc = WriteFileHeader();
  if (stream_) {
    // The stream is gone after fclose whatever it returns, so it is never
    // used again; a failure is still reported.
    if (std::fclose(stream_) != 0) rc = kDbCloseError;
    stream_ = nullptr;
  }
  name_ = kClosedName;
  isOpen_ = isReady_ = isWritable_ = false;
  lastError_ = rc;
  return rc;
}

int DatabaseFile::Flush() {
  if (!isWritable_) {
    lastError_ = 0;
    return 0;
  }
  if (int rc = WriteFileHeader()) return rc;
  if (std::fflush(stream_) != 0) return Fail(kDbWriteError);
  if (std::fseek(stream_, 0, SEEK_CUR) != 0) return Fail(kDbSeekError);
  lastOperation_ = LastOperation::kSeek;
  lastError_ = 0;
  return 0;
}

FileAddress DatabaseFile::Tell() {
  if (!IsReady()) {
    Fail(kDbNotReady);
    return -1;
  }
  long p = std::ftell(stream_);
  if (p < 0 || p > kMaxAddress) {
    Fail(kDbPositionError);
    return -1;
  }
  lastError_ = 0;
  return static_cast<int32_t>(p);
}

FileAddress DatabaseFile::SeekTo(FileAddress address) {
  FileAddress p = Tell();
  if (int32_t(p) == -1) return -1;
  if (int32_t(address) == -1) return p;
  int rc;
  if (address > p) {
    rc = std::fseek(stream_, long(int32_t(address)) - long(int32_t(p)), SEEK_CUR);
  } else if (address < p) {
    rc = std::fseek(stream_, long(int32_t(address)), SEEK_SET);
  } else {
    rc = std::fseek(stream_, 0, SEEK_CUR);
  }
  if (rc != 0) {
    std::clearerr(stream_);
    Fail(kDbSeekError);
    return -1;
  }
  lastOperation_ = LastOperation::kSeek;
  return Tell();
}

int DatabaseFile::SeekCurrent() {
  if (std::fseek(stream_, 0, SEEK_CUR) != 0) return Fail(kDbSeekError);
  lastOperation_ = LastOperation::kSeek;
  return 0;
}

int DatabaseFile::Read(void* buffer, size_t length, FileAddress address) {
  if (!IsReady()) return Fail(kDbNotReady);
  if (address != -1) {
    if (int32_t(SeekTo(address)) == -1) return lastError_;
  } else if (lastOperation_ == LastOperation::kWrite) {
    if (int rc = SeekCurrent()) return rc;
  }
  lastOperation_ = LastOperation::kRead;
  if (length > 0 && std::fread(buffer, 1, length, stream_) != length) {
    std::clearerr(stream_);
    return Fail(kDbReadError);
  }
  lastError_ = 0;
  return 0;
}

int DatabaseFile::Write(const void* buffer, size_t length, FileAddress address, bool flush,
                        bool verify) {
  if (!isWritable_) return Fail(kDbNotWritable);
  if (!IsReady()) return Fail(kDbNotReady);
  if (address != -1) {
    if (int32_t(SeekTo(address)) == -1) return lastError_;
  } else if (lastOperation_ == LastOperation::kRead) {
    if (int rc = SeekCurrent()) return rc;
  }
  FileAddress start = Tell();
  if (int32_t(start) == -1) return Fail(kDbPositionError);
  lastOperation_ = LastOperation::kWrite;
  if (length > 0 && std::fwrite(buffer, 1, length, stream_) != length) {
    std::clearerr(stream_);
    return Fail(kDbWriteError);
  }
  if (flush) {
    if (std::fflush(stream_) != 0) return Fail(kDbWriteError);
    if (int rc = SeekCurrent()) return rc;
  }
  if (verify) {
    uint32_t stored = 0;
    if (int rc = ChecksumInto(length, start, &stored)) return rc;
    if (stored != Crc32::Of(buffer, length)) return Fail(kDbChecksumError);
  }
  lastError_ = 0;
  return 0;
}

int DatabaseFile::ChecksumInto(size_t length, FileAddress address, uint32_t* crc) {
  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[length ? length : 1]);
  if (buffer) {
    if (int rc = Read(buffer.get(), length, address)) return rc;
    *crc = Crc32::Of(buffer.get(), length);
    return 0;
  }
  if (int32_t(SeekTo(address)) == -1) return lastError_;
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

void DatabaseFile::DiscardBuffer() {
  if (!stream_) return;
  std::fflush(stream_);
  std::fseek(stream_, 0, SEEK_CUR);
  lastOperation_ = LastOperation::kSeek;
}

int DatabaseFile::ReadHeaderInto(DatabaseFileHeader& header) {
  DiscardBuffer();
  if (int rc = Read(&header, sizeof header, 0)) return rc;
  if (!HeaderIsSound(header)) return Fail(kDbFileCorrupt);
  return 0;
}

FileAddress DatabaseFile::GetEndOfFile() {
  DatabaseFileHeader disk;
  if (ReadHeaderInto(disk) == 0 && disk.endOfFile != header_.endOfFile) header_ = disk;
  return header_.endOfFile;
}

int DatabaseFile::ReloadHeader() {
  DatabaseFileHeader disk;
  if (ReadHeaderInto(disk) != 0) return 0;
  if (disk.freeSpace != header_.freeSpace || disk.endOfFile != header_.endOfFile ||
      disk.heapStart != header_.heapStart || disk.highestBlock != header_.highestBlock) {
    header_ = disk;
    return 1;
  }
  return 0;
}

int DatabaseFile::ReadBlockHeader(DatabaseBlockHeader& header, FileAddress blockAddress) {
  if (int rc = Read(&header, sizeof header, blockAddress)) return rc;
  if (header.checkWord != PortableUInt32(kBlockCheckWord)) return Fail(kDbSyncError);
  return 0;
}

int DatabaseFile::WriteBlockHeader(const DatabaseBlockHeader& header, FileAddress blockAddress) {
  return Write(&header, sizeof header, blockAddress, true, true);
}

void DatabaseFile::DisableReuse() {
  header_.freeSpace = -1;
  WriteFileHeader();
}

FileAddress DatabaseFile::UnlinkFreeBlock(FileAddress block, FileAddress previous,
                                          DatabaseBlockHeader& previousHeader, FileAddress next) {
  if (int32_t(previous) == 0) {
    header_.freeSpace = next;
    if (WriteFileHeader()) return 0;
  } else {
    previousHeader.nextFree = next;
    if (WriteBlockHeader(previousHeader, previous)) return 0;
  }
  return block;
}

FileAddress DatabaseFile::FirstFit(int64_t length) {
  if (int32_t(header_.freeSpace) == -1) return 0;
  const int64_t overhead = BlockOverhead();
  // A sound list visits each block once; more steps than blocks can fit in
  // the heap mean the list loops.
  const int64_t maxSteps =
      (int64_t(int32_t(header_.endOfFile)) - int32_t(header_.heapStart)) / overhead + 1;
  FileAddress previous = 0;
  DatabaseBlockHeader previousHeader{};
  FileAddress block = header_.freeSpace;
  for (int64_t step = 0; block != 0; ++step) {
    DatabaseBlockHeader h;
    if (step >= maxSteps || !IsPlausibleBlock(int32_t(block), overhead)) {
      DisableReuse();
      return 0;
    }
    if (Read(&h, sizeof h, block)) return 0;
    const uint32_t status = h.status;
    if (h.checkWord != PortableUInt32(kBlockCheckWord) ||
        (status != kBlockDeleted && status != kBlockRemoved) || h.nextFree == block ||
        !IsPlausibleBlock(int32_t(block), uint32_t(h.blockLength))) {
      DisableReuse();
      return 0;
    }
    const int64_t blockLength = uint32_t(h.blockLength);
    if (blockLength == length) return UnlinkFreeBlock(block, previous, previousHeader, h.nextFree);
    if (blockLength > length + overhead) {
      FileAddress rest = static_cast<int32_t>(int32_t(block) + length);
      DatabaseBlockHeader restHeader{};
      restHeader.checkWord = kBlockCheckWord;
      restHeader.blockLength = static_cast<uint32_t>(blockLength - length);
      restHeader.status = kBlockRemoved;
      restHeader.nextFree = h.nextFree;
      if (WriteBlockHeader(restHeader, rest)) return 0;
      return UnlinkFreeBlock(block, previous, previousHeader, rest);
    }
    previous = block;
    previousHeader = h;
    block = h.nextFree;
  }
  return 0;
}

FileAddress DatabaseFile::Alloc(int32_t objectLength, int method) {
  if (!isWritable_) {
    Fail(kDbNotWritable);
    return 0;
  }
  if (!IsReady()) {
    Fail(kDbNotReady);
    return 0;
  }
  lastError_ = 0;
  const int64_t length = int64_t(objectLength) + BlockOverhead();
  if (objectLength < 0 || int64_t(int32_t(header_.endOfFile)) + length > kMaxAddress) {
    Fail(7);  // block allocation error
    return 0;
  }
  FileAddress block = 0;
  if (header_.freeSpace != 0) {
    // Best fit is served by first fit: nothing in the program asks for it.
    if (method == kAllocFirstFit || method == kAllocBestFit) block = FirstFit(length);
  }
  if (int32_t(block) == 0) {
    block = header_.endOfFile;
    header_.endOfFile = static_cast<int32_t>(int32_t(block) + length);
    const char zero = 0;
    if (Write(&zero, 1, int32_t(header_.endOfFile) - 1, true, true)) return 0;
    header_.highestBlock = block;
  }
  DatabaseBlockHeader h{};
  h.checkWord = kBlockCheckWord;
  h.blockLength = static_cast<uint32_t>(length);
  h.status = kBlockInUse;
  h.nextFree = 0;
  if (WriteBlockHeader(h, block)) return 0;
  if (revision_ == 'C') {
    DatabaseLockHeader lock{};
    if (Write(&lock, sizeof lock, -1, true, true)) return 0;
  }
  if (block > header_.highestBlock) header_.highestBlock = block;
  if (WriteFileHeader()) return 0;
  FileAddress object = int32_t(block) + BlockHeaderSize();
  if (int32_t(SeekTo(object)) == -1) return 0;
  lastError_ = 0;
  return object;
}

int DatabaseFile::Delete(FileAddress objectAddress, int remove) {
  if (!IsReady()) {
    Fail(kDbNotReady);
    return 0;
  }
  lastError_ = 0;
  const int64_t block = int64_t(int32_t(objectAddress)) - BlockHeaderSize();
  if (!IsPlausibleBlock(block, BlockOverhead())) {
    Fail(kDbFileCorrupt);
    return 0;
  }
  DatabaseBlockHeader h;
  if (ReadBlockHeader(h, static_cast<int32_t>(block))) return 0;
  if (!IsPlausibleBlock(block, uint32_t(h.blockLength))) {
    Fail(kDbFileCorrupt);
    return 0;
  }
  if (uint32_t(h.status) != kBlockInUse) return 0;
  h.status = remove ? kBlockRemoved : kBlockDeleted;
  if (!isWritable_) {
    Fail(kDbNotWritable);
    return 0;
  }
  h.nextFree = header_.freeSpace;
  if (WriteBlockHeader(h, static_cast<int32_t>(block))) return 0;
  if (header_.freeSpace != -1) {
    header_.freeSpace = static_cast<int32_t>(block);
    if (WriteFileHeader()) return 0;
  }
  return 1;
}

FileAddress DatabaseFile::FindFirstBlock(FileAddress offset) {
  ReloadHeader();
  lastError_ = 0;
  const int64_t end = int32_t(header_.endOfFile);
  if (header_.heapStart == header_.endOfFile) return 0;
  int64_t position = int32_t(offset) == 0 ? int32_t(header_.heapStart) : int32_t(offset);
  if (position >= end) return 0;
  if (position < int32_t(header_.heapStart)) position = int32_t(header_.heapStart);
  for (; position + BlockHeaderSize() < end; ++position) {
    DatabaseBlockHeader h;
    if (Read(&h, sizeof h, static_cast<int32_t>(position))) return 0;
    if (h.checkWord == PortableUInt32(kBlockCheckWord)) {
      SeekTo(static_cast<int32_t>(position));
      return static_cast<int32_t>(position);
    }
  }
  return 0;
}
