// The link's message boxes and the port's notices, as lines, for the serial suites.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "serial/SerialLink.h"

namespace glassbench::serial {

struct LineSink : MessageSink {
    void ShowMessage(WindowHandle, std::string_view text, std::string_view, MessageIcon) override {
        lines.emplace_back(text);
    }
    void ShowNotice(std::string_view text) override { lines.emplace_back(text); }
    std::vector<std::string> lines;
};

}  // namespace glassbench::serial
