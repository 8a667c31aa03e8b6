#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace platform {

// Full path of an executable named `name` on $PATH, or empty.
std::string findProgram(const char* name);

// A program started beside the caller: poll() collects its standard output
// and notices its end without ever waiting, so a UI thread can ask on every
// tick. The program is held through a pidfd, never by its pid alone: a host
// that ignores SIGCHLD, or collects every child itself, frees the pid the
// moment the program ends, and the number may then name any other process.
// UI thread only.
class RunningProgram {
public:
    RunningProgram() = default;
    // A program still running is stopped: nothing it leaves behind is wanted.
    ~RunningProgram() { stop(); }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // Runs argv[0] (a full path) with the given arguments through posix_spawn,
    // never a shell, in a process group of its own, with standard input,
    // output and error only and every signal at its default; at most
    // maxOutput bytes of its standard output are kept. False when it could
    // not be started.
    bool start(const std::vector<std::string>& argv, size_t maxOutput = 1 << 16);
    // True once the program has ended; its output is complete then.
    bool poll();
    // Ends the program at once, with everything it started while it is known
    // to be its own, and reaps it.
    void stop();

    bool running() const { return started_; }
    int exitCode() const { return exitCode_; }  // -1 unless it exited normally
    const std::string& output() const { return output_; }

private:
    void drain();
    void closePipe();
    void release();

    bool started_ = false;  // started, and its end not yet seen
    int pidfd_ = -1;  // the program while its end is not collected; -1 when it never was held
    pid_t group_ = 0;  // its process group's id (its pid)
    int pipe_ = -1;
    size_t maxOutput_ = 0;
    int exitCode_ = -1;
    std::string output_;
};

}  // namespace platform
