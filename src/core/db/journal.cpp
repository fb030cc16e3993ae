#include "core/db/journal.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "core/db/crc32.h"

namespace {

const char kMagic[] = "QJOURNL1";
constexpr size_t kMagicSize = 8;

void PutWord(std::string& out, uint32_t value) {
  PortableUInt32 word = value;
  out.append(reinterpret_cast<const char*>(&word), 4);
}

// Reads the stored form; false when it is short, foreign or its checksum
// fails.
class JournalReader {
 public:
  explicit JournalReader(const std::string& bytes) : bytes_(bytes) {}

  bool Word(uint32_t* value) {
    if (bytes_.size() - position_ < 4) return false;
    PortableUInt32 word;
    std::memcpy(&word, bytes_.data() + position_, 4);
    position_ += 4;
    *value = word;
    return true;
  }
  bool Bytes(size_t n, const char** at) {
    if (bytes_.size() - position_ < n) return false;
    *at = bytes_.data() + position_;
    position_ += n;
    return true;
  }
  bool Sound() const {
    if (bytes_.size() < kMagicSize + 12 || std::memcmp(bytes_.data(), kMagic, kMagicSize) != 0) {
      return false;
    }
    PortableUInt32 stored;
    std::memcpy(&stored, bytes_.data() + bytes_.size() - 4, 4);
    return uint32_t(stored) == Crc32::Of(bytes_.data(), bytes_.size() - 4);
  }
  void SkipMagic() { position_ = kMagicSize; }

 private:
  const std::string& bytes_;
  size_t position_ = 0;
};

bool ReadWhole(FileIo* io, const std::string& name, std::string* bytes, bool* exists) {
  const int fd = io->Open(name.c_str(), O_RDONLY, 0);
  *exists = fd >= 0 || errno != ENOENT;
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0;
  if (ok) {
    bytes->resize(size_t(st.st_size));
    ok = io->ReadFully(fd, bytes->data(), bytes->size(), 0) == 0;
  }
  io->Close(fd);
  return ok;
}

}  // namespace

std::string Journal::Serialize(const std::vector<DatabaseFile*>& files) const {
  std::string out(kMagic, kMagicSize);
  PutWord(out, uint32_t(files.size()));
  uint32_t records = 0;
  for (DatabaseFile* file : files) {
    PutWord(out, uint32_t(file->CommittedSize()));
    records += uint32_t(file->BeforeImages().size());
  }
  PutWord(out, records);
  for (size_t i = 0; i < files.size(); ++i) {
    for (const auto& [offset, before] : files[i]->BeforeImages()) {
      PutWord(out, uint32_t(i));
      PutWord(out, uint32_t(offset));
      PutWord(out, uint32_t(before->size()));
      out.append(reinterpret_cast<const char*>(before->data()), before->size());
    }
  }
  PutWord(out, Crc32::Of(out.data(), out.size()));
  return out;
}

int Journal::WriteJournal(const std::string& bytes) {
  // A journal already there holds the only way back from an update whose
  // rollback failed: it is never overwritten, and no update starts until
  // the next open has rolled it back.
  const int fd = io_->Open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return kDbCreateError;
  const bool written =
      io_->WriteFully(fd, bytes.data(), bytes.size(), 0) == 0 && io_->Sync(fd) == 0;
  const bool closed = io_->Close(fd) == 0;
  // The journal must still be there after a crash, or nothing could undo
  // the half-written update.
  if (!written || !closed || io_->SyncDirectoryOf(name_.c_str()) != 0) {
    io_->Unlink(name_.c_str());
    return kDbWriteError;
  }
  return 0;
}

int Journal::Remove() {
  if (io_->Unlink(name_.c_str()) != 0 && errno != ENOENT) return kDbWriteError;
  // The update is whole once the journal is gone. Should a power cut bring
  // the name back for want of this sync, the next open undoes the update
  // whole: all or nothing still holds.
  io_->SyncDirectoryOf(name_.c_str());
  return 0;
}

int Journal::Commit(const std::vector<DatabaseFile*>& files) {
  bool changed = false;
  for (DatabaseFile* file : files) changed = changed || file->HasPendingPages();
  if (!changed) {
    for (DatabaseFile* file : files) file->EndUpdate();
    return 0;
  }
  int rc = WriteJournal(Serialize(files));
  if (rc == 0) {
    for (DatabaseFile* file : files) {
      if ((rc = file->WritePendingPages()) != 0 || (rc = file->Sync()) != 0) break;
    }
    if (rc == 0) rc = Remove();
    if (rc != 0) {
      // Some pages may be in the files: put the old ones back now. Should
      // that fail as well, the journal stays and the next open does it.
      std::vector<std::string> names;
      for (DatabaseFile* file : files) names.push_back(file->Name());
      Recover(names);
    }
  }
  for (DatabaseFile* file : files) {
    if (rc == 0) {
      file->EndUpdate();
    } else {
      file->AbortUpdate();
    }
  }
  return rc;
}

int Journal::Recover(const std::vector<std::string>& file_names) {
  std::string bytes;
  bool exists = false;
  if (!ReadWhole(io_, name_, &bytes, &exists)) return exists ? kDbReadError : 0;
  JournalReader reader(bytes);
  // Cut short before it was synced: no database file was touched yet.
  if (!reader.Sound()) return Remove();
  reader.SkipMagic();
  uint32_t file_count = 0, record_count = 0;
  if (!reader.Word(&file_count) || file_count != file_names.size()) return kDbFileCorrupt;
  std::vector<uint32_t> lengths(file_count);
  for (uint32_t& length : lengths) reader.Word(&length);
  std::vector<int> fds;
  int rc = 0;
  for (const std::string& name : file_names) {
    const int fd = io_->Open(name.c_str(), O_RDWR, 0600);
    if (fd < 0) rc = kDbOpenError;
    fds.push_back(fd);
  }
  if (rc == 0 && !reader.Word(&record_count)) rc = kDbFileCorrupt;
  for (uint32_t i = 0; rc == 0 && i < record_count; ++i) {
    uint32_t file = 0, offset = 0, length = 0;
    const char* image = nullptr;
    if (!reader.Word(&file) || !reader.Word(&offset) || !reader.Word(&length) ||
        !reader.Bytes(length, &image) || file >= file_count) {
      rc = kDbFileCorrupt;
    } else if (io_->WriteFully(fds[file], image, length, offset) != 0) {
      rc = kDbWriteError;
    }
  }
  for (uint32_t i = 0; rc == 0 && i < file_count; ++i) {
    if (io_->Truncate(fds[i], lengths[i]) != 0 || io_->Sync(fds[i]) != 0) rc = kDbWriteError;
  }
  for (int fd : fds) {
    if (fd >= 0) io_->Close(fd);
  }
  if (rc != 0) return rc;
  return Remove();
}
