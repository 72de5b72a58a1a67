// SerialLink's logic against the scripted fake: result codes and states, the order of the
// open steps, the modem-line messages, and the reply window in virtual time.
#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <string>
#include <vector>

#include "serial/FakeSerialSystem.h"
#include "serial/SerialLink.h"

namespace glassbench::serial {
namespace {

using namespace std::chrono_literals;
using testing::FakeSerialSystem;
using testing::FakeWorld;
using Bytes = std::vector<std::uint8_t>;

struct Shown {
    WindowHandle owner;
    std::string text;
    std::string caption;
    MessageIcon icon;
};

class RecordingSink : public MessageSink {
  public:
    void ShowMessage(WindowHandle owner, std::string_view text, std::string_view caption,
                     MessageIcon icon) override {
        shown.push_back({owner, std::string(text), std::string(caption), icon});
    }
    std::vector<Shown> shown;
};

PortNames TestNames() {
    PortNames names;
    for (int i = 0; i < kPortCount; ++i) {
        names[static_cast<std::size_t>(i)] = "P" + std::to_string(i);
    }
    return names;
}

class SerialLinkTest : public ::testing::Test {
  protected:
    SerialLinkTest()
        : world(std::make_shared<FakeWorld>()),
          link(std::make_unique<FakeSerialSystem>(world), TestNames(), &sink) {}

    // Opens P0 at 9600 and forgets the log so far.
    void OpenReady(int index = 0, int speedIndex = 3) {
        ASSERT_EQ(link.OpenPort(index, speedIndex, nullptr), 0);
        world->log.clear();
    }
    testing::FakePort& P(int index) { return world->port("P" + std::to_string(index)); }

    std::shared_ptr<FakeWorld> world;
    RecordingSink sink;
    SerialLink link;
};

// ---- OpenPort: codes and states -------------------------------------------------------

struct OpenCase {
    const char* name;
    void (*arrange)(testing::FakePort&);
    int code;
    bool holds;
    bool ready;
};

const OpenCase kOpenCases[] = {
    {"configured", [](testing::FakePort&) {}, 0, true, true},
    {"absent", [](testing::FakePort& p) { p.exists = false; }, 1, false, false},
    {"held elsewhere",
     [](testing::FakePort& p) {
         p.openError = std::make_error_code(std::errc::device_or_resource_busy);
     },
     1, false, false},
    {"state unreadable", [](testing::FakePort& p) { p.failReadSettings = true; }, 2, true, false},
    {"state refused", [](testing::FakePort& p) { p.failWriteSettings = true; }, 3, true, false},
    {"modem lines refused", [](testing::FakePort& p) { p.modem = ModemResult::Failed; }, 3, true,
     false},
    {"no modem lines", [](testing::FakePort& p) { p.modem = ModemResult::NoModemLines; }, 0, true,
     true},
    {"time-outs unreadable", [](testing::FakePort& p) { p.failReadTimeouts = true; }, 4, true,
     false},
    {"time-outs refused", [](testing::FakePort& p) { p.failWriteTimeouts = true; }, 5, true, false},
};

TEST_F(SerialLinkTest, OpenCodesAndStates) {
    for (const auto& c : kOpenCases) {
        SCOPED_TRACE(c.name);
        world = std::make_shared<FakeWorld>();
        SerialLink fresh(std::make_unique<FakeSerialSystem>(world), TestNames(), &sink);
        c.arrange(world->port("P4"));
        EXPECT_EQ(fresh.OpenPort(4, 3, nullptr), c.code);
        EXPECT_EQ(fresh.HoldsDevice(), c.holds);
        EXPECT_EQ(fresh.IsReady(), c.ready);
        EXPECT_EQ(world->port("P4").held, c.holds);
        EXPECT_EQ(static_cast<bool>(fresh.LastOpenError()), c.code != 0);
        // Nothing reaches the wire while opening, whatever the outcome.
        EXPECT_TRUE(world->port("P4").wire.empty());
    }
}

TEST_F(SerialLinkTest, OpenReportsTheSystemsReason) {
    P(2).openError = std::make_error_code(std::errc::permission_denied);
    EXPECT_EQ(link.OpenPort(2, 3, nullptr), 1);
    EXPECT_EQ(link.LastOpenError(), std::errc::permission_denied);
    EXPECT_EQ(link.OpenPort(2, 3, nullptr), 1);
    P(2).openError.clear();
    EXPECT_EQ(link.OpenPort(2, 3, nullptr), 0);
    EXPECT_FALSE(link.LastOpenError());
}

TEST_F(SerialLinkTest, IndexOutsideTheTableNamesNoPortAndReleasesTheHeldOne) {
    for (const int index : {-1, kPortCount, 1000}) {
        SCOPED_TRACE(index);
        OpenReady();
        EXPECT_EQ(link.OpenPort(index, 3, nullptr), 1);
        EXPECT_FALSE(link.HoldsDevice());
        EXPECT_FALSE(link.IsReady());
        EXPECT_FALSE(P(0).held);
        // The index is never handed to the system.
        EXPECT_EQ(world->log, (std::vector<std::string>{"close P0"}));
    }
}

TEST_F(SerialLinkTest, SpeedOutsideTheTableIsARefusedState) {
    for (const int speed : {-1, kSpeedCount}) {
        EXPECT_EQ(link.OpenPort(0, speed, nullptr), 3);
        EXPECT_TRUE(link.HoldsDevice());
        EXPECT_FALSE(link.IsReady());
        EXPECT_FALSE(P(0).written.has_value());
    }
}

TEST_F(SerialLinkTest, HeldDeviceIsReleasedBeforeTheNextOpen) {
    OpenReady(0);
    P(7).openError = std::make_error_code(std::errc::device_or_resource_busy);
    EXPECT_EQ(link.OpenPort(7, 3, nullptr), 1);
    EXPECT_EQ(world->log, (std::vector<std::string>{"close P0", "open P7"}));
    // A failed open leaves nothing open, even though P0 was ready before.
    EXPECT_FALSE(P(0).held);
    EXPECT_FALSE(link.HoldsDevice());
    EXPECT_FALSE(link.IsReady());
    const Bytes frame{0xAA, 0x04, 0x80, 0x00, 0x2E};
    EXPECT_EQ(link.SendBytes(frame.data(), 5), 0);
    EXPECT_TRUE(P(0).wire.empty());
}

TEST_F(SerialLinkTest, ReopeningTheSamePortReleasesItFirst) {
    OpenReady(3);
    EXPECT_EQ(link.OpenPort(3, 6, nullptr), 0);
    EXPECT_EQ(world->log.front(), "close P3");
    EXPECT_EQ(world->log.at(1), "open P3");
    EXPECT_EQ(P(3).written->bitsPerSecond, 115200);
}

TEST_F(SerialLinkTest, HeldNotReadyStaysHeldUntilTheNextOpen) {
    P(1).failWriteTimeouts = true;
    EXPECT_EQ(link.OpenPort(1, 3, nullptr), 5);
    // No other program could take it meanwhile.
    std::error_code error;
    FakeSerialSystem other(world);
    EXPECT_EQ(other.Open("P1", error), nullptr);
    EXPECT_EQ(error, std::errc::device_or_resource_busy);
    EXPECT_EQ(link.OpenPort(2, 3, nullptr), 0);
    EXPECT_FALSE(P(1).held);
}

// ---- the order and content of the settings -------------------------------------------

TEST_F(SerialLinkTest, OpenStepsComeInOrder) {
    EXPECT_EQ(link.OpenPort(5, 3, nullptr), 0);
    EXPECT_EQ(world->log,
              (std::vector<std::string>{"open P5", "read-settings", "write-settings",
                                        "modem dtr=1 rts=1", "read-timeouts", "write-timeouts"}));
    EXPECT_TRUE(P(5).dtr);
    EXPECT_TRUE(P(5).rts);
}

struct SettingsCase {
    int speedIndex;
    int bitsPerSecond;
    bool reportedHardwareFlow;
};

TEST_F(SerialLinkTest, LineSettingsAreRawEightNoneOneAtTheTablesSpeed) {
    const SettingsCase cases[] = {
        {0, 1200, false}, {3, 9600, true}, {4, 19200, false}, {5, 57600, true}, {6, 115200, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bitsPerSecond);
        P(0).reported = {300, 7, true, 2, false, c.reportedHardwareFlow};
        ASSERT_EQ(link.OpenPort(0, c.speedIndex, nullptr), 0);
        const LineSettings expected{c.bitsPerSecond, 8, false, 1, true, c.reportedHardwareFlow};
        EXPECT_EQ(*P(0).written, expected);
        EXPECT_EQ(link.BitsPerSecond(), c.bitsPerSecond);
    }
}

TEST_F(SerialLinkTest, ReadTimeoutsAreZeroThousandZero) {
    OpenReady();
    EXPECT_EQ(*P(0).writtenTimeouts, (ReadTimeouts{0, 1000, 0}));
    EXPECT_EQ(link.Timeouts(), (ReadTimeouts{0, 1000, 0}));
}

// ---- SetModemLines -------------------------------------------------------------------

struct ModemCase {
    const char* name;
    bool open;
    bool failRead;
    ModemResult modem;
    const char* text;  // nullptr: no message
    MessageIcon icon;
};

TEST_F(SerialLinkTest, ModemLineMessages) {
    const ModemCase cases[] = {
        {"no device", false, false, ModemResult::Done,
         "No port is open, so I can't set DTR or RTS.", MessageIcon::Information},
        {"state unreadable", true, true, ModemResult::Done, "Can't get the port state.",
         MessageIcon::Exclamation},
        {"state refused", true, false, ModemResult::Failed, "Can't set the port state.",
         MessageIcon::Exclamation},
        {"no modem lines", true, false, ModemResult::NoModemLines, nullptr,
         MessageIcon::Information},
        {"set", true, false, ModemResult::Done, nullptr, MessageIcon::Information},
    };
    int ownerObject = 0;
    WindowHandle owner = &ownerObject;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        world = std::make_shared<FakeWorld>();
        RecordingSink messages;
        SerialLink fresh(std::make_unique<FakeSerialSystem>(world), TestNames(), &messages);
        world->port("P0").exists = c.open;
        fresh.OpenPort(0, 3, owner);
        world->port("P0").failReadSettings = c.failRead;
        world->port("P0").modem = c.modem;
        fresh.SetModemLines(true, false);
        if (c.text == nullptr) {
            EXPECT_TRUE(messages.shown.empty());
        } else {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].text, c.text);
            EXPECT_EQ(messages.shown[0].caption, "Error");
            EXPECT_EQ(messages.shown[0].icon, c.icon);
            // The box belongs to the window of the latest open, even a failed one.
            EXPECT_EQ(messages.shown[0].owner, owner);
        }
    }
}

TEST_F(SerialLinkTest, ModemLinesFollowTheArguments) {
    OpenReady();
    link.SetModemLines(true, false);
    EXPECT_TRUE(P(0).dtr);
    EXPECT_FALSE(P(0).rts);
    link.SetModemLines(false, true);
    EXPECT_FALSE(P(0).dtr);
    EXPECT_TRUE(P(0).rts);
    EXPECT_EQ(world->log, (std::vector<std::string>{"read-settings", "modem dtr=1 rts=0",
                                                    "read-settings", "modem dtr=0 rts=1"}));
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(SerialLinkTest, ModemLinesNeedAHeldDeviceButNotAReadyOne) {
    P(0).failReadTimeouts = true;
    ASSERT_EQ(link.OpenPort(0, 3, nullptr), 4);
    link.SetModemLines(false, false);
    EXPECT_FALSE(P(0).dtr);
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(SerialLinkTest, NoSinkDropsMessages) {
    SerialLink quiet(std::make_unique<FakeSerialSystem>(world), TestNames(), nullptr);
    quiet.SetModemLines(true, true);  // must not crash
    quiet.SetMessageSink(&sink);
    quiet.SetModemLines(true, true);
    EXPECT_EQ(sink.shown.size(), 1u);
}

// ---- SendBytes -----------------------------------------------------------------------

TEST_F(SerialLinkTest, SendBeforeAnyOpenWritesNothing) {
    const Bytes frame{0xAA, 0x04, 0x80, 0x00, 0x2E};
    EXPECT_EQ(link.SendBytes(frame.data(), 5), 0);
    P(0).failReadTimeouts = true;
    ASSERT_EQ(link.OpenPort(0, 3, nullptr), 4);
    EXPECT_EQ(link.SendBytes(frame.data(), 5), 0);
    EXPECT_TRUE(P(0).wire.empty());
}

TEST_F(SerialLinkTest, SendWritesTheWholeFrame) {
    OpenReady();
    Bytes frame(63);
    std::iota(frame.begin(), frame.end(), std::uint8_t{0xC0});
    EXPECT_EQ(link.SendBytes(frame.data(), 63), 63);
    EXPECT_EQ(P(0).wire, frame);
    EXPECT_EQ(link.SendBytes(frame.data(), 0), 0);
    EXPECT_EQ(link.SendBytes(nullptr, 5), 0);
}

TEST_F(SerialLinkTest, SendWaitsForRoomWhenTheDriverIsFull) {
    OpenReady();
    P(0).writeRoom = 3;
    P(0).roomAt = world->now + 200ms;
    const Bytes frame{1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(link.SendBytes(frame.data(), 7), 7);
    EXPECT_EQ(P(0).wire, frame);
}

TEST_F(SerialLinkTest, SendGivesUpAfterWireTimePlusOneSecond) {
    OpenReady(0, 3);  // 9600: 100 bytes are 104.17 ms on the wire
    P(0).writeRoom = 40;
    const TimePoint start = world->now;
    const Bytes frame(100, 0x55);
    EXPECT_EQ(link.SendBytes(frame.data(), 100), 40);
    const auto waited = world->now - start;
    EXPECT_EQ(waited, link.WireTime(100) + 1s);
    EXPECT_EQ(link.WireTime(100), std::chrono::nanoseconds(104'166'666));
}

TEST_F(SerialLinkTest, SendToAVanishedDeviceReturnsZero) {
    OpenReady();
    P(0).goneAt = world->now;
    const Bytes frame{0xAA, 0x04, 0x80, 0x00, 0x2E};
    EXPECT_EQ(link.SendBytes(frame.data(), 5), 0);
    // The link keeps its state until the next open.
    EXPECT_TRUE(link.IsReady());
}

// ---- ReceiveAvailable and ReceiveExact --------------------------------------------------

TEST_F(SerialLinkTest, ReceiveAvailableTakesAtMostRoom) {
    OpenReady();
    world->Arrive("P0", 0ns, {1, 2, 3, 4, 5, 6, 7});
    Bytes buffer(8, 0);
    EXPECT_EQ(link.ReceiveAvailable(buffer.data(), 3), 3);
    EXPECT_EQ(link.ReceiveAvailable(buffer.data() + 3, 0), 0);
    EXPECT_EQ(link.ReceiveAvailable(buffer.data() + 3, 8), 4);
    EXPECT_EQ(link.ReceiveAvailable(buffer.data() + 7, 1), 0);
    EXPECT_EQ(buffer, (Bytes{1, 2, 3, 4, 5, 6, 7, 0}));
}

TEST_F(SerialLinkTest, ReceiveAvailableWhenNotReadyReadsNothing) {
    world->Arrive("P0", 0ns, {1, 2});
    P(0).failWriteSettings = true;
    ASSERT_EQ(link.OpenPort(0, 3, nullptr), 3);
    Bytes buffer(2, 0);
    EXPECT_EQ(link.ReceiveAvailable(buffer.data(), 2), 0);
    EXPECT_EQ(world->queries, 0);
}

TEST_F(SerialLinkTest, ReplyInPiecesIsCollectedIntoConsecutivePositions) {
    OpenReady();
    world->Arrive("P0", 2ms, {0xAA, 0x04});
    world->Arrive("P0", 5ms, {0x80});
    world->Arrive("P0", 9ms, {0x00, 0x2E});
    Bytes reply(5, 0);
    EXPECT_EQ(link.ReceiveExact(reply.data(), 5, 100000), 1);
    EXPECT_EQ(reply, (Bytes{0xAA, 0x04, 0x80, 0x00, 0x2E}));
    EXPECT_EQ(link.LastReceivedCount(), 5);
}

TEST_F(SerialLinkTest, ShortReplyGivesZeroAndKeepsWhatCame) {
    OpenReady();
    world->Arrive("P0", 1ms, {9, 8, 7});
    Bytes reply(5, 0);
    EXPECT_EQ(link.ReceiveExact(reply.data(), 5, 100000), 0);
    EXPECT_EQ(reply, (Bytes{9, 8, 7, 0, 0}));
    EXPECT_EQ(link.LastReceivedCount(), 3);
    // The bytes are no longer queued.
    EXPECT_EQ(link.ReceiveAvailable(reply.data(), 5), 0);
}

TEST_F(SerialLinkTest, ExtraBytesStayQueuedForTheNextReply) {
    OpenReady();
    world->Arrive("P0", 0ns, {1, 2, 3, 4, 5, 6, 7});
    Bytes reply(5, 0);
    EXPECT_EQ(link.ReceiveExact(reply.data(), 5, 100000), 1);
    EXPECT_EQ(world->queries, 1);  // one poll
    EXPECT_EQ(world->waits, 0);
    world->Arrive("P0", 1ms, {8, 9, 10});
    EXPECT_EQ(link.ReceiveExact(reply.data(), 5, 100000), 1);
    EXPECT_EQ(reply, (Bytes{6, 7, 8, 9, 10}));
}

TEST_F(SerialLinkTest, DiscardInputDropsStrayBytesBeforeTheNextFrame) {
    OpenReady();
    world->Arrive("P0", 0ns, {0xAA, 0x04, 0x80, 0x00, 0x2E, 0x00});
    Bytes reply(5, 0);
    ASSERT_EQ(link.ReceiveExact(reply.data(), 5, 100000), 1);
    link.DiscardInput();
    world->Arrive("P0", 3ms, {0xAA, 0x04, 0x81, 0x00, 0x2F});
    ASSERT_EQ(link.ReceiveExact(reply.data(), 5, 100000), 1);
    EXPECT_EQ(reply, (Bytes{0xAA, 0x04, 0x81, 0x00, 0x2F}));
}

struct TriesCase {
    int wanted;
    int tries;
    int result;
};

TEST_F(SerialLinkTest, TriesOfZeroOrLessPollNothing) {
    OpenReady();
    world->Arrive("P0", 0ns, {1, 2, 3, 4, 5});
    const TriesCase cases[] = {{0, 0, 1}, {5, 0, 0}, {0, -7, 1}, {5, -1, 0}, {-1, 0, 0}};
    Bytes buffer(5, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wanted * 100 + c.tries);
        EXPECT_EQ(link.ReceiveExact(buffer.data(), c.wanted, c.tries), c.result);
    }
    EXPECT_EQ(world->queries, 0);
    EXPECT_EQ(buffer, Bytes(5, 0));
}

TEST_F(SerialLinkTest, NotReadyTriesCostNothing) {
    const TimePoint start = world->now;
    Bytes buffer(5, 0);
    EXPECT_EQ(link.ReceiveExact(buffer.data(), 5, 100000), 0);
    EXPECT_EQ(link.ReceiveExact(buffer.data(), 0, 100000), 1);
    EXPECT_EQ(world->now, start);
    EXPECT_EQ(world->waits, 0);
}

TEST_F(SerialLinkTest, TriesBecomeTenMicrosecondsEachFromTheEndOfTheFrame) {
    OpenReady(0, 3);
    const Bytes frame(100, 0x11);
    const TimePoint start = world->now;
    ASSERT_EQ(link.SendBytes(frame.data(), 100), 100);
    const TimePoint wireFree = start + link.WireTime(100);
    // Just inside and just outside a window of 100 tries (1 ms).
    world->Arrive("P0", link.WireTime(100) + 999us, {1, 2, 3, 4, 5});
    Bytes reply(5, 0);
    EXPECT_EQ(link.ReceiveExact(reply.data(), 5, 100), 1);
    EXPECT_EQ(world->now, wireFree + 999us);

    ASSERT_EQ(link.SendBytes(frame.data(), 100), 100);
    const TimePoint secondFree = world->now + link.WireTime(100);
    world->Arrive("P0", link.WireTime(100) + 1001us, {1, 2, 3, 4, 5});
    EXPECT_EQ(link.ReceiveExact(reply.data(), 5, 100), 0);
    EXPECT_EQ(world->now, secondFree + 1ms);
}

TEST_F(SerialLinkTest, SilentModuleCostsOneWaitOfOneSecond) {
    OpenReady(0, 6);
    const Bytes frame{0xAA, 0x04, 0x80, 0x00, 0x2E};
    const TimePoint start = world->now;
    ASSERT_EQ(link.SendBytes(frame.data(), 5), 5);
    Bytes reply(5, 0);
    EXPECT_EQ(link.ReceiveExact(reply.data(), 5, 100000), 0);
    EXPECT_EQ(world->now, start + link.WireTime(5) + 1s);
    EXPECT_LE(world->waits, 1);
    EXPECT_LE(world->queries, 2);
}

TEST_F(SerialLinkTest, DeviceVanishingMidWaitEndsTheWaitAtOnce) {
    OpenReady();
    world->Arrive("P0", 1ms, {0xAA, 0x04});
    P(0).goneAt = world->now + 3ms;
    Bytes reply(5, 0);
    const TimePoint start = world->now;
    EXPECT_EQ(link.ReceiveExact(reply.data(), 5, 100000), 0);
    EXPECT_EQ(world->now, start + 3ms);
    EXPECT_EQ(link.LastReceivedCount(), 2);
    // Later calls neither wait nor fail loudly.
    const int waits = world->waits;
    EXPECT_EQ(link.ReceiveExact(reply.data(), 5, 100000), 0);
    EXPECT_EQ(world->waits, waits);
    EXPECT_EQ(world->now, start + 3ms);
    EXPECT_TRUE(link.IsReady());
}

TEST_F(SerialLinkTest, ReadOfZeroAfterReadinessEndsTheWait) {
    OpenReady();
    P(0).endOfFile = true;
    Bytes reply(5, 0);
    const TimePoint start = world->now;
    EXPECT_EQ(link.ReceiveExact(reply.data(), 5, 100000), 0);
    EXPECT_EQ(world->now, start);
    EXPECT_LE(world->waits, 1);
}

TEST_F(SerialLinkTest, PortNamesComeFromTheTable) {
    EXPECT_EQ(link.PortName(0), "P0");
    EXPECT_EQ(link.PortName(29), "P29");
    EXPECT_EQ(link.PortName(30), "");
    EXPECT_EQ(link.PortName(-1), "");
}

}  // namespace
}  // namespace glassbench::serial
