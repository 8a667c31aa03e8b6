#include "framework/util/CFileStreamer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "framework/util/TextCopy.h"

namespace {

// Opens only regular files: a fifo or device named like a picture or preset would
// block the caller or never end. Modes starting with 'r' read, with 'w' write
// (truncating); nothing else is in use.
std::FILE* openRegular(const char* path, const char* mode)
{
    const bool reading = mode[0] == 'r';
    if (!reading && mode[0] != 'w')
        return nullptr;
    const int fd = reading ? ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC)
                           : ::open(path, O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    struct stat st { };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (!reading && ::ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* f = ::fdopen(fd, reading ? "rb" : "wb");
    if (f == nullptr)
        ::close(fd);
    return f;
}

}  // namespace

CFileStreamer::CFileStreamer() noexcept
{
    copyText(errorText, sizeof errorText, "unknown");
    fileName[0] = 0;
}

CFileStreamer::~CFileStreamer() { close(); }

void CFileStreamer::setError(const char* text) noexcept { copyText(errorText, sizeof errorText, text); }

bool CFileStreamer::open(const char* path, const char* mode) noexcept
{
    close();
    if (path == nullptr || mode == nullptr) {
        setError("Failed to open the file");
        return false;
    }
    std::FILE* f = openRegular(path, mode);
    if (f == nullptr) {
        setError("Failed to open the file");
        return false;
    }
    int32_t length = 0;
    if (mode[0] == 'r') {
        // Sizes are 32-bit; a file we cannot measure or that does not fit is not opened.
        long end = -1;
        if (std::fseek(f, 0, SEEK_END) == 0)
            end = std::ftell(f);
        if (end < 0 || end > INT32_MAX || std::fseek(f, 0, SEEK_SET) != 0) {
            std::fclose(f);
            setError("Failed to open the file");
            return false;
        }
        length = static_cast<int32_t>(end);
    }
    file = f;
    size = length;
    position = 0;
    // The name is only remembered: a path too long for it still opens (a deep
    // presets folder would otherwise list presets that never load), but its
    // name stays empty rather than cut into the name of another file.
    if (!copyText(fileName, sizeof fileName, path))
        fileName[0] = 0;
    return true;
}

void CFileStreamer::close() noexcept
{
    if (file != nullptr) {
        std::fclose(file);
        file = nullptr;
    }
    fileName[0] = 0;
}

void CFileStreamer::advance(int64_t count) noexcept
{
    const int64_t next = static_cast<int64_t>(position) + count;
    position = static_cast<int32_t>(next > INT32_MAX ? INT32_MAX : next);
}

bool CFileStreamer::transferIn(void* buffer, int32_t count) noexcept
{
    if (buffer == nullptr || count < 0) {
        setError("Unknown File Error");
        return false;
    }
    if (std::fread(buffer, 1, static_cast<size_t>(count), file) != 0) {
        advance(count);
        return true;
    }
    if (static_cast<int64_t>(position) + count == size) {
        position = size;
        return true;
    }
    setError("Unknown File Error");
    return false;
}

bool CFileStreamer::read(void* buffer, int32_t count) noexcept
{
    if (file == nullptr) {
        setError("No File Open");
        return false;
    }
    return transferIn(buffer, count);
}

bool CFileStreamer::readExact(void* buffer, int32_t count) noexcept
{
    if (file == nullptr) {
        setError("No File Open");
        return false;
    }
    if (buffer == nullptr || count < 0) {
        setError("Unknown File Error");
        return false;
    }
    const size_t got = std::fread(buffer, 1, static_cast<size_t>(count), file);
    advance(static_cast<int64_t>(got));
    if (got != static_cast<size_t>(count)) {
        setError("Unknown File Error");
        return false;
    }
    return true;
}

bool CFileStreamer::write(const void* buffer, int32_t count) noexcept
{
    if (file == nullptr) {
        setError("No File Open");
        return false;
    }
    if (buffer == nullptr || count < 0 || std::fwrite(buffer, 1, static_cast<size_t>(count), file) == 0) {
        setError("Unknown File Error");
        return false;
    }
    advance(count);
    return true;
}

uint8_t CFileStreamer::readByte() noexcept
{
    uint8_t b[1] = {0};
    if (file != nullptr)
        transferIn(b, 1);
    return b[0];
}

uint16_t CFileStreamer::readInt16() noexcept
{
    uint8_t b[2] = {0, 0};
    if (file != nullptr)
        transferIn(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t CFileStreamer::readInt32() noexcept
{
    uint8_t b[4] = {0, 0, 0, 0};
    if (file != nullptr)
        transferIn(b, 4);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16)
        | (static_cast<uint32_t>(b[3]) << 24);
}

bool CFileStreamer::seek(int32_t p) noexcept
{
    if (file == nullptr) {
        setError("No File Open");
        return false;
    }
    if (p < 0 || p >= size) {
        setError("Wrong Parameter");
        return false;
    }
    if (std::fseek(file, p, SEEK_SET) != 0) {
        setError("Unknown Error");
        return false;
    }
    position = p;
    return true;
}

bool CFileStreamer::skip(int32_t count) noexcept
{
    const int64_t target = static_cast<int64_t>(position) + count;
    if (target < INT32_MIN || target > INT32_MAX) {
        if (file == nullptr) {
            setError("No File Open");
        } else {
            setError("Wrong Parameter");
        }
        return false;
    }
    return seek(static_cast<int32_t>(target));
}
