#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "DialogFixture.h"
#include "TestHex.h"
#include "protocol/HexText.h"

namespace glassbench::ui::testing {
namespace {

using glassbench::testing::Bytes;
using glassbench::testing::Hex;

// --- against a scripted module on a pty --------------------------------------------------------

struct SendCase {
    const char* name;
    int lcdType;
    std::vector<std::string> replies;  // the module's answer to each frame, in hex
    int sends;
    std::string sendLog;
    std::string recvLog;
};

// Test lists show the case's name, not its bytes.
void PrintTo(const SendCase& c, std::ostream* out) {
    *out << c.name;
}

class SendActionTest : public DialogFixture, public ::testing::WithParamInterface<SendCase> {
  protected:
    void StartOnPty() {
        serial::PortNames names = MissingPorts();
        names[0] = pty.SlavePath();
        Start(names);
        ASSERT_TRUE(link->IsReady());
    }
    Pty pty;
};

TEST_P(SendActionTest, WritesTheFrameAndLogsItAndTheReply) {
    const SendCase& c = GetParam();
    std::vector<std::vector<std::uint8_t>> replies;
    for (const std::string& reply : c.replies) {
        replies.push_back(Bytes(reply));
    }
    ScriptedModule module(pty, replies);
    StartOnPty();
    List(kIdcLcdType)->setCurrentIndex(c.lcdType);
    for (int i = 0; i < c.sends; ++i) {
        ClickSend();
    }
    EXPECT_EQ(TranscriptText(kIdcSendLog), c.sendLog);
    EXPECT_EQ(TranscriptText(kIdcRecvLog), c.recvLog);
    EXPECT_EQ(dialog->SendLog(), c.sendLog);
    EXPECT_EQ(dialog->RecvLog(), c.recvLog);
    EXPECT_EQ(FieldText(kIdcLengh), "4");
    EXPECT_EQ(FieldText(kIdcCheckSum), "2e");
    // Whatever the transcript shows, the whole frame goes out each time.
    std::string wire;
    for (int i = 0; i < c.sends; ++i) {
        wire += (i ? " " : "") + std::string("AA 04 80 00 2E");
    }
    ASSERT_TRUE(ProcessEventsUntil([&] { return Hex(module.Wire()) == wire; }))
        << Hex(module.Wire());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SendActionTest,
    ::testing::Values(
        SendCase{"Uart", 0, {"01 02 03 04 05"}, 1, "AA 04 80 00 2E ", "01 02 03 04 05 "},
        SendCase{"Spi", 1, {"01 02 03 04 05"}, 1, "80 00 ", "01 02 03 04 05 "},
        SendCase{"I2c", 2, {"01 02 03 04 05"}, 1, "80 00 ", "01 02 03 04 05 "},
        SendCase{"Usb", 3, {"01 02 03 04 05"}, 1, "AA 04 80 00 2E ", "01 02 03 04 05 "},
        SendCase{"TwoSendsNoLineBreak",
                 0,
                 {"01 02 03 04 05", "06 07 08 09 0A"},
                 2,
                 "AA 04 80 00 2E AA 04 80 00 2E ",
                 "01 02 03 04 05 06 07 08 09 0A "},
        SendCase{"SpiTwice", 1, {}, 2, "80 00 80 00 ", ""},
        SendCase{"NoReply", 0, {}, 1, "AA 04 80 00 2E ", ""},
        SendCase{"ShortReplyShowsNothing", 0, {"01 02 03 04"}, 1, "AA 04 80 00 2E ", ""},
        // A sixth byte is stale by the next send: it is thrown away, not shown as the first
        // byte of the next reply.
        SendCase{"ExtraByteDoesNotShiftTheNextReply",
                 0,
                 {"01 02 03 04 05 06", "11 12 13 14 15"},
                 2,
                 "AA 04 80 00 2E AA 04 80 00 2E ",
                 "01 02 03 04 05 11 12 13 14 15 "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SendActionTest, StaleInputIsDiscardedBeforeTheWrite) {
    ScriptedModule module(pty, {Bytes("01 02 03 04 05")});
    StartOnPty();
    // Noise on the line before the operator sends.
    pty.WriteToProgram(Bytes("EE EE EE"));
    ASSERT_TRUE(ProcessEventsUntil([&] { return pty.QueuedForProgram() == 3; }));
    ClickSend();
    EXPECT_EQ(TranscriptText(kIdcRecvLog), "01 02 03 04 05 ");
}

TEST_F(SendActionTest, TypedTextsStayAndTheComputedLengthAndChecksumAreShown) {
    ScriptedModule module(pty, {Bytes("01 02 03 04 05")});
    StartOnPty();
    List(kIdcCommand)->setCurrentIndex(11);  // Draw Line
    Field(kIdcXaddress)->setText("10");
    Field(kIdcYaddress)->setText("20");
    Field(kIdcData)->setText("00 30 00 40");
    Field(kIdcLengh)->setText("typed");
    ClickSend();
    EXPECT_EQ(FieldText(kIdcXaddress), "10");
    EXPECT_EQ(FieldText(kIdcYaddress), "20");
    EXPECT_EQ(FieldText(kIdcData), "00 30 00 40");
    protocol::CommandFields fields;
    fields.commandIndex = 11;
    fields.xText = "10";
    fields.yText = "20";
    fields.dataText = "00 30 00 40";
    protocol::CommandFrame frame{};
    protocol::DataStore store{};
    const protocol::BuildResult expected = protocol::BuildCommandFrame(fields, frame, store);
    EXPECT_EQ(FieldText(kIdcLengh), expected.lenghText);
    EXPECT_EQ(FieldText(kIdcCheckSum), expected.checkSumText);
    EXPECT_EQ(dialog->SendLog(), protocol::FormatHexBytes(frame.data(), expected.frameLength));
    ASSERT_TRUE(ProcessEventsUntil([&] {
        return module.Wire() ==
               std::vector<std::uint8_t>(frame.begin(), frame.begin() + expected.frameLength);
    }));
}

TEST_F(SendActionTest, ATypedLcdsTypeCountsWhenItNamesAnEntry) {
    ScriptedModule module(pty, {Bytes("01 02 03 04 05"), Bytes("01 02 03 04 05")});
    StartOnPty();
    List(kIdcLcdType)->setEditText("spi lcds");
    ClickSend();
    List(kIdcLcdType)->setEditText("something else");
    ClickSend();
    EXPECT_EQ(dialog->SendLog(), "80 00 AA 04 80 00 2E ");
}

TEST_F(SendActionTest, WithoutAPortTheFrameIsStillLoggedAndNothingReported) {
    Start(MissingPorts());
    log.clear();
    ClickSend();
    EXPECT_EQ(TranscriptText(kIdcSendLog), "AA 04 80 00 2E ");
    EXPECT_EQ(TranscriptText(kIdcRecvLog), "");
    EXPECT_EQ(FieldText(kIdcCheckSum), "2e");
    EXPECT_TRUE(log.empty());
}

// --- against the virtual module ----------------------------------------------------------------

TEST_F(DialogFixture, SendToTheVirtualModuleShowsTheFrameAndItsReply) {
    const std::filesystem::path linkPath = scratch.path() / "module";
    VirtualModule module(linkPath);
    ASSERT_TRUE(module.Ready()) << module.Output();
    serial::PortNames names = MissingPorts();
    names[0] = linkPath.string();
    Start(names);
    ASSERT_EQ(log, Concat({OpenedLines(linkPath.string()),
                           PulseAndConfirmLines(linkPath.string(), "9600")}));
    ClickSend();
    EXPECT_EQ(TranscriptText(kIdcSendLog), "AA 04 80 00 2E ");
    const std::string reply = TranscriptText(kIdcRecvLog);
    ASSERT_EQ(reply.size(), 15u) << reply;
    ClickSend();
    EXPECT_EQ(TranscriptText(kIdcSendLog), "AA 04 80 00 2E AA 04 80 00 2E ");
    EXPECT_EQ(TranscriptText(kIdcRecvLog).size(), 30u);
}

}  // namespace
}  // namespace glassbench::ui::testing
