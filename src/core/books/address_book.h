#ifndef QUILLO_CORE_BOOKS_ADDRESS_BOOK_H
#define QUILLO_CORE_BOOKS_ADDRESS_BOOK_H

#include <string>

#include "core/db/indexed_database.h"
#include "core/util/file_io.h"

class Reporter;

// Opening the two address books. Each book is an IndexedDatabase of a data
// file "<stem><DataFileExtension>" and an index file
// "<stem><IndexFileExtension>" in the working directory, the stem being the
// book's base name up to its first ".", with the rollback journal
// "<stem>.ihj" beside them while an update is being written.

constexpr int32_t kBookNodeOrder = 11;
constexpr int32_t kBookStaticAreaSize = 65025;
constexpr int32_t kBookTreeCount = 255;
extern const char kRebuildTempFile[];   // "tempfile.idx"
extern const char kJournalExtension[];  // ".ihj"

struct BookFileNames {
  std::string data;
  std::string index;
  std::string journal;
};
BookFileNames MakeBookFileNames(const std::string& base_name, const std::string& data_extension,
                                const std::string& index_extension);

// Closes and destroys old_handle when there is one, then opens the book
// read-write (read-only when that fails), rolling back an update a crash
// interrupted, checks the index against the data file and rebuilds it when
// it is missing or fails the check. Returns the new handle (owned by the
// caller, who closes it before deleting it), or null. With verbose,
// failures go to the reporter as program messages and the rebuild's
// progress as conversation lines; without, a book that cannot be opened is
// one program message naming the file and what to do. A rebuild and the
// nicknames it found twice are event lines either way.
IndexedDatabase* OpenAddressBook(const std::string& base_name, IndexedDatabase* old_handle,
                                 bool verbose, Reporter* reporter,
                                 const std::string& data_extension = ".ihd",
                                 const std::string& index_extension = ".ihx", FileIo* io = nullptr);

// Builds a new index from the data file in "tempfile.idx" beside the index
// and renames it over index_name once it is complete. 1 when the index was
// rebuilt and reloaded; on failure the old index file is left as it was.
int RebuildIndexFile(const std::string& index_name, IndexedDatabase* handle, bool verbose,
                     Reporter* reporter, FileIo* io = nullptr);

// The cheap check at open: the tree's key count against a walk of the
// tree in strictly ascending order, each key leading to a readable record
// of its nickname in the data file.
bool IndexMatchesData(IndexedDatabase* handle);

#endif  // QUILLO_CORE_BOOKS_ADDRESS_BOOK_H
