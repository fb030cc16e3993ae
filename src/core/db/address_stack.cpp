#include "core/db/address_stack.h"

#include <new>

bool AddressStack::Push(FileAddress address) {
  try {
    items_.push_back(address);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

FileAddress AddressStack::Pop() {
  if (items_.empty()) return 0;
  FileAddress top = items_.back();
  items_.pop_back();
  return top;
}
