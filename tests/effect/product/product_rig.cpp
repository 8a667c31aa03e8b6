#include "tests/effect/product/product_rig.h"

#include "effect/product/CDriveDef.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
CDriveDef definitionObject;
CDriveDef* const theDefinition = static_cast<CDriveDef*>(installPluginDefinition(&definitionObject));
}

CDriveDef* driveDefinition() noexcept { return theDefinition; }

namespace producttest {

ScopedEnv::ScopedEnv(const char* name, const char* value)
    : name_(name)
{
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_)
        old_ = old;
    if (value != nullptr)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv()
{
    if (had_)
        setenv(name_.c_str(), old_.c_str(), 1);
    else
        unsetenv(name_.c_str());
}

DataRoot::DataRoot()
    : home("XDG_CONFIG_HOME", config.path().c_str())
    , dirs("XDG_CONFIG_DIRS", folder.path().c_str())
{
    // The engine reads counts through the installed definition.
    (void)driveDefinition();
    config.makeFolder("Ostravelin");
    config.write("Ostravelin/Tambrell.conf", "# data\nrootFolder = " + folder.path() + "\n");
    folder.makeFolder("Presets");
}

std::string DataRoot::addPreset(const std::string& fileName, const std::vector<uint8_t>& bytes) const
{
    return folder.write("Presets/" + fileName, bytes);
}

void defaultValues(float (&values)[programchunk::kValueCount])
{
    for (int i = 0; i < programchunk::kValueCount; ++i)
        values[i] = (i >= 39 && i <= 43) ? 1.0f : 0.5f;
}

std::vector<uint8_t> makeChunk(const float (&values)[programchunk::kValueCount], const char* name)
{
    std::vector<uint8_t> bytes(programchunk::kSize);
    programchunk::write(values, name, bytes.data());
    return bytes;
}

std::vector<uint8_t> chunkOf(CDrive& engine)
{
    std::vector<uint8_t> bytes(programchunk::kSize, 0xEE);
    EXPECT_EQ(engine.getProgramChunk(bytes.data()), programchunk::kSize);
    return bytes;
}

void fillPresetList(CDrive& engine, int count)
{
    CFileList& list = engine.getPresetList();
    for (CFileList::FileEntry* e = list.firstFile; e != nullptr;) {
        CFileList::FileEntry* next = e->next;
        CFileList::freeNode(e, true);
        e = next;
    }
    list.firstFile = list.lastFile = nullptr;
    list.count = 0;
    for (int i = 0; i < count; ++i) {
        char path[32];
        std::snprintf(path, sizeof path, "/p/%05d.tbprg", i);
        auto* entry = new CFileList::FileEntry {new char[std::strlen(path) + 1], false, nullptr};
        std::memcpy(entry->path, path, std::strlen(path) + 1);
        (list.lastFile != nullptr ? list.lastFile->next : list.firstFile) = entry;
        list.lastFile = entry;
        ++list.count;
    }
}

}  // namespace producttest
