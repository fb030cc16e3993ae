#ifndef QUILLO_CORE_DB_JOURNAL_H
#define QUILLO_CORE_DB_JOURNAL_H

#include <string>
#include <vector>

#include "core/db/database_file.h"
#include "core/util/file_io.h"

// The rollback journal that makes one update of a set of database files
// (an address book's data and index file) all or nothing.
//
// Commit: the before-images of every page the update changes, and each
// file's length, go to the journal file, which is synced (with its
// directory) before the first byte of a database file changes; then the
// pages are written and the files synced; then the journal is deleted.
// Recover, run before the files are opened, finds a journal left by a
// crash and writes the before-images back and cuts the files to their old
// lengths, so the update never happened. A journal that is not complete
// (its checksum fails) was cut short before any file changed, and is only
// removed.
//
// Stored form, integers as 4 little-endian bytes: "QJOURNL1", the file
// count, each file's length before the update, the record count, then per
// record the file's number, the offset, the length and the bytes; last the
// CRC-32 of everything before it.
//
// Does not own the files or the FileIo. One thread.
class Journal {
 public:
  Journal(FileIo* io, std::string name) : io_(io ? io : FileIo::Posix()), name_(std::move(name)) {}

  // Ends the update of files (all in an update). 0, or a database error
  // code; on failure the files are as before the update (or, when even the
  // rollback failed, the journal is left for Recover) and the updates of
  // all files are aborted.
  int Commit(const std::vector<DatabaseFile*>& files);

  // Rolls the named files back when a journal exists. 0 when there was
  // nothing to do or the rollback is done; an error code when the files
  // could not be restored (the journal is then kept).
  int Recover(const std::vector<std::string>& file_names);

  const std::string& Name() const { return name_; }

 private:
  std::string Serialize(const std::vector<DatabaseFile*>& files) const;
  int WriteJournal(const std::string& bytes);
  int Remove();

  FileIo* io_;
  std::string name_;
};

#endif  // QUILLO_CORE_DB_JOURNAL_H
