#pragma once
#include <cstdint>
#include <cstdio>

// One open stdio stream with its name, size and position. Failures are reported
// by the return value and leave a text behind; nothing throws.
class CFileStreamer {
public:
    CFileStreamer() noexcept;
    virtual ~CFileStreamer();
    CFileStreamer(const CFileStreamer&) = delete;
    CFileStreamer& operator=(const CFileStreamer&) = delete;

    // Modes in use are "rb" (measures the size) and "wb" (size 0).
    bool open(const char* path, const char* mode) noexcept;
    void close() noexcept;

    bool read(void* buffer, int32_t count) noexcept;
    // Unlike read, true only when every byte arrived: for readers that must not
    // take a short or failed transfer for data.
    bool readExact(void* buffer, int32_t count) noexcept;
    bool write(const void* buffer, int32_t count) noexcept;
    uint8_t readByte() noexcept;
    uint16_t readInt16() noexcept;
    uint32_t readInt32() noexcept;
    bool seek(int32_t position) noexcept;
    bool skip(int32_t count) noexcept;

    bool isOpen() const noexcept { return file != nullptr; }
    int32_t getSize() const noexcept { return size; }
    int32_t getPosition() const noexcept { return position; }
    // The path of the open file; empty when it is longer than 511 characters.
    const char* getFileName() const noexcept { return fileName; }
    const char* getErrorText() const noexcept { return errorText; }

private:
    void setError(const char* text) noexcept;
    // Shared rule of every read: a short read still counts, an empty one only at the end.
    bool transferIn(void* buffer, int32_t count) noexcept;
    void advance(int64_t count) noexcept;

    char errorText[1024];
    char fileName[512];
    std::FILE* file = nullptr;
    int32_t size = 0;
    int32_t position = 0;
};
