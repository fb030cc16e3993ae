#include "core/books/address_book.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "core/books/field_record.h"
#include "core/books/name_key.h"
#include "core/util/reporter.h"

const char kRebuildTempFile[] = "tempfile.idx";
const char kJournalExtension[] = ".ihj";

namespace {

void Say(bool verbose, Reporter* reporter, const std::string& text) {
  if (verbose && reporter) reporter->ConversationLine(text);
}

void Event(Reporter* reporter, const std::string& text) {
  if (reporter) reporter->EventLine(text);
}

void Complain(bool verbose, Reporter* reporter, int code) {
  if (verbose && reporter) reporter->ProgramMessage(DatabaseErrorText(code), " ", " ");
}

// The start-up form: said once, naming the file and what to do.
void CannotOpen(bool verbose, Reporter* reporter, const BookFileNames& names, int code) {
  if (verbose || !reporter) return;
  reporter->ProgramMessage(
      "The address book " + names.data + " cannot be opened (" + DatabaseErrorText(code) + ").",
      " Quillo runs without it. ",
      "Close Quillo and restore " + names.data + " and " + names.index +
          " from a backup, or move them aside to start an empty book.");
}

void Discard(IndexedDatabase* handle) {
  handle->Close();
  delete handle;
}

std::string Directory(const std::string& file) {
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

}  // namespace

BookFileNames MakeBookFileNames(const std::string& base_name, const std::string& data_extension,
                                const std::string& index_extension) {
  // The stem ends at the first "." of the file name, not of a directory.
  const size_t name_start = base_name.rfind('/') == std::string::npos ? 0 : base_name.rfind('/');
  const std::string stem = base_name.substr(0, base_name.find('.', name_start));
  return BookFileNames{stem + data_extension, stem + index_extension, stem + kJournalExtension};
}

bool IndexMatchesData(IndexedDatabase* handle) {
  BTreeIndex* tree = handle ? handle->Tree(0) : nullptr;
  if (!tree) return false;
  const int32_t expected = tree->Header().key_count;
  NameKey key, scratch, previous;
  FieldRecord record(handle, 1);
  int32_t walked = 0;
  if (!tree->FindFirst(key, false)) return expected == 0 && tree->LastError() == kDbEntryNotFound;
  for (;;) {
    if (++walked > expected) return false;
    if (record.Read(key.RecordAddress()) != 0 ||
        !KeyTextEquals(record.FieldText(0).c_str(), key.Name().c_str())) {
      return false;
    }
    std::memcpy(previous.KeyData(), key.KeyData(), size_t(key.KeySize()));
    if (!tree->FindNext(key, scratch, false)) return tree->LastError() == 0 && walked == expected;
    if (!key.GreaterThan(previous)) return false;
  }
}

IndexedDatabase* OpenAddressBook(const std::string& base_name, IndexedDatabase* old_handle,
                                 bool verbose, Reporter* reporter,
                                 const std::string& data_extension,
                                 const std::string& index_extension, FileIo* io) {
  const BookFileNames names = MakeBookFileNames(base_name, data_extension, index_extension);
  if (old_handle) Discard(old_handle);
  IndexedDatabase* handle = new (std::nothrow) IndexedDatabase;
  if (!handle) {
    Complain(verbose, reporter, kDbNoMemory);
    return nullptr;
  }
  handle->SetFileIo(io);
  handle->SetJournalName(names.journal);
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
    CannotOpen(verbose, reporter, names, rc);
    return nullptr;
  }
  const bool missing = handle->RebuildNeeded(0) && handle->Tree(0);
  if (handle->RebuildNeeded(0) || !IndexMatchesData(handle)) {
    if (!RebuildIndexFile(names.index, handle, verbose, reporter, io)) {
      Discard(handle);
      CannotOpen(verbose, reporter, names, kDbFileCorrupt);
      return nullptr;
    }
    if (!missing) {
      Event(reporter, "The index " + names.index + " did not match the address book " + names.data +
                          " and was rebuilt from it.\n");
    }
  }
  return handle;
}

int RebuildIndexFile(const std::string& index_name, IndexedDatabase* handle, bool verbose,
                     Reporter* reporter, FileIo* io) {
  if (!io) io = FileIo::Posix();
  FieldRecord record(handle, 9);
  const std::string temp = Directory(index_name) + kRebuildTempFile;
  std::vector<std::string> duplicates;
  Say(verbose, reporter, "\nRebuilting the index file...\n");
  if (!record.RebuildIndex(temp.c_str(), kBookTreeCount, kBookNodeOrder, io, &duplicates)) {
    io->Unlink(temp.c_str());
    Say(verbose, reporter, "The index file was not rebuilt!\n");
    return 0;
  }
  const std::string data_name = handle->Data() ? handle->Data()->Name() : index_name;
  for (const std::string& nickname : duplicates) {
    Event(reporter, "The address book " + data_name + " holds the nickname \"" + nickname +
                        "\" twice; the entry written last is kept.\n");
  }
  handle->CloseIndex(0);
  // The old index stays until the new one is complete and takes its name.
  if (io->Rename(temp.c_str(), index_name.c_str()) != 0) {
    io->Unlink(temp.c_str());
    Say(verbose, reporter, "Error overwriting exiting file!\n");
    return 0;
  }
  io->SyncDirectoryOf(index_name.c_str());
  if (handle->OpenIndex(index_name.c_str(), 0, NameKey(), kBookNodeOrder, 2)) {
    Say(verbose, reporter, "Error re-opeing index file.\n");
    return 0;
  }
  if (IndexSlot* slot = handle->Slot(0)) slot->rebuild_needed = 0;
  Say(verbose, reporter, "The index file was rebuilt and loaded.\n");
  return 1;
}
