#ifndef QUILLO_CORE_BOOKS_ADDRESS_BOOK_H
#define QUILLO_CORE_BOOKS_ADDRESS_BOOK_H

#include <string>

#include "core/db/indexed_database.h"

class Reporter;

// Opening the two address books. Each book is an IndexedDatabase of a data
// file "<stem><DataFileExtension>" and an index file
// "<stem><IndexFileExtension>" in the working directory, the stem being the
// book's base name up to its first ".".

constexpr int32_t kBookNodeOrder = 11;
constexpr int32_t kBookStaticAreaSize = 65025;
constexpr int32_t kBookTreeCount = 255;
extern const char kRebuildTempFile[];  // "tempfile.idx"

struct BookFileNames {
  std::string data;
  std::string index;
};
BookFileNames MakeBookFileNames(const std::string& base_name, const std::string& data_extension,
                                const std::string& index_extension);

// Closes and destroys old_handle when there is one, then opens the book
// read-write (read-only when that fails) and rebuilds a missing index.
// Returns the new handle (owned by the caller, who closes it before
// deleting it), or null. With verbose, failures go to the reporter as
// program messages and the rebuild's progress as conversation lines.
IndexedDatabase* OpenAddressBook(const std::string& base_name, IndexedDatabase* old_handle,
                                 bool verbose, Reporter* reporter,
                                 const std::string& data_extension = ".ihd",
                                 const std::string& index_extension = ".ihx");

// Builds a new index from the data file in "tempfile.idx" and puts it in
// place of index_name. 1 when the index was rebuilt and reloaded.
int RebuildIndexFile(const std::string& index_name, IndexedDatabase* handle, bool verbose,
                     Reporter* reporter);

#endif  // QUILLO_CORE_BOOKS_ADDRESS_BOOK_H
