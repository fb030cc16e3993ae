// Arbitrary bytes split into an address book's data file, index file and
// rollback journal (two 3-byte lengths first): opening rolls back the
// journal, checks the index against the data and rebuilds it when they
// disagree; then the book is used as book_fuzz_walk.h says.
#include "fuzz/book_fuzz_walk.h"

namespace {

size_t Length(const uint8_t* at) {
  return size_t(at[0]) | size_t(at[1]) << 8 | size_t(at[2]) << 16;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6 || size > 1 << 21) return 0;
  size_t data_length = Length(data), index_length = Length(data + 3);
  data += 6;
  size -= 6;
  data_length = data_length % (size + 1);
  index_length = index_length % (size - data_length + 1);
  fuzz::RemoveBook();
  fuzz::WriteFile(fuzz::BookBase() + ".ihd", data, data_length);
  fuzz::WriteFile(fuzz::BookBase() + ".ihx", data + data_length, index_length);
  const size_t journal_length = size - data_length - index_length;
  if (journal_length > 0) {
    fuzz::WriteFile(fuzz::BookBase() + ".ihj", data + data_length + index_length, journal_length);
  }
  fuzz::ExerciseBook(size ? data[size - 1] : 0);
  fuzz::RemoveBook();
  return 0;
}
