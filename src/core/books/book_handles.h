#ifndef QUILLO_CORE_BOOKS_BOOK_HANDLES_H
#define QUILLO_CORE_BOOKS_BOOK_HANDLES_H

class IndexedDatabase;

// The address-book handles kept in ProgramSettings: the open books, or null
// for a book that could not be opened (every user tests its handle first
// and then leaves the book alone). Owns both: the destructor closes and
// destroys them at the end of the run. Opened by OpenAddressBooks
// (books/address_book.h) at start-up.
struct BookHandles {
  BookHandles() = default;
  ~BookHandles();
  BookHandles(const BookHandles&) = delete;
  BookHandles& operator=(const BookHandles&) = delete;

  // Closes and destroys both books; the handles become null.
  void CloseAddressBooks();

  IndexedDatabase* PreviousConnectionsBook = nullptr;
  IndexedDatabase* InvitationBook = nullptr;
};

#endif  // QUILLO_CORE_BOOKS_BOOK_HANDLES_H
