// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
#pragma once

#include <string>

namespace qv::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, with a trailing '/'.
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

    // Writes a file below the folder (creating sub-folders) and returns its path.
    std::string Write(const std::string& name, const std::string& contents) const;

private:
    std::string path_;
};

// Where the build put its programs (for tests that start one).
std::string BinaryDir();

}  // namespace qv::test
