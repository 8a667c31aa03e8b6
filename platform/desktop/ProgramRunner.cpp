#include "platform/desktop/ProgramRunner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>

extern char** environ;

namespace platform {

std::string findProgram(const char* name)
{
    const char* path = std::getenv("PATH");
    if (name == nullptr || name[0] == 0 || path == nullptr)
        return {};
    const std::string_view dirs(path);
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string_view::npos)
            end = dirs.size();
        std::string candidate;
        if (end == start) {
            candidate.append(".");
        } else {
            candidate.append(dirs.data() + start, end - start);
        }
        candidate.push_back('/');
        candidate.append(name);
        struct stat st { };
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

bool RunningProgram::start(const std::vector<std::string>& argv, size_t maxOutput)
{
    stop();
    output_.clear();
    exitCode_ = -1;
    maxOutput_ = maxOutput;
    if (argv.empty() || argv[0].empty())
        return false;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    int fds[2];
    // Close-on-exec, so that a program another thread starts meanwhile does not
    // inherit the write end and keep the output from ever ending. The read end
    // never blocks: the caller only ever takes what is there.
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    // A group of its own, so that stopping it also ends what it started; and
    // no signal the host's thread blocks stays blocked in the dialog.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return false;
    }
    pid_ = pid;
    pipe_ = fds[0];
    return true;
}

void RunningProgram::drain()
{
    char buf[4096];
    while (pipe_ >= 0) {
        const ssize_t n = ::read(pipe_, buf, sizeof buf);
        if (n > 0) {
            const size_t room = maxOutput_ - std::min(maxOutput_, output_.size());
            output_.append(buf, std::min(room, static_cast<size_t>(n)));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            // Nothing more for now (EAGAIN) or ever (end of file, error).
            if (n == 0 || errno != EAGAIN)
                closePipe();
            return;
        }
    }
}

void RunningProgram::closePipe()
{
    if (pipe_ >= 0)
        ::close(pipe_);
    pipe_ = -1;
}

bool RunningProgram::poll()
{
    if (pid_ <= 0)
        return true;
    drain();
    int status = 0;
    pid_t done = 0;
    do {
        done = ::waitpid(pid_, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == 0)
        return false;
    const bool reaped = done == pid_;
    pid_ = -1;
    // What it wrote just before it ended; a program it left running that still
    // holds the pipe adds nothing the answer needs.
    drain();
    closePipe();
    if (reaped) {
        if (WIFEXITED(status))
            exitCode_ = WEXITSTATUS(status);
    } else {
        // A host that ignores SIGCHLD or collects every child took the status:
        // a dialog program that printed something answered, one that did not
        // was cancelled.
        exitCode_ = output_.empty() ? 1 : 0;
    }
    return true;
}

void RunningProgram::stop()
{
    if (pid_ > 0) {
        ::kill(-pid_, SIGKILL);
        ::kill(pid_, SIGKILL);
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) { }
        pid_ = -1;
    }
    closePipe();
}

}  // namespace platform
