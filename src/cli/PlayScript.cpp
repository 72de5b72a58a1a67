#include "cli/PlayScript.h"

#include <algorithm>
#include <istream>

#include "protocol/FrameInverse.h"

namespace glassbench::cli {

namespace {

std::optional<PlayStep> ParseStep(const std::vector<std::string>& words, std::string& error) {
    const std::vector<Option> options = OptionsOf(kScriptLine);
    const auto parsed = ParseArgs(words, options, error);
    if (!parsed) {
        return std::nullopt;
    }
    if (!parsed->positional.empty()) {
        error = "'" + parsed->positional.front() + "' is no option";
        return std::nullopt;
    }
    const auto values = ReadCommandLine(kScriptLine, *parsed, error);
    if (!values) {
        return std::nullopt;
    }
    PlayStep step;
    step.frame = OutgoingFrameOf(*values);
    if (const auto* expect = values->Find<protocol::BytePattern>("expect")) {
        step.expect = *expect;
    }
    step.waitAfter = std::chrono::milliseconds(values->Get("wait-ms", 0));
    return step;
}

}  // namespace

std::optional<std::vector<std::string>> SplitShellWords(std::string_view line, std::string& error) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;  // a word has begun, even an empty quoted one
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t') {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
            continue;
        }
        if (c == '#' && !inWord) {
            break;
        }
        inWord = true;
        if (c == '\\') {
            if (++i == line.size()) {
                error = "the line ends in a backslash";
                return std::nullopt;
            }
            word += line[i];
        } else if (c == '\'') {
            const auto end = line.find('\'', i + 1);
            if (end == std::string_view::npos) {
                error = "a single quote is not closed";
                return std::nullopt;
            }
            word += line.substr(i + 1, end - i - 1);
            i = end;
        } else if (c == '"') {
            for (++i;; ++i) {
                if (i == line.size()) {
                    error = "a double quote is not closed";
                    return std::nullopt;
                }
                if (line[i] == '"') {
                    break;
                }
                // Inside double quotes a backslash escapes only these; elsewhere it stays.
                if (line[i] == '\\' && i + 1 < line.size() &&
                    std::string_view("$`\"\\").find(line[i + 1]) != std::string_view::npos) {
                    ++i;
                }
                word += line[i];
            }
        } else {
            word += c;
        }
    }
    if (inWord) {
        words.push_back(std::move(word));
    }
    return words;
}

std::string ShellWord(std::string_view text) {
    const auto plain = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
               std::string_view("+-./:=_,").find(c) != std::string_view::npos;
    };
    if (!text.empty() && std::all_of(text.begin(), text.end(), plain)) {
        return std::string(text);
    }
    std::string word = "\"";
    for (const char c : text) {
        if (std::string_view("$`\"\\").find(c) != std::string_view::npos) {
            word += '\\';
        }
        word += c;
    }
    return word + '"';
}

std::string FrameOptionsText(const std::vector<std::uint8_t>& bytes) {
    const auto fields = protocol::FieldsForFrame(bytes.data(), static_cast<int>(bytes.size()));
    if (!fields) {
        return "--raw=" + ShellWord(protocol::FormatHexLine(bytes));
    }
    const protocol::CommandInfo& command = *protocol::CommandAt(fields->commandIndex);
    const protocol::CommandFields start;
    std::string text = "--command=" + ShellWord(command.listText);
    if (protocol::HeaderLength(command.layout) > 3) {
        text += " --x=" + fields->xText + " --y=" + fields->yText;
    }
    if (fields->transparentIndex != start.transparentIndex) {
        text += " --transparent=" + std::to_string(fields->transparentIndex);
    }
    if (fields->fontSizeIndex != start.fontSizeIndex) {
        text += " --font-size=" + std::to_string(fields->fontSizeIndex);
    }
    if (fields->lcdsType != start.lcdsType) {
        text += " --lcd-type=" + std::to_string(static_cast<int>(fields->lcdsType));
    }
    return text + " --data=" + ShellWord(fields->dataText);
}

std::optional<PlayStep> PlayScriptReader::Next() {
    while (badLine_ == 0 && std::getline(in_, line_)) {
        ++number_;
        std::string_view line = line_;
        if (number_ == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") {
            line.remove_prefix(3);
        }
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        std::string error;
        const auto words = SplitShellWords(line, error);
        std::optional<PlayStep> step;
        if (words && !words->empty()) {
            step = ParseStep(*words, error);
        }
        if (!error.empty()) {
            badLine_ = number_;
            error_ = error;
            return std::nullopt;
        }
        if (step) {
            step->line = number_;
            return step;
        }
    }
    return std::nullopt;
}

}  // namespace glassbench::cli
