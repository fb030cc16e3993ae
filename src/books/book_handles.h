#ifndef QUILLO_BOOKS_BOOK_HANDLES_H
#define QUILLO_BOOKS_BOOK_HANDLES_H

// Part of ProgramSettings owned by its subsystem (filled in by that subsystem).
struct BookHandles {
};

#endif  // QUILLO_BOOKS_BOOK_HANDLES_H
