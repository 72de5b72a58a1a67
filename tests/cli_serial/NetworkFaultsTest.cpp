// glassbench-cli against network servers that misbehave: one that stops reading, floods, storms
// with Telnet commands, answers a purge late with stale bytes before its next answer, closes in
// the middle of an exchange, and real ser2net whose device another client holds. Whatever a
// server does, the tool never hangs, never grows without bound, and never shows a server's
// bytes as the module's reply when they are not. The scripted servers (FaultyServer.h) run in
// this Linux test program; the CLI under test may be the Windows build under Wine.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/timerfd.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "FaultyServer.h"
#include "ModuleFixture.h"
#include "Ser2net.h"
#include "net/Telnet.h"

namespace glassbench::testing {
namespace {

using namespace std::chrono_literals;
namespace telnet = net::telnet;

const ByteString kClear{0xAA, 0x04, 0x80, 0x00, 0x2E};

// The server's side of Telnet with the com-port option: the option offer an access server
// makes, and every com-port request answered with its value (a purge only when the script
// says).
class AccessServerSide {
  public:
    explicit AccessServerSide(const ServerConnection& c) : c_(c) {
        telnet::Bytes offer;
        codec_.RequestLocal(telnet::Option::Binary, offer);
        codec_.RequestRemote(telnet::Option::Binary, offer);
        codec_.RequestLocal(telnet::Option::SuppressGoAhead, offer);
        codec_.RequestRemote(telnet::Option::SuppressGoAhead, offer);
        c_.Send(offer);
    }

    struct Received {
        ByteString data;
        int purges = 0;  // PURGE-DATA requests among them, not answered
    };

    // The next bytes from the client: negotiation and settings answered, purges counted;
    // nullopt once the client has gone.
    std::optional<Received> Next() {
        const auto bytes = c_.Read();
        if (!bytes) {
            return std::nullopt;
        }
        Received r;
        telnet::Bytes out;
        std::vector<telnet::ComPortMessage> messages;
        codec_.Decode(*bytes, r.data, out, messages);
        for (const auto& m : messages) {
            if (m.command == static_cast<std::uint8_t>(telnet::ComPort::PurgeData)) {
                ++r.purges;
            } else {
                telnet::AppendComPort(out, m.command + telnet::kServerOffset, m.value);
            }
        }
        c_.Send(out);
        return r;
    }

    bool AnswerPurge() {
        telnet::Bytes out;
        const std::uint8_t value = 1;
        telnet::AppendComPort(out, 12 + telnet::kServerOffset, {&value, 1});
        return c_.Send(out);
    }
    bool SendData(const ByteString& data) {
        telnet::Bytes out;
        telnet::AppendData(out, data);
        return c_.Send(out);
    }

  private:
    const ServerConnection& c_;
    telnet::TelnetCodec codec_{telnet::Role::Server};
};

std::string RawFrame(int length) {
    std::string hex = "AA";
    for (int i = 1; i < length; ++i) {
        hex += " 55";
    }
    return hex;
}

// A server that reads nothing: it answers on a clock of its own (every 10 ms, a reply for the
// frame the tool must be waiting for) and never takes a byte in. The tool's frames fill the
// socket buffers between them within a few dozen exchanges; then its writes must fail by their
// deadline, costing no CPU while they wait, and Ctrl+C must end the tool at once.
TEST(NetworkFaults, AServerThatStopsReadingFailsTheWriteByItsDeadline) {
    constexpr int kFrameLength = 256;
    FaultyServer server(
        [](const ServerConnection& c) {
            const int clock = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
            const itimerspec every10ms{{0, 10'000'000}, {0, 10'000'000}};
            ::timerfd_settime(clock, 0, &every10ms, nullptr);
            std::uint64_t ticks = 0;
            while (c.WaitOn(clock, POLLIN) && ::read(clock, &ticks, sizeof(ticks)) > 0 &&
                   c.Send(ByteString{0xAA, 0x04, 0x80, 0x00, 0x2E})) {
            }
            ::close(clock);
        },
        1);  // the system's least
    ASSERT_NE(server.Port(), 0);
    auto send =
        Cli().Start({"send", "--port=" + server.Url("socket"), "--no-pulse", "--repeat=1000000",
                     "--speed=115200", "--raw=" + RawFrame(kFrameLength)});
    ASSERT_TRUE(send->WaitFor("sent: none (", 60s)) << send->out().size() << send->err();
    const auto cpuBefore = CpuTimeOf(send->Pid());
    const auto wallBefore = std::chrono::steady_clock::now();
    // The next frame meets a full socket too, and waits its second for room in vain.
    ASSERT_TRUE(send->WaitFor("sent: none (", 60s, 2)) << send->err();
    const auto cpu = CpuTimeOf(send->Pid()) - cpuBefore;
    const auto wall = std::chrono::steady_clock::now() - wallBefore;
    EXPECT_GE(wall, 1s);
    EXPECT_LT(cpu * 5, wall) << cpu.count() << " ms of CPU waiting for room";
    EXPECT_NE(send->out().find("sent: none (the port took no more bytes in time)\n"),
              std::string::npos)
        << send->out().substr(send->out().size() - 200);
    send->Signal(SIGINT);
    const ProcessResult r = send->Finish(10s);
    EXPECT_EQ(r.exitCode, 130) << r.err;
}

// Floods and storms: a server that sends data as fast as it can, and one that sends nothing
// but Telnet requests ("IAC DO 5") as fast as it can, reading all that comes (before it sends
// more) or nothing. Each of the tool's reads does a bounded amount of work, what it holds stays
// bounded, and each exchange ends within its window.
void Flood(const ServerConnection& c, const ByteString& block, bool reads) {
    while (!c.Stopped()) {
        pollfd fds[1] = {{c.Fd(), static_cast<short>(POLLOUT | (reads ? POLLIN : 0)), 0}};
        if (!c.Wait(fds[0].events)) {
            return;
        }
        ::poll(fds, 1, 0);
        for (bool more = (fds[0].revents & POLLIN) != 0; more;) {
            std::uint8_t sink[4096];
            const ssize_t n = ::recv(c.Fd(), sink, sizeof(sink), MSG_DONTWAIT);
            if (n == 0) {
                return;
            }
            more = n > 0;
        }
        if ((fds[0].revents & POLLOUT) != 0 &&
            ::send(c.Fd(), block.data(), block.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0 &&
            errno != EAGAIN) {
            return;
        }
    }
}

ByteString Repeated(const ByteString& unit, std::size_t times) {
    ByteString block;
    for (std::size_t i = 0; i < times; ++i) {
        block.insert(block.end(), unit.begin(), unit.end());
    }
    return block;
}

// AddressSanitizer keeps freed memory aside (its quarantine), so under it a process's size says
// nothing of what the tool holds.
#ifdef GLASSBENCH_SANITIZERS
constexpr bool kSizeSaysWhatIsHeld = false;
#else
constexpr bool kSizeSaysWhatIsHeld = true;
#endif

// The flood starts at the connection: while the tool waits to see whether the server keeps the
// connection, it holds what comes, up to its bound.
TEST(NetworkFaults, AFloodIsReadInBoundedStepsAndHeldInBoundedMemory) {
    FaultyServer server(
        [](const ServerConnection& c) { Flood(c, ByteString(64 * 1024, 0x5A), true); });
    ASSERT_NE(server.Port(), 0);
    auto send =
        Cli().Start({"send", "--port=" + server.Url("socket"), "--no-pulse", "--repeat=1000000"});
    const std::string reply = "received: 5A 5A 5A 5A 5A\n";
    ASSERT_TRUE(send->WaitFor(reply, 60s, 20)) << send->err();
    const long early = ResidentKiBOf(send->Pid());
    ASSERT_TRUE(send->WaitFor(reply, 60s, 500)) << send->err();
    const long late = ResidentKiBOf(send->Pid());
    if (kSizeSaysWhatIsHeld) {
        EXPECT_LT(late - early, 8 * 1024) << early << " KiB, then " << late << " KiB";
    }
    send->Signal(SIGKILL);
    const ProcessResult r = send->Finish(10s);
    // The bytes nobody read in time are dropped and counted, and said once.
    EXPECT_EQ(CountOf(r.err, "dropped"), 1) << r.err;
}

// A storm: Telnet requests ("IAC DO 5", an option the tool refuses) without end. A server that
// reads the answers and asks again for each one it gets (a negotiation loop) keeps the tool
// busy, but never past an exchange's window; one that reads nothing lets the answers pile up
// to their bound, and the port has failed.
void NegotiationLoop(const ServerConnection& c, const ByteString& doFive) {
    if (!c.Send(Repeated(doFive, 1024))) {
        return;
    }
    for (std::size_t owed = 0;;) {
        const auto answers = c.Read();
        if (!answers) {
            return;
        }
        owed += answers->size();
        if (!c.Send(Repeated(doFive, owed / doFive.size()))) {
            return;
        }
        owed %= doFive.size();
    }
}

TEST(NetworkFaults, ANegotiationStormEndsEachExchangeAtItsWindow) {
    const ByteString doFive{telnet::kIac, telnet::kDo, 5};
    const struct {
        const char* name;
        FaultyServer::Script script;
        int exitCode;
    } cases[] = {
        {"asks again for each answer", [&](const auto& c) { NegotiationLoop(c, doFive); }, 1},
        {"reads nothing", [&](const auto& c) { Flood(c, Repeated(doFive, 4096), false); }, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FaultyServer server(c.script);
        ASSERT_NE(server.Port(), 0);
        const ProcessResult r =
            Cli().Run({"send", "--port=" + server.Url("rfc2217"), "--no-pulse", "--repeat=2"});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
        if (c.exitCode == 1) {
            EXPECT_EQ(CountOf(r.out, "received: none (0 of 5 bytes)\n"), 2) << r.out;
        } else {
            EXPECT_EQ(r.err, "Could not open port " + server.Url("rfc2217") +
                                 ".\nThe server reads nothing: the answers it must be sent "
                                 "piled up.\n");
        }
    }
}

// One purge answered late: the tool has stopped waiting for it and sent its frame. Before the
// next frame the server still holds stale bytes; they come before its answer to the next purge,
// or, to a tool that sends no purge, before the reply. The reply shown is the true one.
TEST(NetworkFaults, StaleBytesAfterALatePurgeAnswerAreNeverAReply) {
    const ByteString stale{0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    const ByteString replies[] = {{0xAA, 0x04, 0x80, 0x01, 0x2F}, {0xAA, 0x04, 0x80, 0x02, 0x30}};
    FaultyServer server([&](const ServerConnection& c) {
        AccessServerSide side(c);
        int purges = 0;
        int frames = 0;
        bool purgedSinceFrame = false;
        std::size_t dataBytes = 0;
        while (const auto r = side.Next()) {
            for (int i = 0; i < r->purges; ++i) {
                // The first is answered only once the frame shows the tool gave up on it.
                if (++purges > 1) {
                    side.SendData(stale);
                    side.AnswerPurge();
                }
                purgedSinceFrame = true;
            }
            dataBytes += r->data.size();
            for (; dataBytes >= kClear.size() && frames < 2; dataBytes -= kClear.size()) {
                if (frames == 0) {
                    side.AnswerPurge();
                } else if (!purgedSinceFrame) {
                    side.SendData(stale);
                }
                side.SendData(replies[frames++]);
                purgedSinceFrame = false;
            }
        }
    });
    ASSERT_NE(server.Port(), 0);
    const ProcessResult r =
        Cli().Run({"send", "--port=" + server.Url("rfc2217"), "--no-pulse", "--repeat=2"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find("exchanges:")),
              "sent: AA 04 80 00 2E\nreceived: AA 04 80 01 2F\n"
              "sent: AA 04 80 00 2E\nreceived: AA 04 80 02 30\n");
    EXPECT_EQ(CountOf(r.err, "did not answer PURGE-DATA within 400 ms"), 1) << r.err;
}

// A server that says something and closes once the frame has come: its words are the reason the
// exchange failed, never a reply. The words and the close go in one segment (TCP_CORK holds the
// words until the close), as they do from a server that writes and closes at once: the tool
// can tell only a close that has come by the time it reads.
TEST(NetworkFaults, AServersLastWordsBeforeItClosesAreNeverAReply) {
    const std::string words = "ERROR: line down\r\n";
    for (const std::string scheme : {"rfc2217", "socket"}) {
        SCOPED_TRACE(scheme);
        FaultyServer server([&](const ServerConnection& c) {
            const int on = 1;
            if (scheme == "socket") {
                c.Read();
                ::setsockopt(c.Fd(), IPPROTO_TCP, TCP_CORK, &on, sizeof(on));
                c.Send(words);
                return;
            }
            AccessServerSide side(c);
            while (const auto r = side.Next()) {
                for (int i = 0; i < r->purges; ++i) {
                    side.AnswerPurge();
                }
                if (!r->data.empty()) {
                    ::setsockopt(c.Fd(), IPPROTO_TCP, TCP_CORK, &on, sizeof(on));
                    side.SendData({words.begin(), words.end()});
                    return;
                }
            }
        });
        ASSERT_NE(server.Port(), 0);
        const ProcessResult r = Cli().Run({"send", "--port=" + server.Url(scheme), "--no-pulse"});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(r.out,
                  "sent: AA 04 80 00 2E\nreceived: none (0 of 5 bytes; the server closed the "
                  "connection (\"ERROR: line down\"))\n");
    }
}

// ser2net lets one client at a time have a device. A client of its other accepter meanwhile is
// told so in one line, and the connection closed: a port that would not open, with the server's
// words, never a reply.
class BusySer2net : public ModuleTest {};

TEST_F(BusySer2net, ADeviceHeldThroughTheOtherAccepterIsAFailedOpen) {
    StartModule();
    const Ser2net ser2net(path, "rfc2217,socket");
    ASSERT_EQ(ser2net.Names().size(), 2u) << ser2net.Error();
    for (const bool heldByRfc2217 : {false, true}) {
        const std::string held = ser2net.Names()[heldByRfc2217 ? 0 : 1];
        const std::string tried = ser2net.Names()[heldByRfc2217 ? 1 : 0];
        SCOPED_TRACE(held + " holds the device, " + tried + " is tried");
        // The holder has had its reply: ser2net has the device open for it. For a moment
        // after the last holder has gone ser2net still calls the device busy, and says so.
        std::unique_ptr<Process> holder;
        for (int tries = 0; tries < 50 && !holder; ++tries) {
            holder = Cli().Start(
                {"send", "--port=" + held, "--no-pulse", "--repeat=2", "--interval=600000"});
            if (!holder->WaitFor("received: AA 04 80 00 2E\n", 30s)) {
                const ProcessResult busy = holder->Finish();
                ASSERT_NE(busy.err.find("already in use"), std::string::npos) << busy.err;
                holder.reset();
            }
        }
        ASSERT_TRUE(holder);
        for (const char* pulse : {"--no-pulse", "--speed=9600"}) {
            SCOPED_TRACE(pulse);
            const ProcessResult r = Cli().Run({"send", "--port=" + tried, pulse});
            EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, "Could not open port " + tried +
                                 ".\nThe server closed the connection (\"Port's device already "
                                 "in use\").\n");
        }
        holder->Signal(SIGKILL);
        holder->Finish();
    }
}

}  // namespace
}  // namespace glassbench::testing
