#include "tests/support/TempFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace tbtest {

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tbtest-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        std::abort();
    root = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
}

std::string TempFolder::write(const std::string& name, const std::vector<uint8_t>& bytes) const
{
    const std::string p = file(name);
    std::FILE* f = std::fopen(p.c_str(), "wb");
    if (f == nullptr)
        std::abort();
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return p;
}

std::string TempFolder::write(const std::string& name, const std::string& text) const
{
    return write(name, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string TempFolder::makeFolder(const std::string& name) const
{
    const std::string p = file(name);
    std::filesystem::create_directories(p);
    return p;
}

std::vector<uint8_t> readAll(const std::string& path)
{
    std::vector<uint8_t> out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return out;
    uint8_t buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return out;
}

}  // namespace tbtest
