#include "effect/product/PresetFiles.h"

#include "effect/product/CDrive.h"
#include "effect/product/ProgramChunk.h"
#include "framework/engine/CProgram.h"
#include "framework/util/CFileStreamer.h"
#include "framework/util/TextCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace presetfiles {

namespace {

    // Base names are taken whole here: a name that does not fit a program's
    // name must not turn into a shorter, different one.
    constexpr size_t kLongName = 1024;

    // A host may restore a chunk on another thread meanwhile, which rewrites
    // the name: it is copied out in the engine's control turn, never read in
    // place.
    void copyProgramName(CDrive& engine, char (&name)[kProgramNameCapacity])
    {
        name[0] = '\0';
        engine.getProgramName(engine.getCurrentProgramIndex(), name);
    }

    bool writeAll(int fd, const uint8_t* data, size_t size)
    {
        while (size > 0) {
            const ssize_t n = ::write(fd, data, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    // A short name of its own in the target's folder: the target's name
    // plus a suffix would pass the 255-byte limit of a file name for long
    // preset names. It is made relative to the open folder, since the folder
    // and that name together may pass the limit of a whole path where the
    // target itself does not. Created with the given mode, which the user's
    // umask trims as for any new file.
    int createTemporary(int folder, mode_t mode, std::string& temp)
    {
        static std::atomic<uint32_t> serial {0};
        for (int attempt = 0; attempt < 64; ++attempt) {
            timespec now {};
            ::clock_gettime(CLOCK_REALTIME, &now);
            const uint32_t salt = static_cast<uint32_t>(now.tv_nsec) ^ (static_cast<uint32_t>(::getpid()) << 12)
                ^ (serial.fetch_add(1, std::memory_order_relaxed) * 2654435761u);
            char name[32];
            std::snprintf(name, sizeof name, ".save-%08x.tmp", salt);
            temp = name;
            const int fd = ::openat(folder, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (fd >= 0 || errno != EEXIST)
                return fd;
        }
        return -1;
    }

}  // namespace

LoadResult load(CDrive& engine, const char* path, const char* baseName)
{
    if (path == nullptr)
        return LoadResult::NotRead;
    CFileStreamer file;
    if (!file.open(path, "rb") || file.getSize() <= 0)
        return LoadResult::NotRead;
    // The engine takes at most one chunk; what lies beyond it is never read.
    uint8_t chunk[programchunk::kSize] = {};
    const int32_t size = file.getSize() < programchunk::kSize ? file.getSize() : programchunk::kSize;
    const bool read = file.readExact(chunk, size);
    file.close();
    if (!read)
        return LoadResult::NotRead;
    if (engine.setProgramChunk(chunk, size) == 0)
        return LoadResult::Refused;
    engine.setProgramName(0, baseName != nullptr ? baseName : "");
    return LoadResult::Accepted;
}

SaveResult save(CDrive& engine, const char* path)
{
    if (path == nullptr || path[0] == 0)
        return SaveResult::Failed;
    uint8_t chunk[programchunk::kSize];
    if (engine.getProgramChunk(chunk) != programchunk::kSize)
        return SaveResult::Failed;

    // The rename below replaces whatever has the name: a link is followed to
    // the file it names, and anything but a regular file is left alone.
    std::string target = path;
    struct stat st { };
    bool replacing = false;
    mode_t mode = 0666;
    if (::lstat(path, &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            char resolved[PATH_MAX];
            if (::realpath(path, resolved) == nullptr || ::stat(resolved, &st) != 0)
                return SaveResult::Failed;
            target = resolved;
        }
        if (!S_ISREG(st.st_mode))
            return SaveResult::Failed;
        // Writing into the file would be refused, and so is replacing it; a
        // replaced preset keeps the mode its owner gave it.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return SaveResult::Failed;
        replacing = true;
        mode = st.st_mode & 0777;
    }

    // The temporary file lies in the target's folder, so the rename that puts
    // it in place never crosses file systems.
    const size_t slash = target.rfind('/');
    const std::string folderPath = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
    const std::string leaf = slash == std::string::npos ? target : target.substr(slash + 1);
    const int folder = ::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return SaveResult::Failed;
    std::string temp;
    const int fd = createTemporary(folder, replacing ? 0600 : 0666, temp);
    if (fd < 0) {
        ::close(folder);
        return SaveResult::Failed;
    }
    if (replacing)
        ::fchmod(fd, mode);
    const bool written = writeAll(fd, chunk, sizeof chunk) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    const bool placed = written && closed && ::renameat(folder, temp.c_str(), folder, leaf.c_str()) == 0;
    if (!placed)
        ::unlinkat(folder, temp.c_str(), 0);
    ::close(folder);
    if (!placed)
        return SaveResult::Failed;

    char baseName[kProgramNameCapacity];
    fileBaseName(path, baseName, sizeof baseName);
    engine.setProgramName(0, baseName);
    engine.getPresetList().scanFolder(engine.getPresetsFolder());
    return SaveResult::Saved;
}

StepResult step(CDrive& engine, int direction)
{
    const CFileList& list = engine.getPresetList();
    char current[kProgramNameCapacity];
    copyProgramName(engine, current);
    char baseName[kLongName];
    // One walk along the list: counting each entry from the head would make
    // a long list quadratic.
    const CFileList::FileEntry* previous = nullptr;
    const CFileList::FileEntry* match = nullptr;
    for (const CFileList::FileEntry* e = list.firstFile; e != nullptr; previous = e, e = e->next) {
        if (e->path == nullptr || e->path[0] == 0)
            break;
        fileBaseName(e->path, baseName, sizeof baseName);
        if (std::strcmp(baseName, current) == 0) {
            match = e;
            break;
        }
    }
    if (match == nullptr)
        return StepResult::NoMatch;
    const CFileList::FileEntry* neighbour = direction < 0 ? previous : match->next;
    if (neighbour == nullptr || neighbour->path == nullptr)
        return StepResult::AtEnd;
    const char* target = neighbour->path;
    fileBaseName(target, baseName, sizeof baseName);
    if (std::strlen(baseName) >= static_cast<size_t>(kProgramNameCapacity))
        return StepResult::NameTooLong;
    switch (load(engine, target, baseName)) {
    case LoadResult::NotRead: return StepResult::NotRead;
    case LoadResult::Refused: return StepResult::Refused;
    case LoadResult::Accepted: break;
    }
    return StepResult::Accepted;
}

void buildMenu(CDrive& engine, const std::function<void(const char* text, int32_t kind, bool highlighted)>& add)
{
    char name[kProgramNameCapacity];
    copyProgramName(engine, name);
    add(name[0] != 0 ? name : "<none>", kCommand, false);
    add("Options", kTitle, false);
    add("Save Program", kCommand, false);
    add("Load Program", kCommand, false);
    add("Reset Program", kCommand, false);
    add("Program List", kTitle, false);
    const CFileList& list = engine.getPresetList();
    char baseName[kLongName];
    int32_t k = 0;
    for (const CFileList::FileEntry* e = list.firstFile; e != nullptr && e->path != nullptr; e = e->next, ++k) {
        fileBaseName(e->path, baseName, sizeof baseName);
        add(baseName[0] != 0 ? baseName : "<none>", kCommand, std::strcmp(baseName, name) == 0);
    }
    if (k == 0)
        add("<none>", kCommand, false);
}

}  // namespace presetfiles
