#pragma once
#include <cstdint>

// Open and save dialogs with a title, an initial folder that always exists, a
// default file name and a filter list. The dialog itself is the platform's.
class CFileSelector {
public:
    struct FilterEntry {
        char description[512];
        char extensions[4][128];  // without "*."; the second to fourth may be empty
        FilterEntry* next;
    };

    explicit CFileSelector(void* moduleHandle = nullptr) noexcept;
    virtual ~CFileSelector();
    CFileSelector(const CFileSelector&) = delete;
    CFileSelector& operator=(const CFileSelector&) = delete;

    void setTitle(const char* text) noexcept;
    void setInitialFolder(const char* folder) noexcept;
    void setFileName(const char* text) noexcept;
    void setFilterIndex(int32_t index) noexcept;
    bool addFilter(const char* description, const char* extension) noexcept;
    void clearFilters() noexcept;

    // The chosen path (owned by the selector) or null when cancelled or impossible.
    const char* showOpenDialog(void* ownerWindow) noexcept;
    const char* showSaveDialog(void* ownerWindow) noexcept;

    const char* getTitle() const noexcept { return title; }
    const char* getInitialFolder() const noexcept { return initialFolder; }
    const char* getFileName() const noexcept { return defaultFileName; }
    int32_t getFilterIndex() const noexcept { return filterIndex; }
    int32_t getFilterCount() const noexcept { return filterCount; }

private:
    const char* guardedShow(bool save) noexcept;
    const char* show(bool save);

    char chosenPath[1024];
    FilterEntry* filters = nullptr;
    int32_t filterCount = 0;
    char title[512];
    void* module;
    int32_t filterIndex = 0;
    char initialFolder[1024];
    char defaultFileName[1024];
};
