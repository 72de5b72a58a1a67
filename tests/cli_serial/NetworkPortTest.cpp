// glassbench-cli over network ports: the virtual module on its pseudo-terminal behind ser2net,
// the server people put in front of their serial lines, as an RFC 2217 port and as raw TCP.
// The CLI under test may be the Windows build under Wine (GLASSBENCH_TEST_CLI), which then
// reaches ser2net through Winsock.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "FrameExamples.h"
#include "ModuleFixture.h"
#include "Ser2net.h"

namespace glassbench::testing {
namespace {

using namespace std::chrono_literals;

class NetworkPortTest : public ModuleTest, public ::testing::WithParamInterface<const char*> {
  protected:
    // The module behind ser2net; nullptr after a failure is recorded.
    const Ser2net* Serve() {
        StartModule();
        ser2net_ = std::make_unique<Ser2net>(path, GetParam());
        EXPECT_FALSE(ser2net_->Name().empty()) << ser2net_->Error();
        return ser2net_->Name().empty() ? nullptr : ser2net_.get();
    }
    ProcessResult Play(const std::string& script, const std::string& port) {
        return Cli().Run({"play", script, "--port=" + port, "--no-pulse", "--speed=115200"});
    }

    std::unique_ptr<Ser2net> ser2net_;
};

// Every worked frame, played once over the module's own terminal and once through ser2net:
// the module describes the same frames both times, byte for byte.
TEST_P(NetworkPortTest, TheWorkedFramesReachTheModuleAsOverItsOwnTerminal) {
    const Ser2net* server = Serve();
    ASSERT_NE(server, nullptr);
    std::ostringstream script;
    for (const FrameExample& e : kFrameExamples) {
        script << "--command=" << e.command << " --x=" << e.x << " --y=" << e.y << " --data='"
               << e.data << "' --transparent=" << e.transparent << " --font-size=" << e.fontSize
               << " --lcd-type=" << e.lcdType << "\n";
    }
    const auto file = dir.Write("examples.gbs", script.str()).string();
    const int frames = static_cast<int>(kFrameExamples.size());
    std::vector<std::string> described;
    for (const std::string& port : {path, server->Name()}) {
        SCOPED_TRACE(port);
        const std::size_t before = module->out().size();
        const ProcessResult r = Play(file, port);
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(CountOf(r.out, "received: AA 04 "), frames) << r.out;
        // The module writes a frame's line before its reply: the lines are all there.
        const int seen = frames * static_cast<int>(described.size() + 1);
        EXPECT_TRUE(module->WaitFor(" -> status ", 10s, seen)) << module->out();
        described.push_back(module->out().substr(before));
    }
    EXPECT_EQ(CountOf(described[0], "\n"), frames) << described[0];
    EXPECT_EQ(described[1], described[0]);
}

// The demo, and a recording with raw frames that the module answers with bad statuses.
TEST_P(NetworkPortTest, TheExampleScriptsMeetEveryExpectation) {
    const Ser2net* server = Serve();
    ASSERT_NE(server, nullptr);
    for (const char* script :
         {GLASSBENCH_DEMO_SCRIPT, GLASSBENCH_SOURCE_DIR "/examples/recorded.gbs"}) {
        const ProcessResult r = Play(script, server->Name());
        EXPECT_EQ(r.exitCode, 0) << script << r.out << r.err;
        EXPECT_NE(r.out.find(" replies, 0 expectations failed\n"), std::string::npos) << r.out;
    }
}

INSTANTIATE_TEST_SUITE_P(Ser2net, NetworkPortTest, ::testing::Values("rfc2217", "socket"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace glassbench::testing
