// What one send costs the "Data Send:" transcript when it already holds 10 sends and when it
// holds 100,000: appending the frame's text and painting the box, as the send action does.
// The two medians are measured in the same run, on the same box size and font, and their
// ratio is printed; it should stay near 1 (target: at most 1.5).
//
// Usage: ui_transcript_bench [--samples N]
#include <QApplication>
#include <QFontDatabase>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "BenchEnvironment.h"
#include "ui/qt/TranscriptBox.h"

namespace {

using glassbench::ui::qt::TranscriptBox;
using Clock = std::chrono::steady_clock;

constexpr const char* kFrame = "AA 04 80 00 2E ";

double AppendMicros(TranscriptBox& box) {
    const auto start = Clock::now();
    box.Append(kFrame);
    box.repaint();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::unique_ptr<TranscriptBox> BoxWithSends(int sends) {
    auto box = std::make_unique<TranscriptBox>();
    box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The transcript's size in the operator dialog at a 9-point font.
    box->resize(426, 76);
    box->show();
    const std::string ten = [] {
        std::string text;
        for (int i = 0; i < 10; ++i) {
            text += kFrame;
        }
        return text;
    }();
    for (int i = 0; i < sends / 10; ++i) {
        box->Append(ten);
    }
    QCoreApplication::processEvents();
    return box;
}

}  // namespace

int main(int argc, char** argv) {
    const glassbench::bench::BenchEnvironment environment;
    QApplication application(argc, argv);
    int samples = 1001;
    if (argc > 2 && std::strcmp(argv[1], "--samples") == 0) {
        samples = std::max(1, std::atoi(argv[2]));
    }
    auto small = BoxWithSends(10);
    auto large = BoxWithSends(100000);
    // Alternate the two boxes sample by sample, so that neither gets a warmer cache or a
    // quieter machine.
    std::vector<double> smallTimes;
    std::vector<double> largeTimes;
    for (int i = 0; i < samples; ++i) {
        smallTimes.push_back(AppendMicros(*small));
        largeTimes.push_back(AppendMicros(*large));
    }
    const double smallMedian = Median(smallTimes);
    const double largeMedian = Median(largeTimes);
    std::printf("one transcript append and repaint, median of %d:\n", samples);
    std::printf("  after 10 sends       %8.1f us\n", smallMedian);
    std::printf("  after 100,000 sends  %8.1f us   (%d characters)\n", largeMedian,
                static_cast<int>(large->Text().size()));
    std::printf("  ratio                %8.2f     (target: at most 1.5)\n",
                largeMedian / smallMedian);
    return 0;
}
