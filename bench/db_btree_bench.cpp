// B-tree throughput with address-book-sized keys: 10,000 keys of 264 bytes
// in an order-11 tree, inserted, found, walked in order and removed.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "core/db/btree_index.h"
#include "core/db/db_test_keys.h"

namespace {

using bench::Clock;

void Report(const char* what, int operations, Clock::time_point start) {
  const double seconds = bench::Seconds(start);
  std::printf("%-8s %6d operations in %7.3f s: %10.0f operations per second\n", what, operations,
              seconds, operations / seconds);
}

}  // namespace

int main() {
  constexpr int kKeys = 10000;
  const std::string name = "/tmp/quillo-bench-btree-" + std::to_string(getpid()) + ".idx";
  std::vector<std::string> names;
  for (int i = 0; i < kKeys; ++i) {
    // A scattered order, like nicknames typed over time.
    names.push_back("nickname-" + std::to_string((i * 7919) % kKeys));
  }
  BTreeIndex tree{TextKey(), 11, -1};
  if (tree.CreateFile(name.c_str(), 255) != 0) {
    std::fprintf(stderr, "cannot create %s\n", name.c_str());
    return 1;
  }
  TextKey key, scratch;

  Clock::time_point start = Clock::now();
  for (const std::string& n : names) {
    key.Set(n);
    if (!tree.Insert(key, scratch, false)) return 1;
  }
  Report("insert", kKeys, start);

  start = Clock::now();
  for (const std::string& n : names) {
    key.Set(n);
    if (!tree.Find(key, scratch, false)) return 1;
  }
  Report("find", kKeys, start);

  start = Clock::now();
  int walked = 0;
  if (tree.FindFirst(key, false)) {
    ++walked;
    while (tree.FindNext(key, scratch, false)) ++walked;
  }
  Report("walk", walked, start);
  if (walked != kKeys) return 1;

  start = Clock::now();
  for (const std::string& n : names) {
    key.Set(n);
    if (!tree.Remove(key, scratch, false)) return 1;
  }
  Report("remove", kKeys, start);
  std::printf("file %s: %d nodes at the end, height %d\n", name.c_str(),
              int32_t(tree.Header().node_count), int32_t(tree.Header().height));
  tree.Close();
  std::remove(name.c_str());
  return 0;
}
