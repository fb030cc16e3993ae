#include "core/db/index_key.h"

#include <cstring>

int CaseSensitiveKeys = 1;

namespace {

unsigned char Fold(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

int CompareKeyText(const char* a, const char* b) {
  const auto* x = reinterpret_cast<const unsigned char*>(a);
  const auto* y = reinterpret_cast<const unsigned char*>(b);
  const bool fold = CaseSensitiveKeys == 0;
  for (;; ++x, ++y) {
    unsigned char cx = fold ? Fold(*x) : *x;
    unsigned char cy = fold ? Fold(*y) : *y;
    if (cx != cy) return cx < cy ? -1 : 1;
    if (cx == 0) return 0;
  }
}

}  // namespace

int CopyKeyText(char* buffer, const char* text, size_t length) {
  if (length == 0) length = std::strlen(text);
  const size_t limit = kKeyTextSize - 1;
  const size_t n = length > limit ? limit : length;
  std::memcpy(buffer, text, n);
  std::memset(buffer + n, 0, kKeyTextSize - n);
  return length > limit ? 0 : 1;
}

bool KeyTextEquals(const char* a, const char* b) { return CompareKeyText(a, b) == 0; }

bool KeyTextGreater(const char* a, const char* b) { return CompareKeyText(a, b) > 0; }
