#include "SpareXServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include <X11/Xlib.h>

namespace testx {

namespace {
    std::string findXvfb()
    {
        for (const char* dir : {"/usr/bin/", "/usr/local/bin/"})
            if (access((std::string(dir) + "Xvfb").c_str(), X_OK) == 0)
                return std::string(dir) + "Xvfb";
        return {};
    }

    // Reads the display number the server writes once it listens; empty when it
    // says nothing within the limit (it failed to start, or hangs).
    std::string readDisplayNumber(int fd, int limitMs)
    {
        std::string text;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (text.find('\n') == std::string::npos) {
            const auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
            if (left <= 0)
                return {};
            pollfd p {fd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0)
                continue;
            char buf[32];
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0)
                return {};
            text.append(buf, static_cast<size_t>(n));
        }
        text.resize(text.find('\n'));
        return text;
    }
}  // namespace

SpareXServer::SpareXServer(const char* screen)
{
    const std::string xvfb = findXvfb();
    int fds[2];
    if (xvfb.empty() || pipe2(fds, O_CLOEXEC) != 0)
        return;
    const int devnull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::vector<std::string> args {xvfb, "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // The server goes with the test however the test ends: an X error's
        // exit(), a crash, or CTest's kill at the time limit.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        dup2(fds[1], 3);  // the server writes its number on descriptor 3
        if (devnull >= 0) {
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (devnull >= 0)
        close(devnull);
    close(fds[1]);
    const std::string number = pid_ > 0 ? readDisplayNumber(fds[0], 60000) : std::string();
    close(fds[0]);
    const int display = number.empty() ? -1 : std::atoi(number.c_str());
    if (display < 0) {
        stop();
        return;
    }
    char name[16];
    std::snprintf(name, sizeof name, ":%d", display);
    name_ = name;
    for (int i = 0; i < 50 && display_ == nullptr; ++i) {
        display_ = XOpenDisplay(name_.c_str());
        if (display_ == nullptr)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (display_ == nullptr)
        stop();
}

SpareXServer::~SpareXServer() { stop(); }

void SpareXServer::stop()
{
    // Closed while the server still answers: Xlib ends a process whose server
    // went away under an open connection.
    if (display_ != nullptr)
        XCloseDisplay(display_);
    display_ = nullptr;
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

}  // namespace testx
