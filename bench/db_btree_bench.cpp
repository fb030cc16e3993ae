// B-tree throughput with address-book-sized keys: 10,000 keys of 264 bytes
// in an order-11 tree, inserted, found, walked in order and removed.
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "core/db/btree_index.h"
#include "core/db/db_test_keys.h"

int main() {
  constexpr int kKeys = 10000;
  const std::string name = "/tmp/quillo-bench-btree-" + std::to_string(getpid()) + ".idx";
  std::vector<std::string> names;  // a scattered order, like nicknames typed over time
  for (int i = 0; i < kKeys; ++i) names.push_back("nickname-" + std::to_string(i * 7919 % kKeys));
  BTreeIndex tree{TextKey(), 11, -1};
  if (tree.CreateFile(name.c_str(), 255) != 0) return 1;
  TextKey key, scratch;
  // Each phase returns how many operations succeeded.
  auto each = [&](int (BTreeIndex::*op)(IndexKey&, IndexKey&, bool)) {
    int done = 0;
    for (const std::string& n : names) {
      key.Set(n);
      done += (tree.*op)(key, scratch, false) != 0;
    }
    return done;
  };
  const std::pair<const char*, std::function<int()>> phases[] = {
      {"insert", [&] { return each(&BTreeIndex::Insert); }},
      {"find", [&] { return each(&BTreeIndex::Find); }},
      {"walk",
       [&] {
         int walked = tree.FindFirst(key, false) ? 1 : 0;
         while (walked > 0 && tree.FindNext(key, scratch, false)) ++walked;
         return walked;
       }},
      {"remove", [&] { return each(&BTreeIndex::Remove); }}};
  for (const auto& [what, run] : phases) {
    const bench::Clock::time_point start = bench::Clock::now();
    const int operations = run();
    const double seconds = bench::Seconds(start);
    std::printf("%-8s %6d operations in %7.3f s: %10.0f operations per second\n", what, operations,
                seconds, operations / seconds);
    if (operations != kKeys) return 1;
  }
  tree.Close();
  std::remove(name.c_str());
  return 0;
}
