// A JUnit XML report of a play run, for CI systems that show test results: one test suite for
// the script, one test case for each exchange line, named "FILE:LINE Command" ("FILE:LINE raw
// frame (CODE)" for a line of raw bytes), with the reason where it failed and marked skipped
// where a stop request came first. Every text goes through XmlText, so any script name or
// reason gives well-formed XML.
//
// The suite's counts come before its cases, and are known only at the end; so that a script of
// any length is reported in the memory of one case, each case is written as it ends to a part
// file beside the report (FILE.part), and Finish writes the report, the counts and then the
// cases, and removes the part. Where no part can be made beside the report (a device such as
// /dev/stdout), the cases are held in memory instead.
#pragma once

#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace glassbench::cli {

struct JUnitCase {
    std::string name;
    std::chrono::microseconds time{0};
    std::optional<std::string> failure;  // the reason, when it failed
    bool skipped = false;
};

class JUnitReport {
  public:
    JUnitReport(std::string suite, std::string file);
    ~JUnitReport();
    JUnitReport(const JUnitReport&) = delete;
    JUnitReport& operator=(const JUnitReport&) = delete;

    void Add(const JUnitCase& c);
    // Writes the report; false when it cannot be written.
    bool Finish();

  private:
    std::ostream& Cases();

    std::string suite_;
    std::string file_;
    std::string partFile_;
    std::ofstream part_;
    std::ostringstream held_;  // the cases, where no part file could be made
    int tests_ = 0;
    int failures_ = 0;
    int skipped_ = 0;
    std::chrono::microseconds time_{0};
};

}  // namespace glassbench::cli
