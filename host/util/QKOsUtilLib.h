#pragma once
// The host's small utility library: objects with a class id, byte buffers,
// pointer arrays, lists of texts, and a folder listing through a file filter.
// Every operation answers 0 for success and -1 for failure and throws
// nothing; a failed step leaves the object as it was.
//
// Thread use: one object belongs to one thread (the host's message thread).

#include <cstddef>
#include <cstdint>

namespace QKOsUtilLib {

class Object {
public:
    explicit Object(int classId)
        : classId_(classId)
    {
    }
    virtual ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    // Kept for the objects' common table; answers 0 everywhere.
    virtual int reserved() { return 0; }
    int classId() const { return classId_; }
    bool isInitialised() const { return initialised_ != 0; }

protected:
    int classId_;
    int second_ = 0;
    unsigned char initialised_ = 0;
};

class FileFilter : public Object {
public:
    FileFilter()
        : Object(23)
    {
    }
    virtual bool accept(const char* name) = 0;
};

// Orders two texts: negative, zero or positive.
class Comparator {
public:
    virtual ~Comparator() = default;
    virtual int reserved() { return 0; }
    virtual int compare(const char* a, int lengthA, const char* b, int lengthB) = 0;
};

class Buffer : public Object {
public:
    static constexpr int kAllocateNow = 1;
    static constexpr int kAllocateOnWrite = 2;

    Buffer()
        : Object(18)
    {
    }
    ~Buffer() override;
    int initBuffer(std::size_t capacity, int user, std::size_t growth, int mode, int marker);
    int setData(const void* bytes, std::size_t length);
    int appendData(const void* bytes, std::size_t length);
    int reserveBytes(std::size_t length);
    int fillWords(std::uint32_t value);
    int setText(const char* text);

    // The contents, always followed by a NUL; "" before the first write.
    const char* text() const { return data_ ? data_ : ""; }
    std::size_t length() const { return length_; }
    std::size_t capacity() const { return capacity_; }
    bool isFree() const { return free_; }
    void setFree(bool free)
    {
        free_ = free;
        if (free)
            length_ = 0;
    }

private:
    int ensureCapacity(std::size_t length);

    char* data_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t length_ = 0;
    std::size_t growth_ = 65536;
    int mode_ = kAllocateNow;
    int user_ = 0;
    int marker_ = 0;
    bool free_ = true;
};

class PointerArray : public Object {
public:
    PointerArray()
        : Object(71)
    {
    }
    ~PointerArray() override;
    int initArray(int slots, int step);
    // The new element's index, or -1.
    int push(void* pointer);
    void* get(int index) const;
    int set(int index, void* pointer);
    int count() const { return count_; }

private:
    void** table_ = nullptr;
    int capacity_ = 0;
    int count_ = 0;
    int step_ = 8;
};

class PairArray : public Object {
public:
    PairArray()
        : Object(20)
    {
    }
    ~PairArray() override;
    int initPairs(int n);

private:
    std::uint64_t* entries_ = nullptr;
    int capacity_ = 0;
    int words_[2] = {0, 0};
};

class StringList : public Object {
public:
    StringList()
        : Object(66)
    {
    }
    ~StringList() override;
    int reserveTexts(std::size_t textCapacity, int slots, int step);
    int addText(const char* text, std::size_t size);
    // Null when index is not a text in use.
    const char* getText(int index) const;
    int count() const { return inUse_; }
    // Splits at every delimiter outside double quotes; see the source.
    int splitText(const char* text, const char* delimiter, int flag);
    int sortTexts(Comparator* comparator);
    int clearTexts();

private:
    Buffer* slot(int index) const { return static_cast<Buffer*>(texts_.get(index)); }
    void sortRange(int low, int high, Comparator* comparator);

    PointerArray texts_;
    Buffer work_;
    bool sorted_ = false;
    Comparator* comparator_ = nullptr;
    int inUse_ = 0;
    PairArray pairs_;
};

// A thin wrapper of the system's folder enumeration.
class FileFinder {
public:
    FileFinder() = default;
    ~FileFinder();
    FileFinder(const FileFinder&) = delete;
    FileFinder& operator=(const FileFinder&) = delete;
    int findFirst(const char* folder);
    bool findNext();
    // Null when the current entry has no name.
    const char* currentName() const { return name_[0] ? name_ : nullptr; }
    int findClose();
    int getAttributes(const char* path);
    int pageSize();

private:
    void* handle_ = nullptr;  // the open enumeration (DIR*), null for none
    char name_[256] = {};
    unsigned attributes_ = 0;
    long pageSize_ = 0;
};

class Directory : public Object {
public:
    Directory()
        : Object(21)
    {
    }
    ~Directory() override;
    int openFolder(const char* path, int flag);
    // The first result list, filled with "<path>/<name>" for every entry the
    // filter accepts, in the enumeration's own order.
    StringList* listFiles(FileFilter* filter);
    int countEntries();
    int exists();
    bool folderExists() const { return exists_; }
    int entryCount() const { return entryCount_; }
    const char* parentPath() const { return parent_.text(); }
    const char* lastElement() const { return last_.text(); }
    // The process's current folder (one shared buffer).
    static const char* currentDirectory();

private:
    FileFinder* finder_ = nullptr;
    Buffer path_;
    Buffer parent_;
    Buffer last_;
    StringList elements_;
    bool exists_ = false;
    int entryCount_ = -1;
    StringList files_;
    StringList others_;
};

}  // namespace QKOsUtilLib
