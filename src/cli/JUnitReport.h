// A JUnit XML report of a play run, for CI systems that show test results: one test suite for
// the script, one test case for each exchange line, named "FILE:LINE Command" ("FILE:LINE raw
// frame (CODE)" for a line of raw bytes), with the reason where it failed and marked skipped
// where a stop request came first. Every text goes through XmlText, so any script name or
// reason gives well-formed XML.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace glassbench::cli {

struct JUnitCase {
    std::string name;
    std::chrono::microseconds time{0};
    std::optional<std::string> failure;  // the reason, when it failed
    bool skipped = false;
};

std::string JUnitXml(const std::string& suite, const std::vector<JUnitCase>& cases);

}  // namespace glassbench::cli
