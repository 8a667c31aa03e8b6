#pragma once
// Bounded copies into the fixed text buffers the plug-in uses everywhere
// (names, paths, host texts). Header-only so every layer can use it.
#include <cstddef>
#include <cstring>

// At most capacity - 1 characters and a NUL; a null source gives the empty
// text. Returns false when the text had to be cut or nothing fits.
inline bool copyText(char* dest, std::size_t capacity, const char* src) noexcept
{
    if (dest == nullptr || capacity == 0)
        return false;
    if (src == nullptr) {
        dest[0] = '\0';
        return true;
    }
    const std::size_t n = ::strnlen(src, capacity - 1);
    std::memmove(dest, src, n);
    dest[n] = '\0';
    // src[n] is readable: strnlen stopped at the NUL or before more text.
    return src[n] == '\0';
}

template <std::size_t N> inline bool copyText(char (&dest)[N], const char* src) noexcept
{
    return copyText(dest, N, src);
}

// Appends src to the text already in dest, with the same bounds.
inline bool appendText(char* dest, std::size_t capacity, const char* src) noexcept
{
    if (dest == nullptr || capacity == 0)
        return false;
    const std::size_t used = ::strnlen(dest, capacity);
    if (used >= capacity) {
        dest[capacity - 1] = '\0';
        return false;
    }
    return copyText(dest + used, capacity - used, src);
}
