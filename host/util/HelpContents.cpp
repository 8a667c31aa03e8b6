#include "host/util/HelpContents.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>
#include <utility>

extern char** environ;

namespace {

bool isFile(const std::string& path)
{
    struct stat st { };
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string findManual(const std::string& programFolder)
{
    for (const std::string& candidate :
        {programFolder + "/" + kManualFileName, programFolder + "/" + kInstalledManualFolder + "/" + kManualFileName})
        if (isFile(candidate))
            return candidate;
    return {};
}

bool openAndReport(const std::string& path, std::function<void(int status)> onExit)
{
    char program[] = "xdg-open";
    std::string argument = path;
    char* argv[] = {program, argument.data(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, program, nullptr, nullptr, argv, environ) != 0)
        return false;
    // xdg-open may stay until the viewer it started ends, so it is waited for
    // on the side: the program never waits for the viewer.
    std::thread([child, onExit = std::move(onExit)] {
        int status = 0;
        pid_t ended = -1;
        do
            ended = waitpid(child, &status, 0);
        while (ended < 0 && errno == EINTR);
        const int result = ended == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (onExit)
            onExit(result);
    }).detach();
    return true;
}
