#pragma once
// Bounded text copies into buffers that belong to the host: the host's buffer
// sizes are fixed by the interface, our own texts may be longer.

#include <cstddef>

// Copies at most maxChars characters of src and a terminating NUL into dst
// (which must hold maxChars + 1 bytes). A null src gives an empty text; a
// null dst copies nothing. Returns the number of characters copied.
std::size_t vstCopyText(char* dst, const char* src, std::size_t maxChars);
