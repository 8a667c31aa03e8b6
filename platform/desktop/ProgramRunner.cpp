#include "platform/desktop/ProgramRunner.h"

#include <fcntl.h>
#include <poll.h>
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

namespace {
    constexpr int kWaitStepMs = 15;
}  // namespace

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

ProgramOutput runProgram(
    const std::vector<std::string>& argv, size_t maxOutput, const std::function<void()>& whileWaiting)
{
    ProgramOutput out;
    if (argv.empty() || argv[0].empty())
        return out;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    int fds[2];
    // Close-on-exec, so that a program another thread starts meanwhile does not
    // inherit the write end and keep our read from ever ending.
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return out;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return out;
    }
    out.started = true;
    char buf[4096];
    for (;;) {
        if (whileWaiting) {
            // The caller's window keeps being served while the program runs.
            pollfd pfd {fds[0], POLLIN, 0};
            const int ready = ::poll(&pfd, 1, kWaitStepMs);
            if (ready == 0 || (ready < 0 && errno == EINTR)) {
                whileWaiting();
                continue;
            }
        }
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n > 0) {
            const size_t room = maxOutput - std::min(maxOutput, out.standardOutput.size());
            out.standardOutput.append(buf, std::min(room, static_cast<size_t>(n)));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    ::close(fds[0]);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, whileWaiting ? WNOHANG : 0);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return out;
        if (done == 0) {
            // Output closed but still running: keep serving the caller meanwhile.
            whileWaiting();
            ::poll(nullptr, 0, kWaitStepMs);
        }
    }
    if (WIFEXITED(status))
        out.exitCode = WEXITSTATUS(status);
    return out;
}

}  // namespace platform
