// Arbitrary bytes as an address book's data file with no index: the open
// rebuilds the index from whatever records the reader finds.
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size <= 1 << 20)
    fuzz::ExerciseBook(fuzz::WriteBook(data, size, nullptr, 0, nullptr, 0),
                       size ? data[size - 1] : 0);
  return 0;
}
