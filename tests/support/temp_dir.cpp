#include "tests/support/temp_dir.h"

#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

namespace testsupport {

TempDir::TempDir() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate = base / ("milte-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("TempDir: cannot create a directory in " + base.string());
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDir::Write(std::string_view name, std::string_view bytes) const {
    // As UTF-8 where the system names files in Unicode; other bytes pass as they are.
    const auto file = path_ / std::u8string(name.begin(), name.end());
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("TempDir: cannot write " + file.string());
    return file;
}

}  // namespace testsupport
