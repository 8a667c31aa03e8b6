#pragma once
#include <cstddef>
#include <cstring>

// Bounded copy into a fixed text buffer: at most capacity - 1 characters, always
// NUL-terminated. A null source gives the empty text.
inline void copyText(char* dst, std::size_t capacity, const char* src) noexcept
{
    if (dst == nullptr || capacity == 0)
        return;
    if (src == nullptr) {
        dst[0] = '\0';
        return;
    }
    std::size_t n = strnlen(src, capacity - 1);
    std::memmove(dst, src, n);
    dst[n] = '\0';
}

template <std::size_t N>
inline void copyText(char (&dst)[N], const char* src) noexcept
{
    copyText(dst, N, src);
}
