#ifndef QUILLO_TESTS_DB_DB_TEST_UTIL_H
#define QUILLO_TESTS_DB_DB_TEST_UTIL_H

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "db/index_key.h"

// A fresh directory per test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/quillo_db_XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made ? made : "/tmp";
  }
  ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

inline std::vector<unsigned char> ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

inline void Patch(const std::string& name, long offset, const void* bytes, size_t n) {
  FILE* f = std::fopen(name.c_str(), "r+b");
  ASSERT_NE(f, nullptr);
  std::fseek(f, offset, SEEK_SET);
  std::fwrite(bytes, 1, n, f);
  std::fclose(f);
}

inline long FileSize(const std::string& name) {
  struct stat st {};
  return stat(name.c_str(), &st) == 0 ? long(st.st_size) : -1;
}

inline int32_t Le32(const std::vector<unsigned char>& b, size_t at) {
  return int32_t(uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
                 uint32_t(b[at + 3]) << 24);
}

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
  std::string Text() const { return reinterpret_cast<const char*>(data_); }
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

#endif  // QUILLO_TESTS_DB_DB_TEST_UTIL_H
