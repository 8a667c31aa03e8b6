#include "effect/product/DataFolder.h"

#include "framework/util/CFileStreamer.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace datafolder {
namespace {

    constexpr char kConfRelative[] = "Ostravelin/Tambrell.conf";
    constexpr char kKey[] = "rootFolder";
    // A configuration file is a handful of lines; anything larger is not one.
    constexpr int32_t kConfMax = 64 * 1024;
    constexpr size_t kPathMax = PATH_MAX;

    bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

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

    // The value of a "rootFolder = value" line (blanks around both allowed),
    // or null for comments, blank lines and other keys.
    const char* valueOfRootKey(char* line)
    {
        char* p = line;
        while (isBlank(*p))
            ++p;
        if (*p == '#' || *p == ';' || *p == '\0')
            return nullptr;
        char* eq = std::strchr(p, '=');
        if (eq == nullptr)
            return nullptr;
        char* keyEnd = eq;
        while (keyEnd > p && isBlank(keyEnd[-1]))
            --keyEnd;
        if (static_cast<size_t>(keyEnd - p) != sizeof kKey - 1 || std::strncmp(p, kKey, sizeof kKey - 1) != 0)
            return nullptr;
        const char* value = eq + 1;
        while (isBlank(*value))
            ++value;
        return value;
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

}  // namespace

bool readRootFolderFrom(const char* confPath, char* out, size_t outSize)
{
    if (confPath == nullptr || out == nullptr || outSize == 0)
        return false;
    // Only a regular file of sane size is read: a FIFO would block the host
    // while it creates the plug-in, and a device such as /dev/zero never ends.
    CFileStreamer file;
    if (!file.open(confPath, "rb"))
        return false;
    const int32_t size = file.getSize();
    if (size <= 0 || size > kConfMax)
        return false;
    std::unique_ptr<char[]> text(new (std::nothrow) char[static_cast<size_t>(size) + 1]());
    if (!text || !file.read(text.get(), size))
        return false;
    file.close();

    char* line = text.get();
    const char* const end = text.get() + size;
    while (line < end) {
        char* next = static_cast<char*>(std::memchr(line, '\n', static_cast<size_t>(end - line)));
        if (next != nullptr)
            *next = '\0';
        if (const char* value = valueOfRootKey(line)) {
            size_t vlen = std::strlen(value);
            while (vlen > 0 && isBlank(value[vlen - 1]))
                --vlen;
            if (storeFolder(value, vlen, out, outSize))
                return true;
        }
        if (next == nullptr)
            break;
        line = next + 1;
    }
    return false;
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
    Dl_info info {};
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

}  // namespace datafolder
