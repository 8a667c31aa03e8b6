#include "platform/desktop/ProgramRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern char** environ;

namespace platform {
namespace {

    // Straight to the kernel: not every C library declares these (glibc from
    // 2.36 does, and 2.36's header lacks C linkage).
    int pidfdOpen(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0u)); }
    void pidfdKill(int pidfd) { ::syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0u); }

    // Whether the child behind the pidfd is still ours: running, or ended with
    // its end not yet collected. Until then its pid, and so its group's id,
    // cannot pass to another process.
    bool uncollected(int pidfd)
    {
        siginfo_t info {};
        int r = 0;
        do {
            r = ::waitid(P_PIDFD, static_cast<id_t>(pidfd), &info, WEXITED | WNOHANG | WNOWAIT);
        } while (r < 0 && errno == EINTR);
        return r == 0;
    }

    // Ends a child that cannot be held through a pidfd (a kernel before 5.4,
    // no descriptor left): it must not run unheld. Just after the spawn its
    // pid is still its own unless it has ended and been collected already.
    void endUnheld(pid_t pid)
    {
        siginfo_t info {};
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
            return;
        ::kill(-pid, SIGKILL);
        while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED) < 0 && errno == EINTR) { }
    }

    // The pipe's ends must lie above the three descriptors the program keeps,
    // or closing the rest in the child would keep or lose the wrong ones.
    bool aboveStandardStreams(int& fd)
    {
        if (fd > STDERR_FILENO)
            return true;
        const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        ::close(fd);
        fd = moved;
        return moved >= 0;
    }

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
    const bool readEndPlaced = aboveStandardStreams(fds[0]);
    const bool writeEndPlaced = aboveStandardStreams(fds[1]);
    if (!readEndPlaced || !writeEndPlaced) {
        for (int fd : fds)
            if (fd >= 0)
                ::close(fd);
        return false;
    }
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    // The program gets the standard streams and nothing else the host holds
    // open without close-on-exec: a device, a socket or a file held by a
    // dialog for as long as it is up would be held from the host.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    // A group of its own, so that stopping it also ends what it started; no
    // signal the host's thread blocks stays blocked in it, and none the host
    // ignores stays ignored.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    // Every bit set by hand: sigfillset leaves out the C library's own two
    // signals, which the spawn would then leave ignored in the program.
    sigset_t all;
    std::memset(&all, 0xff, sizeof all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return false;
    }
    // Held at once, and checked to be the child: a program that ended at once
    // may have been collected and its pid handed on already. Such a program
    // is not held; its output alone is its answer.
    int held = pidfdOpen(pid);
    bool ended = held < 0 && errno == ESRCH;
    if (held >= 0 && !uncollected(held)) {
        ended = errno == ECHILD;
        ::close(held);
        held = -1;
    }
    if (held < 0 && !ended) {
        endUnheld(pid);
        ::close(fds[0]);
        return false;
    }
    pidfd_ = held;
    pipe_ = fds[0];
    group_ = pid;
    started_ = true;
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

void RunningProgram::release()
{
    if (pidfd_ >= 0)
        ::close(pidfd_);
    pidfd_ = -1;
    group_ = 0;
    started_ = false;
}

bool RunningProgram::poll()
{
    if (!started_)
        return true;
    drain();
    siginfo_t info {};
    bool collected = false;
    if (pidfd_ >= 0) {
        int r = 0;
        do {
            info = {};
            r = ::waitid(P_PIDFD, static_cast<id_t>(pidfd_), &info, WEXITED | WNOHANG);
        } while (r < 0 && errno == EINTR);
        if (r == 0 && info.si_pid == 0)
            return false;
        collected = r == 0;
    }
    release();
    // What it wrote just before it ended; a program it left running that still
    // holds the pipe adds nothing the answer needs.
    drain();
    closePipe();
    if (collected) {
        if (info.si_code == CLD_EXITED)
            exitCode_ = info.si_status;
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
    if (pidfd_ >= 0) {
        // The group is signalled only while the program's end is uncollected:
        // after that its id may belong to a stranger's group.
        if (uncollected(pidfd_))
            ::kill(-group_, SIGKILL);
        pidfdKill(pidfd_);
        pollfd ended {pidfd_, POLLIN, 0};
        while (::poll(&ended, 1, -1) < 0 && errno == EINTR) { }
        siginfo_t info {};
        while (::waitid(P_PIDFD, static_cast<id_t>(pidfd_), &info, WEXITED) < 0 && errno == EINTR) { }
    }
    release();
    closePipe();
}

}  // namespace platform
