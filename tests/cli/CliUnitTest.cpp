// The command line's plain logic, without running the program: the text escaping of the
// machine-readable outputs, and the command table with the usage made from it.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "cli/CommandLine.h"
#include "cli/TextEscape.h"

namespace glassbench::cli {
namespace {

TEST(TextEscape, EscapesWhatJsonAndXmlForbidAndReplacesWhatIsNoUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"Draw Point", "\"Draw Point\""},
        {"a\"b\\c/", "\"a\\\"b\\\\c/\""},
        {std::string("\n\r\t\x01\x1f\x7f\0", 7), "\"\\n\\r\\t\\u0001\\u001f\x7f\\u0000\""},
        {"\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "\"\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
        {"\xff", "\"\\ufffd\""},
        {"\xc3", "\"\\ufffd\""},                                   // cut short
        {"\xc0\x80", "\"\\ufffd\\ufffd\""},                        // overlong
        {"\xed\xa0\x80", "\"\\ufffd\\ufffd\\ufffd\""},             // a surrogate
        {"\xf4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},  // above U+10FFFF
    };
    for (const auto& [text, json] : cases) {
        EXPECT_EQ(JsonString(text), json);
    }
    // XML: its five markup characters escaped; what XML 1.0 cannot carry becomes U+FFFD.
    const std::string kFffd = "\xef\xbf\xbd";
    EXPECT_EQ(XmlText("a&b<c>\"'\xc3\xa9"), "a&amp;b&lt;c&gt;&quot;&apos;\xc3\xa9");
    EXPECT_EQ(XmlText(std::string("\t\n\r\x01\0\xef\xbf\xbe\xff", 9)),
              "\t\n\r" + kFffd + kFffd + kFffd + kFffd);
}

// What help2man and the dispatcher rely on: an option name once per command, every option an
// item of the usage with its value's name and help, and no line wider than a terminal, since
// help2man would cut a wrapped line from its item.
TEST(CommandTable, EveryOptionIsOneItemOfTheUsageInLinesOf79Columns) {
    const std::string& usage = UsageText();
    std::istringstream lines(usage);
    std::set<std::string> items;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 79u) << line;
        if (line.rfind("  --", 0) == 0) {
            items.insert(line.substr(2, line.find("  ", 2) - 2));
        }
    }
    std::vector<const CommandSpec*> specs{&kScriptLine};
    for (const CommandSpec& command : kCommands) {
        specs.push_back(&command);
    }
    for (const CommandSpec* command : specs) {
        std::set<std::string_view> names;
        for (const Option& option : OptionsOf(*command)) {
            EXPECT_TRUE(names.insert(option.name).second) << command->name << " --" << option.name;
            EXPECT_EQ(option.TakesValue(), !option.valueName.empty()) << option.name;
            EXPECT_FALSE(option.help.empty()) << option.name;
            EXPECT_EQ(items.count(OptionSynopsis(option)), 1u) << OptionSynopsis(option);
        }
    }
}

}  // namespace
}  // namespace glassbench::cli
