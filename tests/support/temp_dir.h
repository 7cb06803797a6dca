// A fresh folder for one test's files, removed with everything in it when the test is done.
#pragma once

#include <filesystem>
#include <string>

namespace tovrin::testing {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path path(const std::string& name) const { return root_ / name; }

  private:
    std::filesystem::path root_;
};

// The file's bytes, or an empty string when it cannot be read.
std::string read_file(const std::filesystem::path& path);

}  // namespace tovrin::testing
