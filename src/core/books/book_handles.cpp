#include "core/books/book_handles.h"

#include "core/db/indexed_database.h"

namespace {

void CloseBook(IndexedDatabase*& book) {
  if (!book) return;
  book->Close();
  delete book;
  book = nullptr;
}

}  // namespace

BookHandles::~BookHandles() { CloseAddressBooks(); }

void BookHandles::CloseAddressBooks() {
  CloseBook(PreviousConnectionsBook);
  CloseBook(InvitationBook);
}
