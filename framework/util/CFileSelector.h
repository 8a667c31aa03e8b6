#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class IDialogRun;
}

// Open and save dialogs with a title, an initial folder that always exists, a
// default file name and a filter list. The dialog itself is the platform's.
// A dialog runs beside the caller: start it, then poll it from the UI's ticks
// until it answers, so the host's windows keep going meanwhile.
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

    enum class DialogState {
        None,  // no dialog was started
        Running,
        Chosen,  // getChosenPath() holds the answer
        Cancelled,  // cancelled, refused or impossible
        Unavailable,  // nothing on this system can show a dialog
        TooLong,  // the answer is longer than a path can be (kPathCapacity - 1 bytes)
        LineBreak,  // the chosen name holds a line break, which no preset name may
    };
    // What the system takes as a path, its terminating zero included.
    static constexpr size_t kPathCapacity = 4096;

    // Shows the dialog and returns at once; false when none was started (no
    // filter entry). A dialog still open is taken away first.
    bool startOpenDialog(void* ownerWindow) noexcept;
    bool startSaveDialog(void* ownerWindow) noexcept;
    // Running until the user has answered, then the outcome once; None after.
    // A save answer for a file that exists asks before replacing it.
    DialogState pollDialog() noexcept;
    // Takes an open dialog away; its answer is never used.
    void cancelDialog() noexcept;
    bool isDialogOpen() const noexcept { return run_ != nullptr; }
    const char* getChosenPath() const noexcept { return chosenPath; }

    // The same dialogs waited for: the chosen path (owned by the selector) or
    // null when cancelled or impossible.
    const char* showOpenDialog(void* ownerWindow) noexcept;
    const char* showSaveDialog(void* ownerWindow) noexcept;

    const char* getTitle() const noexcept { return title; }
    const char* getInitialFolder() const noexcept { return initialFolder; }
    const char* getFileName() const noexcept { return defaultFileName; }
    int32_t getFilterIndex() const noexcept { return filterIndex; }
    int32_t getFilterCount() const noexcept { return filterCount; }

private:
    const char* wait() noexcept;
    bool guardedStart(bool save, void* ownerWindow) noexcept;
    void start(bool save, void* ownerWindow);
    DialogState answer();
    DialogState settle(DialogState state);

    char chosenPath[kPathCapacity];
    FilterEntry* filters = nullptr;
    int32_t filterCount = 0;
    char title[512];
    // The module that made the selector; dialog programs need no handle of it.
    [[maybe_unused]] void* module;
    int32_t filterIndex = 0;
    char initialFolder[1024];
    char defaultFileName[1024];

    // The dialog on the screen: the file dialog, then for a save onto an
    // existing file the question whether to replace it.
    std::unique_ptr<platform::IDialogRun> run_;
    bool saving_ = false;
    bool asking_ = false;
    uintptr_t owner_ = 0;
    std::string defaultExtension_;
    std::string answered_;  // the file the question is about
};
