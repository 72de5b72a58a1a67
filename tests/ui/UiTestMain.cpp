// The window tests' main: a QApplication on the offscreen platform, a private runtime folder
// and a private working folder (so no Scom.ini of the build tree leaks into a test).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <filesystem>
#include <string>

namespace {

std::filesystem::path MakePrivateDir(const char* stem) {
    std::string pattern = (std::filesystem::temp_directory_path() / stem).string() + "-XXXXXX";
    // mkdtemp creates the folder with mode 0700, as Qt wants its runtime folder.
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    return pattern;
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::filesystem::path runtime = MakePrivateDir("glassbench-ui-runtime");
    const std::filesystem::path work = MakePrivateDir("glassbench-ui-work");
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    std::filesystem::current_path(work);

    int result = 0;
    {
        QApplication application(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    std::error_code ec;
    std::filesystem::current_path(std::filesystem::temp_directory_path(), ec);
    std::filesystem::remove_all(work, ec);
    std::filesystem::remove_all(runtime, ec);
    return result;
}
