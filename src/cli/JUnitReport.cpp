#include "cli/JUnitReport.h"

#include "cli/Seconds.h"
#include "cli/TextEscape.h"

namespace glassbench::cli {

std::string JUnitXml(const std::string& suite, const std::vector<JUnitCase>& cases) {
    int failures = 0;
    int skipped = 0;
    std::chrono::microseconds total{0};
    std::string body;
    for (const JUnitCase& c : cases) {
        failures += c.failure ? 1 : 0;
        skipped += c.skipped ? 1 : 0;
        total += c.time;
        body += "    <testcase classname=\"" + XmlText(suite) + "\" name=\"" + XmlText(c.name) +
                "\" time=\"" + SecondsText(c.time) + "\"";
        if (c.failure) {
            body += ">\n      <failure message=\"" + XmlText(*c.failure) + "\">" +
                    XmlText(*c.failure) + "</failure>\n    </testcase>\n";
        } else if (c.skipped) {
            body += ">\n      <skipped message=\"stopped before this line\"/>\n    </testcase>\n";
        } else {
            body += "/>\n";
        }
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n  <testsuite name=\"" +
           XmlText(suite) + "\" tests=\"" + std::to_string(cases.size()) + "\" failures=\"" +
           std::to_string(failures) + "\" errors=\"0\" skipped=\"" + std::to_string(skipped) +
           "\" time=\"" + SecondsText(total) + "\">\n" + body + "  </testsuite>\n</testsuites>\n";
}

}  // namespace glassbench::cli
