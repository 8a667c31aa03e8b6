#pragma once
#include <cstddef>
#include <cstdint>

// The entries of one folder whose extension is in an extension list, sorted by
// name (case-insensitive, then bytewise) so that "first" and prev/next stepping
// are the same on every file system.
class CFileList {
public:
    struct ExtensionEntry {
        char extension[32];  // without the dot; empty matches everything of its kind
        bool folders;  // true: selects folders, false: selects files
        ExtensionEntry* next;
    };
    struct FileEntry {
        char* path;  // folder + name, heap copy of exactly the needed length
        bool isFolder;
        FileEntry* next;
    };

    CFileList() noexcept = default;
    virtual ~CFileList();
    CFileList(const CFileList&) = delete;
    CFileList& operator=(const CFileList&) = delete;

    // Appends an extension entry (the owner's way of saying what to list).
    bool addExtension(const char* extension, bool folders) noexcept;

    // Lists the folder afresh; false (and an empty list) when it cannot be read.
    bool scanFolder(const char* folder) noexcept;

    // The entry's path (owned by the list) or null when index is out of range.
    // Base name (file name cut at its last dot) and extension are written, bounded,
    // only where a buffer is given.
    const char* getEntry(int32_t index, char* baseName = nullptr, size_t baseNameSize = 0, char* extension = nullptr,
        size_t extensionSize = 0, bool* isFolder = nullptr) const noexcept;

    int32_t getCount() const noexcept { return count; }

    // Frees an entry's path, and the entry itself when asked.
    static void freeNode(FileEntry* entry, bool deleteObject) noexcept;

    ExtensionEntry* extensions = nullptr;
    FileEntry* firstFile = nullptr;
    FileEntry* lastFile = nullptr;
    int32_t count = 0;

private:
    void freeFiles() noexcept;
    bool scan(const char* folder);
    bool wanted(const char* path, bool isFolder) const noexcept;
};

// Base name of a path: the text after the last '/', cut at its last dot.
void fileBaseName(const char* path, char* out, size_t outSize) noexcept;
