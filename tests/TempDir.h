// A private temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace glassbench::testing {

class TempDir {
  public:
    // As mkdtemp, which Windows lacks: a random name that create_directory refuses to reuse,
    // open to its owner only.
    TempDir() {
        namespace fs = std::filesystem;
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const auto name =
                "glassbench-test-" + std::to_string(random()) + std::to_string(random());
            path_ = fs::temp_directory_path() / name;
            std::error_code ec;
            if (fs::create_directory(path_, ec)) {
                fs::permissions(path_, fs::perms::owner_all, ec);
                return;
            }
        }
        std::abort();
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // A whole file, as the tests read what the programs wrote.
    static std::string Read(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path Write(std::string_view name, std::string_view content) const {
        const auto file = path_ / name;
        std::ofstream(file, std::ios::binary) << content;
        return file;
    }

  private:
    std::filesystem::path path_;
};

}  // namespace glassbench::testing
