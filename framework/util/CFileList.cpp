#include "framework/util/CFileList.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "framework/util/TextCopy.h"

namespace {

// The extension is the text after the last dot of the entry's own name; a dot
// in a folder name further up the path is not an extension.
const char* extensionOf(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    const char* dot = std::strrchr(path, '.');
    if (dot == nullptr || (slash != nullptr && dot < slash))
        return nullptr;
    return dot + 1;
}

bool nameBefore(const char* a, const char* b)
{
    const int c = ::strcasecmp(a, b);
    if (c != 0)
        return c < 0;
    return std::strcmp(a, b) < 0;
}

}  // namespace

CFileList::~CFileList()
{
    freeFiles();
    while (extensions != nullptr) {
        ExtensionEntry* next = extensions->next;
        delete extensions;
        extensions = next;
    }
}

bool CFileList::addExtension(const char* extension, bool folders) noexcept
{
    auto* e = new (std::nothrow) ExtensionEntry {};
    if (e == nullptr)
        return false;
    copyText(e->extension, sizeof e->extension, extension);
    e->folders = folders;
    e->next = nullptr;
    ExtensionEntry** tail = &extensions;
    while (*tail != nullptr)
        tail = &(*tail)->next;
    *tail = e;
    return true;
}

void CFileList::freeNode(FileEntry* entry, bool deleteObject) noexcept
{
    if (entry == nullptr)
        return;
    delete[] entry->path;
    entry->path = nullptr;
    if (deleteObject)
        delete entry;
}

void CFileList::freeFiles() noexcept
{
    while (firstFile != nullptr) {
        FileEntry* next = firstFile->next;
        freeNode(firstFile, true);
        firstFile = next;
    }
    lastFile = nullptr;
    count = 0;
}

bool CFileList::wanted(const char* path, bool isFolder) const noexcept
{
    if (extensions == nullptr)
        return true;
    const char* ext = extensionOf(path);
    for (const ExtensionEntry* e = extensions; e != nullptr; e = e->next) {
        if (e->folders != isFolder)
            continue;
        if (e->extension[0] == 0)
            return true;
        if (ext != nullptr && std::strcmp(e->extension, ext) == 0)
            return true;
    }
    return false;
}

bool CFileList::scanFolder(const char* folder) noexcept
{
    if (folder == nullptr)
        return false;
    freeFiles();
    // Out of memory while listing gives an empty list, never an exception
    // into the host.
    try {
        return scan(folder);
    } catch (...) {
        freeFiles();
        return false;
    }
}

bool CFileList::scan(const char* folder)
{
    std::string base(folder);
    if (!base.empty() && base.back() != '/')
        base += '/';
    DIR* dir = ::opendir(base.empty() ? "." : base.c_str());
    if (dir == nullptr)
        return false;

    struct Found {
        std::string name;
        bool isFolder;
    };
    std::vector<Found> found;
    while (const dirent* d = ::readdir(dir)) {
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0)
            continue;
        const std::string path = base + d->d_name;
        struct stat st { };
        if (::stat(path.c_str(), &st) != 0)
            continue;
        // Only regular files and folders: a fifo or device named like a preset must never be opened.
        const bool isFolder = S_ISDIR(st.st_mode);
        if (!isFolder && !S_ISREG(st.st_mode))
            continue;
        if (!wanted(path.c_str(), isFolder))
            continue;
        found.push_back({d->d_name, isFolder});
    }
    ::closedir(dir);

    std::sort(found.begin(), found.end(),
        [](const Found& a, const Found& b) { return nameBefore(a.name.c_str(), b.name.c_str()); });

    for (const Found& f : found) {
        const std::string path = base + f.name;
        auto* entry = new (std::nothrow) FileEntry {nullptr, f.isFolder, nullptr};
        char* text = new (std::nothrow) char[path.size() + 1];
        if (entry == nullptr || text == nullptr) {
            delete entry;
            delete[] text;
            break;
        }
        std::memcpy(text, path.c_str(), path.size() + 1);
        entry->path = text;
        if (lastFile == nullptr) {
            firstFile = entry;
        } else {
            lastFile->next = entry;
        }
        lastFile = entry;
        ++count;
    }
    return true;
}

void fileBaseName(const char* path, char* out, size_t outSize) noexcept
{
    if (out == nullptr || outSize == 0)
        return;
    if (path == nullptr) {
        out[0] = 0;
        return;
    }
    const char* slash = std::strrchr(path, '/');
    const char* name = slash != nullptr ? slash + 1 : path;
    const char* dot = std::strrchr(name, '.');
    size_t n = dot != nullptr ? static_cast<size_t>(dot - name) : std::strlen(name);
    if (n > outSize - 1)
        n = outSize - 1;
    std::memcpy(out, name, n);
    out[n] = 0;
}

const char* CFileList::getEntry(int32_t index, char* baseName, size_t baseNameSize, char* extension,
    size_t extensionSize, bool* isFolder) const noexcept
{
    if (index < 0 || index >= count)
        return nullptr;
    const FileEntry* e = firstFile;
    for (int32_t i = 0; i < index && e != nullptr; ++i)
        e = e->next;
    if (e == nullptr)
        return nullptr;
    if (baseName != nullptr)
        fileBaseName(e->path, baseName, baseNameSize);
    if (extension != nullptr) {
        const char* slash = std::strrchr(e->path, '/');
        const char* name = slash != nullptr ? slash + 1 : e->path;
        const char* dot = std::strrchr(name, '.');
        copyText(extension, extensionSize, dot != nullptr ? dot + 1 : "");
    }
    if (isFolder != nullptr)
        *isFolder = e->isFolder;
    return e->path;
}
