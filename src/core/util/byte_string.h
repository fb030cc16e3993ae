#ifndef QUILLO_CORE_UTIL_BYTE_STRING_H
#define QUILLO_CORE_UTIL_BYTE_STRING_H

#include <cstddef>
#include <string>

// The program's own growable 8-bit string, also used as a raw byte buffer.
//
// Invariants: Data() is null only while Capacity() is 0; Length() <=
// Capacity(). After a text assignment a NUL byte follows the last byte, so a
// text's buffer holds Length() + 1 bytes. Assigning n bytes reuses the buffer
// when the capacity suffices, else allocates exactly n + 1 bytes.
class ByteString {
 public:
  static constexpr size_t npos = static_cast<size_t>(-1);

  ByteString() = default;
  ByteString(const char* text);  // NOLINT: implicit like std::string
  ByteString(const void* bytes, size_t n);
  explicit ByteString(const std::string& text);
  ByteString(const ByteString& other);
  ByteString(ByteString&& other) noexcept;
  ByteString& operator=(const ByteString& other);
  ByteString& operator=(ByteString&& other) noexcept;
  ByteString& operator=(const char* text);
  ~ByteString();

  // Assignment of n bytes (text: terminated by a NUL after them).
  void Assign(const void* bytes, size_t n);
  void Assign(const char* text);
  // Sizes the buffer to hold n bytes without a terminator (raw buffer use);
  // contents up to the old length are kept, new bytes are zero.
  void Resize(size_t n);
  void Clear();

  void Append(const void* bytes, size_t n);
  void Append(const char* text);
  // Inserts at pos; a position past the end appends.
  void Insert(size_t pos, const void* bytes, size_t n);
  // Removes up to count bytes from pos (clamped to the end); returns the
  // number removed.
  size_t Erase(size_t pos, size_t count);

  // First occurrence at or after start, or npos. An empty pattern is never
  // found.
  size_t Find(const char* pattern, size_t start = 0) const;
  size_t FindCounted(const void* pattern, size_t n, size_t start = 0) const;
  size_t FindCountedNoCase(const void* pattern, size_t n, size_t start = 0) const;

  // Byte-wise comparison as unsigned values; on a common prefix the shorter
  // string is less. Returns <0, 0 or >0.
  int Compare(const ByteString& other) const;

  char* Data() { return data_; }
  const char* Data() const { return data_; }
  const char* CStr() const { return data_ ? data_ : ""; }
  size_t Length() const { return length_; }
  size_t Capacity() const { return capacity_; }
  bool Empty() const { return length_ == 0; }
  char& operator[](size_t i) { return data_[i]; }
  char operator[](size_t i) const { return data_[i]; }
  std::string ToString() const { return std::string(CStr(), length_); }

 private:
  // Makes room for n bytes plus a terminator, keeping the contents.
  void Reserve(size_t n);

  char* data_ = nullptr;
  size_t capacity_ = 0;
  size_t length_ = 0;
};

inline bool operator==(const ByteString& a, const ByteString& b) { return a.Compare(b) == 0; }
inline bool operator!=(const ByteString& a, const ByteString& b) { return a.Compare(b) != 0; }
inline bool operator<(const ByteString& a, const ByteString& b) { return a.Compare(b) < 0; }
inline bool operator>(const ByteString& a, const ByteString& b) { return a.Compare(b) > 0; }

#endif  // QUILLO_CORE_UTIL_BYTE_STRING_H
