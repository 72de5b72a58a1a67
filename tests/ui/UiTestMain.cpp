// The window tests' main: a QApplication, on the offscreen platform unless told otherwise, with
// a private runtime folder, which Qt wants with mode 0700, as mkdtemp makes it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string runtime = std::filesystem::temp_directory_path() / "glassbench-ui-XXXXXX";
    if (::mkdtemp(runtime.data()) == nullptr || ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1)) {
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    const int result = [&] {
        QApplication application(argc, argv);
        return RUN_ALL_TESTS();
    }();
    std::filesystem::remove_all(runtime);
    return result;
}
