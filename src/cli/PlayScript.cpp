#include "cli/PlayScript.h"

#include <array>

#include "cli/CliArgs.h"
#include "cli/FrameOptions.h"

namespace glassbench::cli {

namespace {

// A pause after an exchange longer than this is surely a typing mistake, as for --interval.
constexpr int kMaxWaitMs = 3'600'000;

constexpr std::array<OptionSpec, 2> kStepOnlySpecs{{{"expect", true}, {"wait-ms", true}}};

std::vector<OptionSpec> StepOptionSpecs() {
    std::vector<OptionSpec> specs(kFrameOptionSpecs.begin(), kFrameOptionSpecs.end());
    specs.insert(specs.end(), kStepOnlySpecs.begin(), kStepOnlySpecs.end());
    return specs;
}

std::optional<PlayStep> ParseStep(const std::vector<std::string>& words, std::string& error) {
    const auto parsed = ParseArgs(words, StepOptionSpecs(), error);
    if (!parsed) {
        return std::nullopt;
    }
    if (!parsed->positional.empty()) {
        error = "'" + parsed->positional.front() + "' is no option";
        return std::nullopt;
    }
    PlayStep step;
    const auto fields = ReadFrameOptions(*parsed, error);
    if (!fields) {
        return std::nullopt;
    }
    step.fields = *fields;
    if (const std::string* text = parsed->Value("expect")) {
        step.expect = protocol::ParseBytePattern(*text);
        if (!step.expect || step.expect->size() != protocol::kReplyLength) {
            error = "--expect '" + *text + "' is not " + std::to_string(protocol::kReplyLength) +
                    " bytes as hex pairs or ??";
            return std::nullopt;
        }
    }
    if (const std::string* text = parsed->Value("wait-ms")) {
        const auto ms = ParseInt(*text);
        if (!ms || *ms < 0 || *ms > kMaxWaitMs) {
            error = "--wait-ms '" + *text + "' is not 0 to " + std::to_string(kMaxWaitMs) +
                    " milliseconds";
            return std::nullopt;
        }
        step.waitAfter = std::chrono::milliseconds(*ms);
    }
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

PlayScript ParsePlayScript(std::string_view text) {
    PlayScript script;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    int number = 0;
    while (!text.empty()) {
        ++number;
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
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
            script.steps.clear();
            script.badLine = number;
            script.error = error;
            return script;
        }
        if (step) {
            step->line = number;
            script.steps.push_back(std::move(*step));
        }
    }
    return script;
}

}  // namespace glassbench::cli
