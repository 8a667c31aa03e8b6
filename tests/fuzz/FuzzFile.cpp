#include "tests/fuzz/FuzzFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

const char* fuzzInputPath(const uint8_t* data, size_t size)
{
    static int fd = -1;
    static char path[64];
    if (fd < 0) {
        fd = ::memfd_create("fuzz-input", 0);
        if (fd < 0)
            std::abort();
        std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    }
    if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0)
        std::abort();
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0)
            std::abort();
        done += static_cast<size_t>(n);
    }
    return path;
}
