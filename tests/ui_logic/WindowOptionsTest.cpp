// The window's own options, and the presets folder that --in-documents enters: on Linux and,
// as a .exe, under Wine, where paths and folder creation are Windows' own.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "ui/WindowOptions.h"

namespace glassbench::ui {
namespace {

namespace fs = std::filesystem;

TEST(WindowOptionsTest, HelpAndVersionEndAtOnceAndInDocumentsIsKept) {
    struct Case {
        std::vector<std::string> args;
        std::optional<int> exitCode;
        bool inDocuments;
        const char* printed;  // what the output begins with
    };
    const Case cases[] = {
        {{}, std::nullopt, false, ""},
        {{"-platform", "offscreen"}, std::nullopt, false, ""},  // the toolkit's own
        {{"--in-documents"}, std::nullopt, true, ""},
        {{"--in-documents", "--version"}, 0, true, "glassbench " GLASSBENCH_VERSION "\n"},
        {{"--help", "--in-documents"}, 0, false, "Usage: glassbench [--in-documents]"},
        {{"-h"}, 0, false, "Usage: glassbench"},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv{const_cast<char*>("glassbench")};
        for (const std::string& arg : c.args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        std::ostringstream out;
        const WindowOptions options =
            ReadWindowOptions(static_cast<int>(argv.size()), argv.data(), out);
        EXPECT_EQ(options.exitCode, c.exitCode) << c.printed;
        EXPECT_EQ(options.inDocuments, c.inDocuments) << c.printed;
        EXPECT_EQ(out.str().rfind(c.printed, 0), 0u) << out.str();
        EXPECT_EQ(out.str().empty(), !c.exitCode.has_value()) << out.str();
    }
}

// Where each start leaves the window: the folder made once and then kept with what the user
// put in it; nothing made, and the current directory kept, where there is no documents folder
// or a file stands in the way.
TEST(WindowOptionsTest, PresetsFolderIsMadeOnceThenEnteredAndFailuresStayPut) {
    const testing::TempDir dir;
    const fs::path before = fs::current_path();
    struct Restore {
        fs::path path;
        ~Restore() { fs::current_path(path); }
    } restore{before};
    const fs::path documents = dir.path() / "Documents";
    fs::create_directory(documents);
    const fs::path folder = documents / kPresetsFolderName;

    ASSERT_TRUE(EnterPresetsFolder(documents));
    EXPECT_TRUE(fs::equivalent(fs::current_path(), folder));
    dir.Write("Documents/Glassbench/Scom.ini", "[DrawPoint]\n");
    fs::current_path(before);
    ASSERT_TRUE(EnterPresetsFolder(documents));  // a second start: the same folder, kept
    EXPECT_TRUE(fs::equivalent(fs::current_path(), folder));
    EXPECT_TRUE(fs::exists("Scom.ini"));

    const testing::TempDir blocked;
    blocked.Write(kPresetsFolderName, "not a folder");
    for (const fs::path& failing : {fs::path(), dir.path() / "missing", blocked.path()}) {
        fs::current_path(before);
        EXPECT_FALSE(EnterPresetsFolder(failing)) << failing;
        EXPECT_EQ(fs::current_path(), before) << failing;
    }
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}

}  // namespace
}  // namespace glassbench::ui
