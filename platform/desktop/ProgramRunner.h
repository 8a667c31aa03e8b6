#pragma once
#include <functional>
#include <string>
#include <vector>

namespace platform {

// Full path of an executable named `name` on $PATH, or empty.
std::string findProgram(const char* name);

struct ProgramOutput {
    bool started = false;
    int exitCode = -1;  // -1 when it did not exit normally
    std::string standardOutput;
};

// Runs argv[0] (a full path) with the given arguments through posix_spawn, never a
// shell, and collects its standard output (at most maxOutput bytes are kept).
// While it runs, whileWaiting (when given) is called every few milliseconds.
ProgramOutput runProgram(
    const std::vector<std::string>& argv, size_t maxOutput = 1 << 16, const std::function<void()>& whileWaiting = {});

}  // namespace platform
