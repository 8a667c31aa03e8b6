#include "host/util/HelpContents.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <filesystem>
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

std::string resolvedPath(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
    return error ? std::filesystem::path(path).lexically_normal().string() : resolved.string();
}

std::string installedManualPath(const std::string& programFolder)
{
    return resolvedPath(programFolder + "/" + kInstalledManualFolder + "/" + kManualFileName);
}

std::string findManual(const std::string& programFolder)
{
    for (const std::string& candidate :
        {programFolder + "/" + kManualFileName, programFolder + "/" + kInstalledManualFolder + "/" + kManualFileName})
        if (isFile(candidate))
            return resolvedPath(candidate);
    return {};
}

std::string describeOpenFailure(int status)
{
    // xdg-open's documented exit statuses.
    switch (status) {
    case 1: return "xdg-open refused its command line (status 1)";
    case 2: return "xdg-open found no file at the manual's path (status 2)";
    case 3: return "xdg-open found no program to open the manual with (status 3)";
    case 4: return "The program that xdg-open started for the manual failed (status 4)";
    case -1: return "xdg-open was ended by a signal";
    default: return "xdg-open failed with status " + std::to_string(status);
    }
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
