#pragma once
#include <cstddef>

// Bounded copy into a fixed text buffer: always terminated, never past capacity.
// Returns false when the text had to be cut (or the buffer cannot hold anything).
bool copyText(char* dest, size_t capacity, const char* src) noexcept;
// Appends src to the text already in dest, with the same bounds.
bool appendText(char* dest, size_t capacity, const char* src) noexcept;
