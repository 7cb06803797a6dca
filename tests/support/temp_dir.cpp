#include "tests/support/temp_dir.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace tovrin::testing {

// A name nobody else holds: create_directory fails for one that exists, so the folder is ours.
TempDir::TempDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate =
            std::filesystem::temp_directory_path() / ("tovrin-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            root_ = candidate;
            return;
        }
    }
    throw std::runtime_error("no fresh temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tovrin::testing
