// Arbitrary bytes split into an address book's data file, index file and
// rollback journal (two 3-byte lengths first): opening rolls back the
// journal, checks the index against the data and rebuilds it when they
// disagree, or builds it from whatever records it finds when there is no
// index file (an index length of 0).
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6 || size > 1 << 21) return 0;
  const size_t rest = size - 6;
  const size_t data_length = (data[0] | data[1] << 8 | data[2] << 16) % (rest + 1);
  const size_t index_length = (data[3] | data[4] << 8 | data[5] << 16) % (rest - data_length + 1);
  const uint8_t* files = data + 6;
  fuzz::ExerciseBook(
      fuzz::WriteBook(files, data_length, index_length ? files + data_length : nullptr,
                      index_length, files + data_length + index_length,
                      rest - data_length - index_length),
      rest ? files[rest - 1] : 0);
  return 0;
}
