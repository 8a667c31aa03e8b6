#include "framework/util/CFileSelector.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

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

CFileSelector::~CFileSelector()
{
    cancelDialog();
    clearFilters();
}

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

bool CFileSelector::startOpenDialog(void* ownerWindow) noexcept { return guardedStart(false, ownerWindow); }

bool CFileSelector::startSaveDialog(void* ownerWindow) noexcept { return guardedStart(true, ownerWindow); }

const char* CFileSelector::showOpenDialog(void* ownerWindow) noexcept
{
    return startOpenDialog(ownerWindow) ? wait() : nullptr;
}

const char* CFileSelector::showSaveDialog(void* ownerWindow) noexcept
{
    return startSaveDialog(ownerWindow) ? wait() : nullptr;
}

const char* CFileSelector::wait() noexcept
{
    for (;;) {
        const DialogState state = pollDialog();
        if (state == DialogState::Chosen)
            return chosenPath;
        if (state != DialogState::Running)
            return nullptr;
        ::usleep(10000);
    }
}

void CFileSelector::cancelDialog() noexcept
{
    run_.reset();
    asking_ = false;
}

bool CFileSelector::guardedStart(bool save, void* ownerWindow) noexcept
{
    cancelDialog();
    if (filters == nullptr || filterCount == 0)
        return false;
    chosenPath[0] = 0;
    // A dialog that cannot be built (out of memory) is one never shown.
    try {
        start(save, ownerWindow);
    } catch (...) {
        run_.reset();
    }
    return run_ != nullptr;
}

void CFileSelector::start(bool save, void* ownerWindow)
{
    platform::DialogRequest request;
    request.kind = save ? platform::DialogKind::Save : platform::DialogKind::Open;
    request.title = title;
    request.initialFolder = initialFolder;
    request.fileName.assign(defaultFileName, ::strnlen(defaultFileName, 259));
    request.filterIndex = filterIndex;
    request.ownerWindow = reinterpret_cast<uintptr_t>(ownerWindow);
    defaultExtension_.clear();
    int32_t position = 0;
    for (const FilterEntry* f = filters; f != nullptr; f = f->next, ++position) {
        platform::DialogFilter filter;
        filter.description = f->description;
        for (const auto& e : f->extensions) {
            if (e[0] != 0)
                filter.extensions.emplace_back(e);
        }
        if (position == filterIndex)
            defaultExtension_ = f->extensions[0];
        request.filters.push_back(std::move(filter));
    }
    saving_ = save;
    asking_ = false;
    owner_ = request.ownerWindow;
    run_ = platform::fileDialog().start(request);
}

CFileSelector::DialogState CFileSelector::pollDialog() noexcept
{
    try {
        return settle(answer());
    } catch (...) {
        return settle(DialogState::Cancelled);
    }
}

CFileSelector::DialogState CFileSelector::settle(DialogState state)
{
    if (state == DialogState::Running || state == DialogState::None)
        return state;
    cancelDialog();
    if (state != DialogState::Chosen)
        chosenPath[0] = 0;
    return state;
}

CFileSelector::DialogState CFileSelector::answer()
{
    if (run_ == nullptr)
        return DialogState::None;
    const platform::DialogResult result = run_->poll();
    if (result.status == platform::DialogStatus::Running)
        return DialogState::Running;
    if (result.status == platform::DialogStatus::Unavailable && !asking_)
        return DialogState::Unavailable;
    if (result.status != platform::DialogStatus::Chosen)
        return DialogState::Cancelled;

    std::string path = asking_ ? answered_ : result.path;
    if (path.empty())
        return DialogState::Cancelled;
    // Refused rather than cut at the break into a name the user never chose.
    if (path.find('\n') != std::string::npos)
        return DialogState::LineBreak;
    // Before anything is asked: a path the system cannot take cannot be replaced.
    if (path.size() >= sizeof chosenPath)
        return DialogState::TooLong;
    if (saving_ && !asking_) {
        if (!hasExtension(path) && !defaultExtension_.empty() && defaultExtension_ != "*")
            path += "." + defaultExtension_;
        if (exists(path)) {
            answered_ = path;
            asking_ = true;
            run_ = platform::fileDialog().startOverwriteQuestion(title, path, owner_);
            return run_ != nullptr ? DialogState::Running : DialogState::Cancelled;
        }
    } else if (!saving_ && !isRegularFile(path)) {
        return DialogState::Cancelled;  // an open dialog only ever answers with an existing file
    }
    // The default extension may have made it too long; never cut into another file's name.
    if (path.size() >= sizeof chosenPath)
        return DialogState::TooLong;
    copyText(chosenPath, sizeof chosenPath, path.c_str());
    return DialogState::Chosen;
}
