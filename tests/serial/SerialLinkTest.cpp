// SerialLink's logic, and the exchange every caller shares, against a scripted fake of the
// system's serial services (FakeSerial.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "FakeSerial.h"
#include "TestHex.h"
#include "serial/Exchange.h"
#include "serial/SerialLink.h"

namespace glassbench::serial {
namespace {

using namespace testing;
using glassbench::testing::Hex;

// A link over a fresh fake world; message boxes are kept as "CAPTION: TEXT", "!" marking
// the exclamation icon.
struct Rig : MessageSink {
    void ShowMessage(WindowHandle owner, std::string_view text, std::string_view caption,
                     MessageIcon icon) override {
        EXPECT_EQ(owner, &window);  // the window of the latest open, even a failed one
        shown.push_back(std::string(caption) + ": " + std::string(text) +
                        (icon == MessageIcon::Exclamation ? " !" : ""));
    }
    FakePort& P(int index) { return world.ports[link.PortName(index)]; }

    int window = 0;
    std::vector<std::string> shown;
    std::unique_ptr<FakeSystem> owned = std::make_unique<FakeSystem>();
    FakeWorld& world = *owned;
    SerialLink link{std::move(owned), DefaultPortNames(), this};
};

const Bytes kFrame{0xAA, 0x04, 0x80, 0x00, 0x2E};

// The device of a row of this platform's own table (/dev/ttyUSB4 on Linux, COM5 on Windows).
std::string Row(int index) {
    return DefaultPortNames()[static_cast<std::size_t>(index)];
}

TEST(SerialLinkTest, OpenCodesStatesAndTheOrderOfTheSteps) {
    const std::vector<std::string> steps{"open " + Row(4), "read-settings", "write-settings",
                                         "modem 11",       "read-timeouts", "write-timeouts"};
    // What SetModemLines(true, false) shows after the open.
    const char* const messages[] = {"", "Error: No port is open, so I can't set DTR or RTS.",
                                    "Error: Can't get the port state. !",
                                    "Error: Can't set the port state. !"};
    using enum ModemResult;
    const struct {
        const char* name;
        int port, speed, failStep;
        ModemResult modem;
        std::errc openError;
        int code, steps, message;  // steps: how many of them the system saw
    } cases[] = {
        // clang-format off
        {"configured", 4, 3, 0, Done, {}, 0, 6, 0},
        {"no modem lines", 4, 3, 0, NoModemLines, {}, 0, 6, 0},
        {"absent", 4, 3, 0, Done, std::errc::no_such_file_or_directory, 1, 1, 1},
        {"held elsewhere", 4, 3, 0, Done, std::errc::device_or_resource_busy, 1, 1, 1},
        {"port outside the table", 30, 3, 0, Done, std::errc::no_such_device, 1, 0, 1},
        {"state unreadable", 4, 3, 2, Done, {}, 2, 2, 2},
        {"state refused", 4, 3, 3, Done, {}, 3, 3, 0},
        {"speed outside the table", 4, 7, 0, Done, {}, 3, 2, 0},
        {"modem lines refused", 4, 3, 0, Failed, {}, 3, 4, 3},
        {"time-outs unreadable", 4, 3, 4, Done, {}, 4, 5, 0},
        {"time-outs refused", 4, 3, 5, Done, {}, 5, 6, 0},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        FakePort& port = rig.P(4);
        port.failStep = c.failStep;
        port.modem = c.modem;
        port.openError = c.openError;
        EXPECT_EQ(rig.link.OpenPort(c.port, c.speed, &rig.window), c.code);
        EXPECT_EQ(rig.world.log, std::vector(steps.begin(), steps.begin() + c.steps));
        // Only a failed open leaves nothing held; a failed setting keeps the device.
        EXPECT_EQ(port.held, c.code != 1);
        EXPECT_EQ(rig.link.IsReady(), c.code == 0);
        EXPECT_EQ(!rig.link.LastOpenError(), c.code == 0);
        EXPECT_TRUE(c.openError == std::errc{} || rig.link.LastOpenError() == c.openError);
        // Raw 8N1 at the row's speed; hardware flow control stays as the driver had it.
        EXPECT_TRUE(c.code != 0 ||
                    (port.written == LineSettings{9600, 8, false, 1, true, c.modem == Done}));
        rig.link.SetModemLines(true, false);
        EXPECT_EQ(rig.shown, std::vector<std::string>(c.message > 0, messages[c.message]));
        // A held device whose state reads gets the lines as asked.
        EXPECT_EQ(std::ranges::count(rig.world.log, "modem 10"), c.message % 3 == 0);
        // Only a ready link waits for a reply (its one second) or writes.
        Bytes reply(5, 0);
        const TimePoint before = rig.world.now;
        EXPECT_EQ(rig.link.ReceiveExact(reply.data(), 5, 100000), 0);
        EXPECT_EQ(rig.world.now - before, c.code == 0 ? 1s : 0s);
        EXPECT_EQ(rig.link.SendBytes(kFrame.data(), 5), c.code == 0 ? 5 : 0);
        EXPECT_EQ(rig.link.LastSendError(),
                  c.code == 0 ? std::error_code() : make_error_code(std::errc::not_connected));
        EXPECT_EQ(port.wire, c.code == 0 ? kFrame : Bytes{});
    }
}

// A write the driver cannot finish at once: a POSIX driver takes what it has room for and the
// link waits for room; Windows keeps the write in flight and the link waits for it to end. Only
// what completed counts as written, and the link gives up at the frame's wire time plus a second.
TEST(SerialLinkTest, SendCountsOnlyWhatCompletedAndNeverWaitsPastItsDeadline) {
    using std::errc;
    const auto deadline = 1s + 104'166'666ns;  // 100 bytes at 9600 baud, and a second
    const struct {
        const char* name;
        int room;
        std::optional<std::chrono::milliseconds> roomAfter;
        std::optional<FakePort::PendingWrite> pending;
        int written;
        errc error;
        std::chrono::nanoseconds took;
    } cases[] = {
        // clang-format off
        {"room again", 40, 200ms, {}, 100, {}, 200ms},
        {"no room again", 40, {}, {}, 40, errc::timed_out, deadline},
        {"pending, then completed", INT_MAX, {}, {{300ms, 100}}, 100, {}, 300ms},
        {"pending, then completed in part", INT_MAX, {}, {{300ms, 60}}, 100, {}, 300ms},
        {"pending, then failed", INT_MAX, {}, {{300ms, -1}}, 0, errc::io_error, 300ms},
        {"pending past the deadline", INT_MAX, {}, {{2s, 100}}, 0, errc::timed_out, deadline},
        // clang-format on
    };
    Bytes frame(100);
    std::iota(frame.begin(), frame.end(), std::uint8_t{0xC0});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        ASSERT_EQ(r.link.OpenPort(0, 3, nullptr), 0);
        r.P(0).writeRoom = c.room;
        r.P(0).roomAt = c.roomAfter ? std::optional(r.world.now + *c.roomAfter) : std::nullopt;
        r.P(0).pending = c.pending;
        const TimePoint start = r.world.now;
        EXPECT_EQ(r.link.SendBytes(frame.data(), 100), c.written);
        EXPECT_EQ(r.link.LastSendError(),
                  c.error == errc{} ? std::error_code() : std::make_error_code(c.error));
        EXPECT_EQ(r.world.now - start, c.took);
        EXPECT_EQ(r.P(0).wire, Bytes(frame.begin(), frame.begin() + c.written));
    }
}

TEST(SerialLinkTest, ReceiveExactCollectsTheReplyWithinItsWindow) {
    using us = std::chrono::microseconds;
    const struct {
        const char* name;
        int sent;  // bytes written first at 9600 baud: the window starts when they have left
        std::vector<std::pair<us, const char*>> arrivals;  // after that
        int tries, result;
        const char* got;  // the 5-byte buffer afterwards
        us took;
        int left;  // bytes still queued afterwards
        std::optional<us> goneAfter = {};
    } cases[] = {
        // clang-format off
        {"in pieces", 0, {{2ms, "AA 04"}, {5ms, "80"}, {9ms, "00 2E"}}, 100000, 1, "AA 04 80 00 2E", 9ms, 0},
        {"short reply waits the whole second", 100, {{1ms, "09 08 07"}}, 100000, 0, "09 08 07 00 00", 1s, 0},
        {"extra bytes stay queued", 0, {{0us, "01 02 03 04 05 06 07"}}, 100000, 1, "01 02 03 04 05", 0us, 2},
        {"last of 100 tries", 100, {{999us, "01 02 03 04 05"}}, 100, 1, "01 02 03 04 05", 999us, 0},
        {"after 100 tries", 100, {{1001us, "01 02 03 04 05"}}, 100, 0, "00 00 00 00 00", 1ms, 0},
        {"zero tries", 0, {{0us, "01 02 03 04 05"}}, 0, 0, "00 00 00 00 00", 0us, 5},
        {"negative tries", 0, {{0us, "01 02 03 04 05"}}, -1, 0, "00 00 00 00 00", 0us, 5},
        {"device vanishes mid-wait", 0, {{1ms, "AA 04"}}, 100000, 0, "AA 04 00 00 00", 3ms, 0, 3ms},
        {"device gone", 0, {}, 100000, 0, "00 00 00 00 00", 0us, 0, 0us},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        ASSERT_EQ(r.link.OpenPort(0, 3, nullptr), 0);
        const Bytes frame(static_cast<std::size_t>(c.sent), 0x11);
        ASSERT_EQ(r.link.SendBytes(frame.data(), c.sent), c.sent);
        const TimePoint wireFree = r.world.now + r.link.WireTime(c.sent);
        for (const auto& [after, hex] : c.arrivals) {
            r.P(0).incoming[wireFree + after] = glassbench::testing::Bytes(hex);
        }
        r.P(0).goneAt = c.goneAfter ? std::optional(wireFree + *c.goneAfter) : std::nullopt;
        Bytes reply(5, 0);
        EXPECT_EQ(r.link.ReceiveExact(reply.data(), 5, c.tries), c.result);
        EXPECT_EQ(Hex(reply), c.got);
        EXPECT_EQ(r.world.now - wireFree, c.took);
        EXPECT_LE(r.world.waits, static_cast<int>(c.arrivals.size()) + 1);  // no busy polling
        // What is left stays queued for the next reply.
        std::size_t left = r.P(0).queue.size();
        for (const auto& [at, bytes] : r.P(0).incoming) {
            left += at <= r.world.now ? bytes.size() : 0;
        }
        EXPECT_EQ(left, static_cast<std::size_t>(c.left));
    }
}

}  // namespace
}  // namespace glassbench::serial

namespace glassbench::serial {
namespace {

// The exchange every caller shares: stale input goes before the write, the caller hears of
// the write before the wait, and only a frame that went out whole waits for a reply.
TEST(ExchangeTest, DiscardsStaleInputAndWaitsOnlyForAFrameThatWentOut) {
    const struct {
        const char* name;
        bool open;
        int writeRoom;
        int written;
        std::errc error;
        bool replied;
        std::chrono::nanoseconds took;  // from the start of the write
    } cases[] = {
        // clang-format off
        {"answered", true, INT_MAX, 5, {}, true, 2ms + 5'208'333ns},
        {"no port", false, INT_MAX, 0, std::errc::not_connected, false, 0ms},
        {"stuck", true, 3, 3, std::errc::timed_out, false, 1s + 5'208'333ns},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        ASSERT_EQ(r.link.OpenPort(c.open ? 0 : 30, 3, nullptr), c.open ? 0 : 1);
        r.P(0).queue = {0xEE, 0xEE};  // a late byte pair of the exchange before
        r.P(0).writeRoom = c.writeRoom;
        r.P(0).incoming[r.world.now + r.link.WireTime(5) + 2ms] = {1, 2, 3, 4, 5};
        protocol::CommandFrame frame{0xAA, 0x04, 0x80, 0x00, 0x2E};
        const TimePoint start = r.world.now;
        int calls = 0;
        const ExchangeResult result = Exchange(r.link, frame, 5, [&](const ExchangeResult& w) {
            ++calls;
            EXPECT_EQ(w.written, c.written);
            EXPECT_EQ(r.world.now - start, c.written == 3 ? c.took : 0ns);  // before any wait
        });
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(result.Sent(), c.written == 5);
        EXPECT_TRUE(result.sendError == c.error);
        EXPECT_EQ(static_cast<bool>(result.sendError), c.error != std::errc{});
        EXPECT_EQ(result.replied, c.replied);
        EXPECT_EQ(Hex(&frame[protocol::kReplyOffset], 5),
                  c.replied ? "01 02 03 04 05" : "00 00 00 00 00");
        EXPECT_EQ(r.world.now - start, c.took);
        EXPECT_EQ(r.P(0).queue.size(), c.open ? 0u : 2u);
    }
}

// A port lost is given back at once, so that the adapter can come back under its old name; a
// reopen takes the same adapter, found by what it is under the name it has now, and never the
// device that took its old name meanwhile. A port that is no USB adapter is its name.
TEST(SerialLinkTest, ALostPortIsGivenBackAndReopenedAsTheSameDevice) {
    const auto adapter = [](const std::string& device, const std::string& serial) {
        PresentPort port;
        port.device = device;
        port.driver = "ftdi_sio";
        port.usb = UsbIdentity{0x0403, 0x6001, serial, "FTDI", "FT232R USB UART", 0, "1-1"};
        return port;
    };
    // Rows of this platform's own table: /dev/ttyUSB0 and 1, or COM1 and COM2.
    const std::string usb0 = Row(0), usb1 = Row(1);
    const struct {
        const char* name;
        std::vector<PresentPort> before, after;  // what is present at the open, and after
        std::string opened;                      // "" when the reopen opens nothing
        std::string awaited;
    } cases[] = {
        {"back under its old name",
         {adapter(usb0, "A1")},
         {adapter(usb0, "A1")},
         usb0,
         "usb:0403:6001:A1"},
        {"back under another name, its old one taken by another adapter",
         {adapter(usb0, "A1")},
         {adapter(usb0, "B2"), adapter(usb1, "A1")},
         usb1,
         "usb:0403:6001:A1"},
        {"not back, another adapter under its old name",
         {adapter(usb0, "A1")},
         {adapter(usb0, "B2")},
         "",
         "usb:0403:6001:A1"},
        {"no USB adapter: its name", {}, {}, usb0, usb0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.world.present = c.before;
        ASSERT_EQ(rig.link.OpenPort(0, 3, nullptr), 0);
        ASSERT_EQ(rig.link.PortName(0), usb0);
        EXPECT_EQ(rig.link.AwaitedPort(), c.awaited);
        rig.world.ports[usb0].goneAt = rig.world.now;
        EXPECT_EQ(rig.link.SendBytes(kFrame.data(), 5), 0);
        EXPECT_TRUE(rig.link.Lost());
        EXPECT_FALSE(rig.link.IsReady());
        EXPECT_EQ(rig.link.LostReason(), std::make_error_code(std::errc::io_error).message());
        EXPECT_FALSE(rig.world.ports[usb0].held);  // given back at once
        rig.world.ports[usb0].goneAt.reset();
        rig.world.present = c.after;
        rig.world.log.clear();
        EXPECT_EQ(rig.link.Reopen(), c.opened.empty() ? 1 : 0);
        EXPECT_EQ(rig.link.IsReady(), !c.opened.empty());
        if (c.opened.empty()) {
            EXPECT_TRUE(rig.world.log.empty()) << ::testing::PrintToString(rig.world.log);
            EXPECT_EQ(rig.link.LastOpenReason(), c.awaited + " is not there");
        } else {
            EXPECT_EQ(rig.world.log.front(), "open " + c.opened);
            EXPECT_EQ(rig.link.OpenedDevice(), c.opened);
            EXPECT_FALSE(rig.link.Lost());
        }
    }
}

}  // namespace
}  // namespace glassbench::serial
