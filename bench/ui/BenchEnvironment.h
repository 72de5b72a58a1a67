// The environment both window benchmarks run in: Qt's offscreen platform unless another is
// asked for, and a private runtime folder when the session has none (Qt warns on every start
// without one, which would be timed with the rest).
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace glassbench::bench {

class BenchEnvironment {
  public:
    BenchEnvironment() {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        if (::getenv("XDG_RUNTIME_DIR") == nullptr) {
            std::string pattern =
                (std::filesystem::temp_directory_path() / "glassbench-bench-XXXXXX").string();
            // mkdtemp makes the folder 0700, as Qt wants it.
            if (::mkdtemp(pattern.data()) != nullptr) {
                runtime_ = pattern;
                ::setenv("XDG_RUNTIME_DIR", pattern.c_str(), 1);
            }
        }
    }
    ~BenchEnvironment() {
        if (!runtime_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(runtime_, ec);
        }
    }
    BenchEnvironment(const BenchEnvironment&) = delete;
    BenchEnvironment& operator=(const BenchEnvironment&) = delete;

  private:
    std::filesystem::path runtime_;
};

}  // namespace glassbench::bench
