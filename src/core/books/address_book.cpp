#include "core/books/address_book.h"

#include <cstdio>
#include <new>

#include "core/books/field_record.h"
#include "core/books/name_key.h"
#include "core/util/reporter.h"

const char kRebuildTempFile[] = "tempfile.idx";

namespace {

void Say(bool verbose, Reporter* reporter, const std::string& text) {
  if (verbose && reporter) reporter->ConversationLine(text);
}

void Complain(bool verbose, Reporter* reporter, int code) {
  if (verbose && reporter) reporter->ProgramMessage(DatabaseErrorText(code), " ", " ");
}

void Discard(IndexedDatabase* handle) {
  handle->Close();
  delete handle;
}

}  // namespace

BookFileNames MakeBookFileNames(const std::string& base_name, const std::string& data_extension,
                                const std::string& index_extension) {
  const std::string stem = base_name.substr(0, base_name.find('.'));
  return BookFileNames{stem + data_extension, stem + index_extension};
}

IndexedDatabase* OpenAddressBook(const std::string& base_name, IndexedDatabase* old_handle,
                                 bool verbose, Reporter* reporter,
                                 const std::string& data_extension,
                                 const std::string& index_extension) {
  const BookFileNames names = MakeBookFileNames(base_name, data_extension, index_extension);
  if (old_handle) Discard(old_handle);
  IndexedDatabase* handle = new (std::nothrow) IndexedDatabase;
  if (!handle) {
    Complain(verbose, reporter, kDbNoMemory);
    return nullptr;
  }
  NameKey prototype;
  CaseSensitiveKeys = 0;
  int rc = handle->Open(names.data.c_str(), names.index.c_str(), prototype, kBookNodeOrder, 2, 1,
                        kBookStaticAreaSize, kBookTreeCount);
  if (rc) {
    rc = handle->Open(names.data.c_str(), names.index.c_str(), prototype, kBookNodeOrder, 0, 1, 0,
                      1);
  }
  if (rc) {
    Discard(handle);
    Complain(verbose, reporter, rc);
    return nullptr;
  }
  if (handle->RebuildNeeded(0) && !RebuildIndexFile(names.index, handle, verbose, reporter)) {
    Discard(handle);
    return nullptr;
  }
  return handle;
}

int RebuildIndexFile(const std::string& index_name, IndexedDatabase* handle, bool verbose,
                     Reporter* reporter) {
  FieldRecord record(handle, 9);
  Say(verbose, reporter, "\nRebuilting the index file...\n");
  if (!record.RebuildIndex(kRebuildTempFile, kBookTreeCount, kBookNodeOrder)) {
    Say(verbose, reporter, "The index file was not rebuilt!\n");
    return 0;
  }
  handle->CloseIndex(0);
  if (std::remove(index_name.c_str()) != 0) {
    Say(verbose, reporter, "Error overwriting exiting file!\n");
    return 0;
  }
  std::rename(kRebuildTempFile, index_name.c_str());
  if (handle->OpenIndex(index_name.c_str(), 0, NameKey(), kBookNodeOrder, 2)) {
    Say(verbose, reporter, "Error re-opeing index file.\n");
    return 0;
  }
  Say(verbose, reporter, "The index file was rebuilt and loaded.\n");
  return 1;
}
