#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tbtest {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return root; }  // without trailing '/'
    std::string file(const std::string& name) const { return root + "/" + name; }
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const;
    std::string write(const std::string& name, const std::string& text) const;
    std::string makeFolder(const std::string& name) const;

private:
    std::string root;
};

std::vector<uint8_t> readAll(const std::string& path);

}  // namespace tbtest
