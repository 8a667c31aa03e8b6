#include "effect/product/DataFolder.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace datafolder {
namespace {

constexpr char kConfRelative[] = "Ostravelin/Tambrell.conf";
constexpr char kKey[] = "rootFolder";
constexpr size_t kLineMax = 4096;
constexpr size_t kPathMax = PATH_MAX;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Copies src into out when it fits, cutting trailing slashes (but keeping "/").
bool storeFolder(const char* src, size_t len, char* out, size_t outSize)
{
    while (len > 1 && src[len - 1] == '/')
        --len;
    if (len == 0 || out == nullptr || len >= outSize)
        return false;
    std::memcpy(out, src, len);
    out[len] = '\0';
    return true;
}

bool tryConfIn(const char* base, const char* suffix, char* out, size_t outSize)
{
    // XDG folders are absolute; anything else is to be ignored.
    if (base == nullptr || base[0] != '/')
        return false;
    char path[kPathMax];
    const int n = std::snprintf(path, sizeof path, "%s%s/%s", base, suffix, kConfRelative);
    if (n < 0 || static_cast<size_t>(n) >= sizeof path)
        return false;
    return readRootFolderFrom(path, out, outSize);
}

} // namespace

bool readRootFolderFrom(const char* confPath, char* out, size_t outSize)
{
    if (confPath == nullptr || out == nullptr || outSize == 0)
        return false;
    FILE* f = std::fopen(confPath, "r");
    if (f == nullptr)
        return false;
    char line[kLineMax];
    bool found = false;
    bool continuation = false; // inside an over-long line
    while (!found && std::fgets(line, sizeof line, f) != nullptr) {
        const size_t len = std::strlen(line);
        const bool complete = len > 0 && line[len - 1] == '\n';
        const bool skip = continuation;
        continuation = !complete && !std::feof(f);
        // Over-long lines are dropped whole rather than read in pieces.
        if (skip || continuation)
            continue;
        char* p = line;
        while (isBlank(*p))
            ++p;
        if (*p == '#' || *p == ';' || *p == '\0')
            continue;
        char* eq = std::strchr(p, '=');
        if (eq == nullptr)
            continue;
        char* keyEnd = eq;
        while (keyEnd > p && isBlank(keyEnd[-1]))
            --keyEnd;
        if (static_cast<size_t>(keyEnd - p) != sizeof kKey - 1 || std::strncmp(p, kKey, sizeof kKey - 1) != 0)
            continue;
        char* value = eq + 1;
        while (isBlank(*value))
            ++value;
        size_t vlen = std::strlen(value);
        while (vlen > 0 && isBlank(value[vlen - 1]))
            --vlen;
        found = storeFolder(value, vlen, out, outSize);
    }
    std::fclose(f);
    return found;
}

bool findConfiguredRoot(char* out, size_t outSize)
{
    const char* home = std::getenv("XDG_CONFIG_HOME");
    if (home != nullptr && home[0] == '/') {
        if (tryConfIn(home, "", out, outSize))
            return true;
    } else if (tryConfIn(std::getenv("HOME"), "/.config", out, outSize)) {
        return true;
    }

    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    if (dirs == nullptr || dirs[0] == '\0')
        dirs = "/etc/xdg";
    char one[kPathMax];
    const char* p = dirs;
    while (*p != '\0') {
        const char* colon = std::strchr(p, ':');
        const size_t len = colon ? static_cast<size_t>(colon - p) : std::strlen(p);
        if (len > 0 && len < sizeof one) {
            std::memcpy(one, p, len);
            one[len] = '\0';
            if (tryConfIn(one, "", out, outSize))
                return true;
        }
        if (colon == nullptr)
            break;
        p = colon + 1;
    }
    return false;
}

bool libraryFolder(char* out, size_t outSize)
{
    if (out == nullptr || outSize == 0)
        return false;
    char path[kPathMax] = {};
    Dl_info info{};
    // The loader may report a path relative to the folder the process started
    // in, which need not be the current one any more; make it absolute.
    const bool found = dladdr(reinterpret_cast<void*>(&libraryFolder), &info) != 0 && info.dli_fname != nullptr
        && std::strchr(info.dli_fname, '/') != nullptr;
    if (found && info.dli_fname[0] == '/') {
        std::snprintf(path, sizeof path, "%s", info.dli_fname);
    } else if (found && realpath(info.dli_fname, path) != nullptr) {
        // resolved in place
    } else {
        const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
        if (n <= 0)
            return false;
        path[n] = '\0';
    }
    const char* slash = std::strrchr(path, '/');
    const size_t len = slash == nullptr ? std::strlen(path) : static_cast<size_t>(slash - path);
    if (len == 0 && slash != nullptr)
        return storeFolder("/", 1, out, outSize);
    return storeFolder(path, len, out, outSize);
}

void findRootFolder(int formatId, char* out, size_t outSize)
{
    if (out == nullptr || outSize == 0)
        return;
    std::memset(out, 0, outSize);
    constexpr int kNativeFormat = 3;
    if (formatId != kNativeFormat && findConfiguredRoot(out, outSize))
        return;
    if (!libraryFolder(out, outSize))
        out[0] = '\0';
}

void joinFolder(const char* root, const char* leaf, char* out, size_t outSize)
{
    if (out == nullptr || outSize == 0)
        return;
    std::snprintf(out, outSize, "%s/%s", root ? root : "", leaf ? leaf : "");
}

} // namespace datafolder
