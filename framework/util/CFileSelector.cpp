#include "framework/util/CFileSelector.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <new>
#include <string>

#include "framework/util/TextCopy.h"
#include "platform/FileDialog.h"

namespace {

bool folderExists(const char* folder)
{
    DIR* d = ::opendir(folder);
    if (d == nullptr)
        return false;
    ::closedir(d);
    return true;
}

bool isRegularFile(const std::string& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool exists(const std::string& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0;
}

bool hasExtension(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
}

}  // namespace

CFileSelector::CFileSelector(void* moduleHandle) noexcept
    : module(moduleHandle)
{
    chosenPath[0] = 0;
    title[0] = 0;
    initialFolder[0] = 0;
    defaultFileName[0] = 0;
}

CFileSelector::~CFileSelector() { clearFilters(); }

void CFileSelector::setTitle(const char* text) noexcept
{
    if (text != nullptr)
        copyText(title, sizeof title, text);
}

void CFileSelector::setInitialFolder(const char* folder) noexcept
{
    initialFolder[0] = 0;
    if (folder == nullptr || folder[0] == 0)
        return;
    char path[sizeof initialFolder];
    if (!copyText(path, sizeof path, folder))
        return;
    size_t len = std::strlen(path);
    if (path[len - 1] != '/') {
        if (len + 1 >= sizeof path)
            return;
        path[len++] = '/';
        path[len] = 0;
    }
    // Walk up to the nearest folder that exists, so a preset folder not made yet
    // opens the dialog in its parent.
    for (;;) {
        if (folderExists(path)) {
            copyText(initialFolder, sizeof initialFolder, path);
            return;
        }
        char* last = std::strrchr(path, '/');
        if (last == nullptr)
            return;
        *last = 0;
        char* previous = std::strrchr(path, '/');
        if (previous == nullptr)
            return;
        previous[1] = 0;
    }
}

void CFileSelector::setFileName(const char* text) noexcept
{
    copyText(defaultFileName, sizeof defaultFileName, text);
    // A name is not a path: characters that would make it one, or a pattern, become blanks.
    for (char* p = defaultFileName; *p != 0; ++p) {
        if (*p == '<' || *p == '>' || *p == '*' || *p == '/')
            *p = ' ';
    }
}

void CFileSelector::setFilterIndex(int32_t index) noexcept { filterIndex = index < 0 ? 0 : index; }

bool CFileSelector::addFilter(const char* description, const char* extension) noexcept
{
    auto* f = new (std::nothrow) FilterEntry {};
    if (f == nullptr)
        return false;
    copyText(f->description, sizeof f->description, description);
    copyText(f->extensions[0], sizeof f->extensions[0], extension != nullptr && extension[0] != 0 ? extension : "*");
    f->next = nullptr;
    FilterEntry** tail = &filters;
    while (*tail != nullptr)
        tail = &(*tail)->next;
    *tail = f;
    ++filterCount;
    return true;
}

void CFileSelector::clearFilters() noexcept
{
    while (filters != nullptr) {
        FilterEntry* next = filters->next;
        delete filters;
        filters = next;
    }
    chosenPath[0] = 0;
    title[0] = 0;
    filterCount = 0;
    filterIndex = 0;
}

const char* CFileSelector::showOpenDialog(void*) noexcept { return guardedShow(false); }

const char* CFileSelector::showSaveDialog(void*) noexcept { return guardedShow(true); }

const char* CFileSelector::guardedShow(bool save) noexcept
{
    if (filters == nullptr || filterCount == 0)
        return nullptr;
    chosenPath[0] = 0;
    // A dialog that cannot be built or run (out of memory) counts as cancelled.
    try {
        return show(save);
    } catch (...) {
        chosenPath[0] = 0;
        return nullptr;
    }
}

const char* CFileSelector::show(bool save)
{

    platform::DialogRequest request;
    request.kind = save ? platform::DialogKind::Save : platform::DialogKind::Open;
    request.title = title;
    request.initialFolder = initialFolder;
    request.fileName.assign(defaultFileName, ::strnlen(defaultFileName, 259));
    request.filterIndex = filterIndex;
    std::string defaultExtension;
    int32_t position = 0;
    for (const FilterEntry* f = filters; f != nullptr; f = f->next, ++position) {
        platform::DialogFilter filter;
        filter.description = f->description;
        for (const auto& e : f->extensions) {
            if (e[0] != 0)
                filter.extensions.emplace_back(e);
        }
        if (position == filterIndex)
            defaultExtension = f->extensions[0];
        request.filters.push_back(std::move(filter));
    }

    platform::IFileDialog& dialog = platform::fileDialog();
    const platform::DialogResult result = dialog.run(request);
    if (result.status != platform::DialogStatus::Chosen || result.path.empty())
        return nullptr;

    std::string path = result.path;
    if (save) {
        if (!hasExtension(path) && !defaultExtension.empty() && defaultExtension != "*")
            path += "." + defaultExtension;
        if (exists(path) && !dialog.confirmOverwrite(title, path))
            return nullptr;
    } else if (!isRegularFile(path)) {
        return nullptr;  // an open dialog only ever answers with an existing file
    }
    // A path that does not fit is refused rather than cut into another file's name.
    if (path.size() >= sizeof chosenPath)
        return nullptr;
    copyText(chosenPath, sizeof chosenPath, path.c_str());
    return chosenPath;
}
