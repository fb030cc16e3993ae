#ifndef QUILLO_CORE_DB_ADDRESS_STACK_H
#define QUILLO_CORE_DB_ADDRESS_STACK_H

#include <vector>

#include "core/db/portable_int.h"

// The path from the root that insertion and removal remember instead of
// parent pointers: last in, first out.
class AddressStack {
 public:
  // false when no memory could be had for the item.
  bool Push(FileAddress address);
  // The most recent address, or 0 when the stack is empty.
  FileAddress Pop();
  void Clear() { items_.clear(); }
  bool Empty() const { return items_.empty(); }

 private:
  std::vector<FileAddress> items_;
};

#endif  // QUILLO_CORE_DB_ADDRESS_STACK_H
