#include "framework/util/TextCopy.h"

#include <cstring>

bool copyText(char* dest, size_t capacity, const char* src) noexcept {
  if (dest == nullptr || capacity == 0) return false;
  if (src == nullptr) {
    dest[0] = 0;
    return true;
  }
  const size_t n = ::strnlen(src, capacity);
  if (n < capacity) {
    std::memcpy(dest, src, n + 1);
    return true;
  }
  std::memcpy(dest, src, capacity - 1);
  dest[capacity - 1] = 0;
  return false;
}

bool appendText(char* dest, size_t capacity, const char* src) noexcept {
  if (dest == nullptr || capacity == 0) return false;
  const size_t used = ::strnlen(dest, capacity);
  if (used >= capacity) {
    dest[capacity - 1] = 0;
    return false;
  }
  return copyText(dest + used, capacity - used, src);
}
