#pragma once
#include <cstddef>
#include <cstdint>

// The readers take a path; the fuzz input goes into one in-memory file that is
// rewritten for every input. Returns the path to open.
const char* fuzzInputPath(const uint8_t* data, size_t size);
