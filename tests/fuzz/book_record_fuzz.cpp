// Arbitrary bytes as an address book's data file with no index: the open
// rebuilds the index from whatever records the reader finds, then the book
// is listed, looked up, changed and opened again (see book_fuzz_walk.h).
#include "fuzz/book_fuzz_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  const std::string base = fuzz::WriteBook(data, size, nullptr, 0, nullptr, 0);
  fuzz::ExerciseBook(base, size ? data[size - 1] : 0);
  fuzz::RemoveBook(base);
  return 0;
}
