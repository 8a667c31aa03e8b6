#include "host/util/QKOsUtilLib.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace QKOsUtilLib {

namespace {

    std::size_t roundUp8(std::size_t n) { return (n + 7) & ~static_cast<std::size_t>(7); }

    // Texts of the result lists and the current folder are at most this long.
    constexpr std::size_t kPathBytes = 32768;

}  // namespace

// ---- Buffer ---------------------------------------------------------------

Buffer::~Buffer() { std::free(data_); }

int Buffer::initBuffer(std::size_t capacity, int user, std::size_t growth, int mode, int marker)
{
    if (capacity == 0)
        return -1;
    const std::size_t rounded = roundUp8(capacity);
    char* data = nullptr;
    if (mode == kAllocateNow) {
        data = static_cast<char*>(std::calloc(rounded + 1, 1));
        if (!data)
            return -1;
    }
    std::free(data_);
    data_ = data;
    capacity_ = rounded;
    length_ = 0;
    growth_ = growth > rounded ? growth : rounded;
    mode_ = mode;
    user_ = user;
    marker_ = marker;
    initialised_ = 1;
    return 0;
}

// One byte more than the capacity always holds a NUL after the contents.
int Buffer::ensureCapacity(std::size_t length)
{
    if (data_ && length <= capacity_)
        return 0;
    const std::size_t wanted = roundUp8(length > capacity_ ? length : capacity_);
    auto* data = static_cast<char*>(std::realloc(data_, wanted + 1));
    if (!data)
        return -1;
    if (!data_)
        data[0] = 0;
    data_ = data;
    capacity_ = wanted;
    return 0;
}

int Buffer::setData(const void* bytes, std::size_t length)
{
    if (length == 0 || !bytes || ensureCapacity(length) != 0)
        return -1;
    std::memmove(data_, bytes, length);
    length_ = length;
    data_[length_] = 0;
    return 0;
}

int Buffer::appendData(const void* bytes, std::size_t length)
{
    if (length == 0 || !bytes || length > SIZE_MAX / 2 || ensureCapacity(length_ + length) != 0)
        return -1;
    std::memmove(data_ + length_, bytes, length);
    length_ += length;
    data_[length_] = 0;
    return 0;
}

int Buffer::reserveBytes(std::size_t length)
{
    if (length == 0)
        return -1;
    const std::size_t wanted = roundUp8(length);
    auto* data = static_cast<char*>(std::realloc(data_, wanted + 1));
    if (!data)
        return -1;
    data_ = data;
    capacity_ = wanted;
    if (length_ > capacity_)
        length_ = capacity_;
    data_[length_] = 0;
    return 0;
}

int Buffer::fillWords(std::uint32_t value)
{
    if (!data_)
        return -1;
    for (std::size_t at = 0; at + 4 <= capacity_; at += 4)
        std::memcpy(data_ + at, &value, 4);
    return 0;
}

int Buffer::setText(const char* text)
{
    if (!text)
        return -1;
    const std::size_t length = std::strlen(text);
    const std::size_t capacity = roundUp8(length + 1 > 32 ? length + 1 : 32);
    auto* data = static_cast<char*>(std::malloc(capacity + 1));
    if (!data)
        return -1;
    std::free(data_);
    data_ = data;
    std::memcpy(data_, text, length + 1);
    capacity_ = capacity;
    length_ = length;
    mode_ = kAllocateNow;
    growth_ = 2 * capacity;
    initialised_ = 1;
    return 0;
}

// ---- PointerArray, PairArray ------------------------------------------------

PointerArray::~PointerArray() { std::free(table_); }

int PointerArray::initArray(int slots, int step)
{
    if (slots <= 0 || step <= 0)
        return -1;
    auto* table = static_cast<void**>(std::calloc(static_cast<std::size_t>(slots), sizeof(void*)));
    if (!table)
        return -1;
    std::free(table_);
    table_ = table;
    capacity_ = slots;
    count_ = 0;
    step_ = step;
    initialised_ = 1;
    return 0;
}

int PointerArray::push(void* pointer)
{
    if (count_ == capacity_) {
        if (capacity_ > INT_MAX - step_)
            return -1;
        const int grown = capacity_ + step_;
        auto* table = static_cast<void**>(std::realloc(table_, static_cast<std::size_t>(grown) * sizeof(void*)));
        if (!table)
            return -1;
        for (int i = capacity_; i < grown; ++i)
            table[i] = nullptr;
        table_ = table;
        capacity_ = grown;
    }
    table_[count_] = pointer;
    return count_++;
}

void* PointerArray::get(int index) const { return index >= 0 && index < count_ ? table_[index] : nullptr; }

int PointerArray::set(int index, void* pointer)
{
    if (index < 0 || index >= count_)
        return -1;
    table_[index] = pointer;
    return 0;
}

PairArray::~PairArray() { std::free(entries_); }

int PairArray::initPairs(int n)
{
    if (n < 0)
        return -1;
    std::uint64_t* entries = nullptr;
    if (n > 0) {
        entries = static_cast<std::uint64_t*>(std::calloc(static_cast<std::size_t>(n), sizeof(std::uint64_t)));
        if (!entries)
            return -1;
    }
    std::free(entries_);
    entries_ = entries;
    capacity_ = n;
    words_[0] = words_[1] = 0;
    initialised_ = 1;
    return 0;
}

// ---- StringList -------------------------------------------------------------

StringList::~StringList()
{
    for (int i = 0; i < texts_.count(); ++i)
        delete slot(i);
}

int StringList::reserveTexts(std::size_t textCapacity, int slots, int step)
{
    if (textCapacity == 0 || slots <= 0 || step <= 0 || slots > INT_MAX - step)
        return -1;
    if (texts_.initArray(slots, step) != 0 || pairs_.initPairs(slots + step) != 0
        || work_.initBuffer(4096, 0, 64000000, Buffer::kAllocateOnWrite, 0) != 0)
        return -1;
    for (int i = 0; i < slots; ++i) {
        auto* text = new (std::nothrow) Buffer;
        if (!text || text->initBuffer(textCapacity, 0, 65536, Buffer::kAllocateOnWrite, 0) != 0
            || texts_.push(text) < 0) {
            delete text;
            return -1;
        }
    }
    inUse_ = 0;
    sorted_ = false;
    comparator_ = nullptr;
    initialised_ = 1;
    return 0;
}

int StringList::addText(const char* text, std::size_t size)
{
    if (!text || size == 0)
        return -1;
    Buffer* target = slot(inUse_);
    if (!target) {
        target = new (std::nothrow) Buffer;
        if (!target || target->initBuffer(size, 0, 65536, Buffer::kAllocateOnWrite, 0) != 0
            || texts_.push(target) < 0) {
            delete target;
            return -1;
        }
    }
    if (target->setData(text, size) != 0)
        return -1;
    target->setFree(false);
    ++inUse_;
    if (sorted_ && comparator_)
        sortRange(0, inUse_ - 1, comparator_);
    return 0;
}

const char* StringList::getText(int index) const
{
    if (index < 0 || index >= inUse_)
        return nullptr;
    const Buffer* text = slot(index);
    return text && !text->isFree() ? text->text() : nullptr;
}

int StringList::splitText(const char* text, const char* delimiter, int /*flag*/)
{
    if (!text || !delimiter || !*delimiter)
        return -1;
    const bool wasSorted = sorted_;
    sorted_ = false;
    const std::size_t delimiterLength = std::strlen(delimiter);
    int result = 0;
    // One piece at a time into the work buffer: quoted parts as they stand,
    // without their quotes; a delimiter outside quotes ends the piece.
    auto flush = [&](const char* piece, std::size_t length) {
        std::size_t begin = 0;
        while (begin < length && std::isspace(static_cast<unsigned char>(piece[begin])))
            ++begin;
        while (length > begin
            && (std::isspace(static_cast<unsigned char>(piece[length - 1]))
                || std::iscntrl(static_cast<unsigned char>(piece[length - 1]))))
            --length;
        if (length > begin && addText(piece + begin, length - begin) != 0)
            result = -1;
    };
    Buffer piece;
    bool quoted = false;
    for (const char* p = text;; ++p) {
        if (*p == 0 || (!quoted && std::strncmp(p, delimiter, delimiterLength) == 0)) {
            flush(piece.text(), piece.length());
            piece.setFree(true);
            if (*p == 0)
                break;
            p += delimiterLength - 1;
        } else if (*p == '"') {
            quoted = !quoted;
        } else if (piece.appendData(p, 1) != 0) {
            result = -1;
        }
    }
    sorted_ = wasSorted;
    if (sorted_ && comparator_)
        sortRange(0, inUse_ - 1, comparator_);
    return result;
}

void StringList::sortRange(int low, int high, Comparator* comparator)
{
    if (low >= high)
        return;
    const Buffer* pivotText = slot((low + high) / 2);
    // The pivot's text is copied: the swaps below move its slot.
    Buffer pivot;
    if (pivot.setData(pivotText->text(), pivotText->length() + 1) != 0)
        return;
    const int pivotLength = static_cast<int>(pivotText->length());
    int i = low;
    int j = high;
    while (i <= j) {
        while (comparator->compare(slot(i)->text(), static_cast<int>(slot(i)->length()), pivot.text(), pivotLength) < 0)
            ++i;
        while (comparator->compare(slot(j)->text(), static_cast<int>(slot(j)->length()), pivot.text(), pivotLength) > 0)
            --j;
        if (i <= j) {
            void* a = texts_.get(i);
            texts_.set(i, texts_.get(j));
            texts_.set(j, a);
            ++i;
            --j;
        }
    }
    sortRange(low, j, comparator);
    sortRange(i, high, comparator);
}

int StringList::sortTexts(Comparator* comparator)
{
    Comparator* use = comparator ? comparator : comparator_;
    if (!use || inUse_ == 0)
        return -1;
    sortRange(0, inUse_ - 1, use);
    if (!comparator_)
        comparator_ = use;
    sorted_ = true;
    return 0;
}

int StringList::clearTexts()
{
    for (int i = 0; i < inUse_; ++i)
        if (Buffer* text = slot(i))
            text->setFree(true);
    inUse_ = 0;
    return 0;
}

// ---- FileFinder ---------------------------------------------------------------

FileFinder::~FileFinder() { findClose(); }

int FileFinder::findFirst(const char* folder)
{
    findClose();
    DIR* dir = folder ? opendir(folder) : nullptr;
    if (!dir)
        return -1;
    handle_ = dir;
    if (!findNext()) {
        findClose();
        return -1;
    }
    return 0;
}

bool FileFinder::findNext()
{
    name_[0] = 0;
    if (!handle_)
        return false;
    const dirent* entry = readdir(static_cast<DIR*>(handle_));
    if (!entry)
        return false;
    std::snprintf(name_, sizeof name_, "%s", entry->d_name);
    return true;
}

int FileFinder::findClose()
{
    if (!handle_)
        return -1;
    closedir(static_cast<DIR*>(handle_));
    handle_ = nullptr;
    return 0;
}

int FileFinder::getAttributes(const char* path)
{
    struct stat info { };
    if (!path || stat(path, &info) != 0)
        return -1;
    attributes_ = static_cast<unsigned>(info.st_mode);
    return 0;
}

int FileFinder::pageSize()
{
    pageSize_ = sysconf(_SC_PAGESIZE);
    return pageSize_ > 0 ? 0 : -1;
}

// ---- Directory ------------------------------------------------------------------

Directory::~Directory() { delete finder_; }

const char* Directory::currentDirectory()
{
    static char folder[kPathBytes];
    if (!getcwd(folder, sizeof folder))
        folder[0] = 0;
    return folder;
}

int Directory::exists()
{
    exists_ = finder_ && finder_->getAttributes(path_.text()) == 0;
    return exists_ ? 0 : -1;
}

int Directory::countEntries()
{
    entryCount_ = -1;
    if (!finder_ || finder_->findFirst(path_.text()) != 0)
        return -1;
    int count = 0;
    do
        ++count;
    while (finder_->findNext());
    finder_->findClose();
    entryCount_ = count;
    return 0;
}

int Directory::openFolder(const char* path, int /*flag*/)
{
    if (!path || !*path)
        return -1;
    if (!finder_) {
        finder_ = new (std::nothrow) FileFinder;
        if (!finder_)
            return -1;
    }
    const std::size_t length = std::strlen(path);
    if (path_.setText(path) != 0 || parent_.initBuffer(length + 1, 0, 65536, Buffer::kAllocateNow, 0) != 0
        || last_.initBuffer(length + 1, 0, 65536, Buffer::kAllocateNow, 0) != 0
        || elements_.reserveTexts(256, 5, 3) != 0)
        return -1;
    parent_.fillWords(0);
    last_.fillWords(0);
    elements_.clearTexts();
    if (elements_.splitText(path, "/", 0) != 0)
        return -1;
    // The parent: from the root or the current folder, then every element but the last.
    Buffer parent;
    if (parent.setText(path[0] == '/' ? "/" : currentDirectory()) != 0)
        return -1;
    if (path[0] != '/' && parent.appendData("/", 1) != 0)
        return -1;
    for (int i = 0; i + 1 < elements_.count(); ++i) {
        const char* element = elements_.getText(i);
        if (parent.appendData(element, std::strlen(element)) != 0 || parent.appendData("/", 1) != 0)
            return -1;
    }
    parent_.setData(parent.text(), parent.length());
    if (elements_.count() > 0) {
        const char* last = elements_.getText(elements_.count() - 1);
        last_.setData(last, std::strlen(last));
    }
    exists();
    countEntries();
    if (files_.reserveTexts(kPathBytes, 5, 3) != 0 || others_.reserveTexts(kPathBytes, 5, 3) != 0)
        return -1;
    finder_->pageSize();
    initialised_ = 1;
    return 0;
}

StringList* Directory::listFiles(FileFilter* filter)
{
    files_.clearTexts();
    if (entryCount_ == -1 || !finder_ || !filter)
        return &files_;
    if (finder_->findFirst(path_.text()) != 0)
        return &files_;
    char text[kPathBytes];
    do {
        const char* name = finder_->currentName();
        if (name && filter->accept(name)) {
            const int length = std::snprintf(text, sizeof text, "%s/%s", path_.text(), name);
            if (length > 0)
                files_.addText(text, std::strlen(text));
        }
    } while (finder_->findNext());
    finder_->findClose();
    return &files_;
}

}  // namespace QKOsUtilLib
