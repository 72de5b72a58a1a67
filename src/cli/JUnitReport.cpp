#include "cli/JUnitReport.h"

#include <cstdio>
#include <utility>

#include "cli/Seconds.h"
#include "cli/TextEscape.h"

namespace glassbench::cli {

JUnitReport::JUnitReport(std::string suite, std::string file)
    : suite_(std::move(suite)),
      file_(std::move(file)),
      partFile_(file_ + ".part"),
      part_(partFile_, std::ios::binary | std::ios::trunc) {}

JUnitReport::~JUnitReport() {
    if (part_.is_open()) {
        part_.close();
        std::remove(partFile_.c_str());
    }
}

std::ostream& JUnitReport::Cases() {
    return part_.is_open() ? static_cast<std::ostream&>(part_) : held_;
}

void JUnitReport::Add(const JUnitCase& c) {
    ++tests_;
    failures_ += c.failure ? 1 : 0;
    skipped_ += c.skipped ? 1 : 0;
    time_ += c.time;
    std::ostream& out = Cases();
    out << "    <testcase classname=\"" << XmlText(suite_) << "\" name=\"" << XmlText(c.name)
        << "\" time=\"" << SecondsText(c.time) << "\"";
    if (c.failure) {
        out << ">\n      <failure message=\"" << XmlText(*c.failure) << "\">" << XmlText(*c.failure)
            << "</failure>\n    </testcase>\n";
    } else if (c.skipped) {
        out << ">\n      <skipped message=\"stopped before this line\"/>\n    </testcase>\n";
    } else {
        out << "/>\n";
    }
}

bool JUnitReport::Finish() {
    std::ostream& cases = Cases();
    if (!cases.flush()) {
        return false;
    }
    std::ofstream report(file_, std::ios::binary | std::ios::trunc);
    report << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n  <testsuite name=\""
           << XmlText(suite_) << "\" tests=\"" << tests_ << "\" failures=\"" << failures_
           << "\" errors=\"0\" skipped=\"" << skipped_ << "\" time=\"" << SecondsText(time_)
           << "\">\n";
    if (part_.is_open()) {
        part_.close();
        std::ifstream written(partFile_, std::ios::binary);
        // An empty part gives no characters, which operator<< would count as a failure.
        if (written.peek() != std::ifstream::traits_type::eof()) {
            report << written.rdbuf();
        }
        written.close();
        std::remove(partFile_.c_str());
    } else {
        report << held_.str();
    }
    report << "  </testsuite>\n</testsuites>\n";
    return static_cast<bool>(report.flush());
}

}  // namespace glassbench::cli
