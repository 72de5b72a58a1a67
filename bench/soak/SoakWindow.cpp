// soak_window: the operator window's own send action, N times, against the virtual module
// misbehaving on purpose, on Qt's offscreen platform. After every click on "Send data" the
// "Data Rec:" transcript must have grown by exactly the reply the module put first on the wire
// for that frame, or not at all, and "Data Send:" by the frame. Prints the tally by fault and
// the process's resident memory and descriptors; the transcripts' own text is allowed to
// grow, nothing else. Exits 1 on any misattributed reply or growth.
//
// Usage: soak_window [--exchanges N] [--seed S] [--fault-mix LIST] [--margin-kib K]
#include <QApplication>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "ModuleProcess.h"
#include "Soak.h"
#include "protocol/HexText.h"
#include "serial/SerialLink.h"
#include "ui/BenchEnvironment.h"
#include "ui/qt/QtPanelWindow.h"
#include "ui/qt/TranscriptBox.h"

using namespace glassbench;

namespace {

// The window without an operator: a box is an error the soak reports, nothing waits.
class NoOperator final : public ui::Toolkit {
  public:
    void ShowMessage(ui::WindowHandle, std::string_view text, std::string_view,
                     ui::MessageIcon) override {
        messages.emplace_back(text);
    }
    void BeginBusyCursor() override {}
    void EndBusyCursor() override {}
    void Pause(std::chrono::milliseconds) override {}
    std::vector<std::string> messages;
};

// The text a transcript box gained since it held `before` characters.
std::string Gained(const ui::qt::QtPanelWindow& window, int id, qsizetype& before) {
    const QString& text = static_cast<ui::qt::TranscriptBox*>(window.Control(id))->Text();
    std::string gained = text.mid(before).toLatin1().toStdString();
    before = text.size();
    return gained;
}

}  // namespace

int main(int argc, char** argv) {
    const bench::BenchEnvironment environment;
    const bench::SoakOptions options = bench::ReadSoakOptions(
        argc, argv, "soak_window [--exchanges N] [--seed S] [--fault-mix LIST] [--margin-kib K]");
    QApplication application(argc, argv);
    const bench::SoakModule module(options);
    NoOperator toolkit;
    serial::SerialLink port(serial::CreatePlatformSerialSystem(),
                            serial::BuildPortNameTable(module.link()), &toolkit);
    ui::qt::QtPanelWindow window(port, toolkit);
    window.Logic().OnInitDialog();
    window.show();
    if (!module.ready() || !port.IsReady() || toolkit.messages.size() != 1) {
        std::fprintf(stderr, "soak_window: the window did not open the virtual module\n");
        return 1;
    }
    toolkit.messages.clear();
    auto* send = static_cast<QPushButton*>(window.Control(ui::kIdcSendData));
    const std::string frameText = "AA 04 80 00 2E ";
    bench::SoakTally tally;
    qsizetype sendLength = 0;
    qsizetype recvLength = 0;
    long long transcriptAtStart = 0;
    for (int n = 0; n < options.exchanges; ++n) {
        if (tally.Checkpoint(n, options.exchanges)) {
            transcriptAtStart = sendLength + recvLength;
        }
        send->click();
        QCoreApplication::processEvents();
        if (Gained(window, ui::kIdcSendLog, sendLength) != frameText || !toolkit.messages.empty()) {
            std::fprintf(stderr, "soak_window: exchange %d did not show its frame\n", n);
            return 1;
        }
        const std::string gained = Gained(window, ui::kIdcRecvLog, recvLength);
        std::optional<module::Bytes> shown;
        if (!gained.empty()) {
            module::Bytes bytes(protocol::kMaxDataBytes);
            bytes.resize(static_cast<std::size_t>(protocol::ParseHexBytes(gained, bytes.data())));
            shown = bytes;
        }
        module::Fault fault{};
        tally.Record(n, fault, bench::ExpectedReply(options, n, 0x80, fault), shown);
    }
    tally.Sample("end");
    // The transcripts keep their text as QString (two bytes a character) and one line
    // start (an int) a wrapped line; that much growth is the transcripts' own.
    const long long text = sendLength + recvLength - transcriptAtStart;
    const long long expectedKiB = (2 * text + 4 * text / 20) / 1024;
    std::printf("%d sends through the window's send action, seed %llu, mix %s\n", options.exchanges,
                static_cast<unsigned long long>(options.seed),
                module::FormatFaultMix(options.mix).c_str());
    std::printf("transcript text %lld characters since the start sample\n", text);
    return tally.Report(expectedKiB, options.marginKiB) ? 0 : 1;
}
