// Opens arbitrary bytes as a database file and as a B-tree index file and
// walks them: blocks one after another, the free list through allocations
// and deletions, the tree through searches, an in-order walk, insertions and
// removals. Nothing may crash, overrun a buffer or loop without end.
#include "core/db/btree_index.h"
#include "core/db/database_file.h"
#include "core/db/db_test_keys.h"
#include "fuzz/fuzz_support.h"

namespace {

void WalkDatabaseFile(const std::string& path) {
  DatabaseFile file;
  if (file.Open(path.c_str(), 2) != 0) return;
  const int64_t end = int32_t(file.GetEndOfFile());
  int64_t position = int32_t(file.FindFirstBlock(0));
  for (int steps = 0; position != 0 && position + file.BlockHeaderSize() < end; ++steps) {
    if (steps > 100000) std::abort();  // the walk always advances
    DatabaseBlockHeader h;
    if (file.Read(&h, sizeof h, int32_t(position)) != 0) break;
    const int64_t length = uint32_t(h.block_length);
    const bool block =
        h.check_word == PortableUInt32(kBlockCheckWord) && file.IsPlausibleBlock(position, length);
    if (block && uint32_t(h.status) == kBlockInUse && steps % 3 == 0) {
      file.Delete(int32_t(position + file.BlockHeaderSize()), steps & 1);
    }
    position += block ? length : 1;
  }
  for (int32_t size : {0, 1, 10, 100, 3000}) {
    FileAddress a = file.Alloc(size, kAllocFirstFit);
    if (int32_t(a) != 0) file.Delete(a, 0);
  }
  file.Close();
}

// Number keys keep small inputs meaningful: an entry is 8 bytes.
void WalkIndexFile(const std::string& path, uint8_t seed) {
  BTreeIndex tree{IntKey(), 11, -1};
  if (tree.OpenFile(path.c_str(), 2) != 0) return;
  IntKey key, scratch;
  int32_t count = 0;
  if (tree.FindFirst(key, true)) {
    // A damaged tree may hand back keys out of order; the walk is bounded.
    while (count++ < 20000 && tree.FindNext(key, scratch, false)) {
    }
  }
  for (int32_t v = -2; v < 40; v += 1 + seed % 5) {
    IntKey probe(v), added(v * 7 + seed), removed(v);
    tree.Find(probe, scratch, false);
    tree.Insert(added, scratch, v % 3 == 0);
    tree.Remove(removed, scratch, v % 4 == 0);
  }
  tree.TestHeader(true);
  tree.Close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  static const std::string path = fuzz::ScratchPath("db.kvs");
  fuzz::WriteFile(path, data, size);
  WalkDatabaseFile(path);
  fuzz::WriteFile(path, data, size);
  WalkIndexFile(path, size ? data[size - 1] : 0);
  std::remove(path.c_str());
  return 0;
}
