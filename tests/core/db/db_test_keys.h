#ifndef QUILLO_TESTS_DB_DB_TEST_KEYS_H
#define QUILLO_TESTS_DB_DB_TEST_KEYS_H

// Index keys for the database tests, the database fuzzer and the B-tree
// benchmark; free of GoogleTest so that all three can use them.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/db/index_key.h"

// A key of one 32-bit number (entry size 8), for trees of many nodes.
class IntKey : public IndexKey {
 public:
  explicit IntKey(int32_t v = 0) : IndexKey(data_) { Set(v); }
  void Set(int32_t v) {
    PortableInt32 p = v;
    std::memcpy(data_, &p, 4);
  }
  int32_t Value() const {
    PortableInt32 p;
    std::memcpy(&p, data_, 4);
    return p;
  }
  int KeySize() const override { return 4; }
  bool Equals(const IndexKey& o) const override {
    return Value() == static_cast<const IntKey&>(o).Value();
  }
  bool GreaterThan(const IndexKey& o) const override {
    return Value() > static_cast<const IntKey&>(o).Value();
  }

 private:
  unsigned char data_[4];
};

// A key the size of an address-book key: 256 bytes of text and 8 more.
class TextKey : public IndexKey {
 public:
  explicit TextKey(const std::string& text = "") : IndexKey(data_) { Set(text); }
  void Set(const std::string& text) {
    std::memset(data_, 0, sizeof data_);
    CopyKeyText(reinterpret_cast<char*>(data_), text.c_str(), text.size());
  }
  int KeySize() const override { return 264; }
  bool Equals(const IndexKey& o) const override {
    return KeyTextEquals(reinterpret_cast<const char*>(data_),
                         reinterpret_cast<const char*>(o.KeyData()));
  }
  bool GreaterThan(const IndexKey& o) const override {
    return KeyTextGreater(reinterpret_cast<const char*>(data_),
                          reinterpret_cast<const char*>(o.KeyData()));
  }

 private:
  unsigned char data_[264];
};

#endif  // QUILLO_TESTS_DB_DB_TEST_KEYS_H
