#include "core/util/byte_string.h"

#include <cctype>
#include <cstring>
#include <utility>

ByteString::ByteString(const char* text) { Assign(text); }
ByteString::ByteString(const void* bytes, size_t n) { Assign(bytes, n); }
ByteString::ByteString(const std::string& text) { Assign(text.data(), text.size()); }
ByteString::ByteString(const ByteString& other) { Assign(other.data_, other.length_); }

ByteString::ByteString(ByteString&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      length_(std::exchange(other.length_, 0)) {}

ByteString& ByteString::operator=(const ByteString& other) {
  if (this != &other) Assign(other.data_, other.length_);
  return *this;
}

ByteString& ByteString::operator=(ByteString&& other) noexcept {
  if (this != &other) {
    delete[] data_;
    data_ = std::exchange(other.data_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
    length_ = std::exchange(other.length_, 0);
  }
  return *this;
}

ByteString& ByteString::operator=(const char* text) {
  Assign(text);
  return *this;
}

ByteString::~ByteString() { delete[] data_; }

void ByteString::Assign(const void* bytes, size_t n) {
  if (n >= capacity_) {
    char* fresh = new char[n + 1];
    if (n > 0) std::memcpy(fresh, bytes, n);
    delete[] data_;
    data_ = fresh;
    capacity_ = n + 1;
  } else if (n > 0) {
    std::memmove(data_, bytes, n);
  }
  length_ = n;
  data_[n] = '\0';
}

void ByteString::Assign(const char* text) { Assign(text, text ? std::strlen(text) : 0); }

void ByteString::Reserve(size_t n) {
  if (n + 1 <= capacity_) return;
  size_t grown = capacity_ * 2 > n + 1 ? capacity_ * 2 : n + 1;
  char* fresh = new char[grown];
  if (length_ > 0) std::memcpy(fresh, data_, length_);
  fresh[length_] = '\0';
  delete[] data_;
  data_ = fresh;
  capacity_ = grown;
}

void ByteString::Resize(size_t n) {
  Reserve(n);
  if (n > length_) std::memset(data_ + length_, 0, n - length_);
  length_ = n;
  data_[n] = '\0';
}

void ByteString::Clear() {
  length_ = 0;
  if (data_) data_[0] = '\0';
}

void ByteString::Append(const void* bytes, size_t n) { Insert(length_, bytes, n); }
void ByteString::Append(const char* text) { Append(text, std::strlen(text)); }

void ByteString::Insert(size_t pos, const void* bytes, size_t n) {
  if (pos > length_) pos = length_;
  // The source may lie inside this string; copy it before the buffer moves.
  std::string copy(static_cast<const char*>(bytes), n);
  Reserve(length_ + n);
  std::memmove(data_ + pos + n, data_ + pos, length_ - pos);
  if (n > 0) std::memcpy(data_ + pos, copy.data(), n);
  length_ += n;
  data_[length_] = '\0';
}

size_t ByteString::Erase(size_t pos, size_t count) {
  if (pos >= length_) return 0;
  if (count > length_ - pos) count = length_ - pos;
  std::memmove(data_ + pos, data_ + pos + count, length_ - pos - count);
  length_ -= count;
  data_[length_] = '\0';
  return count;
}

size_t ByteString::Find(const char* pattern, size_t start) const {
  return FindCounted(pattern, pattern ? std::strlen(pattern) : 0, start);
}

namespace {

template <typename Equal>
size_t Search(const char* data, size_t length, const char* pattern, size_t n, size_t start,
              Equal equal) {
  if (n == 0 || start >= length || n > length - start) return ByteString::npos;
  for (size_t i = start; i + n <= length; ++i) {
    size_t j = 0;
    while (j < n && equal(data[i + j], pattern[j])) ++j;
    if (j == n) return i;
  }
  return ByteString::npos;
}

}  // namespace

size_t ByteString::FindCounted(const void* pattern, size_t n, size_t start) const {
  return Search(data_, length_, static_cast<const char*>(pattern), n, start,
                [](char a, char b) { return a == b; });
}

size_t ByteString::FindCountedNoCase(const void* pattern, size_t n, size_t start) const {
  auto lower = [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<char>(u + ('a' - 'A')) : c;
  };
  return Search(data_, length_, static_cast<const char*>(pattern), n, start,
                [&](char a, char b) { return lower(a) == lower(b); });
}

int ByteString::Compare(const ByteString& other) const {
  size_t common = length_ < other.length_ ? length_ : other.length_;
  int c = common ? std::memcmp(data_, other.data_, common) : 0;
  if (c != 0) return c;
  if (length_ == other.length_) return 0;
  return length_ < other.length_ ? -1 : 1;
}
