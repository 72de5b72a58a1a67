#include "Scenario.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>

namespace glassbench::testing::qemu {

namespace {

struct Shared {
    std::unique_ptr<KernelBench> bench;
    std::string skipped;  // why there is no guest here
    std::string failed;   // why the guest did not boot
};

Shared& TheBench() {
    static Shared shared = [] {
        Shared made;
        const char* guest = std::getenv("GLASSBENCH_QEMU_GUEST");
        if (guest == nullptr || *guest == '\0') {
            made.skipped =
                "no guest: tests/qemu/run.sh BUILD_DIR tests/qemu/kernel_driver_tests makes one";
            return made;
        }
        made.bench = std::make_unique<KernelBench>(guest, GLASSBENCH_CLI);
        if (!made.bench->Boot()) {
            made.failed = made.bench->Error() + "\nthe console said:\n" + made.bench->BootLog();
            made.bench.reset();
            return made;
        }
        std::printf("[  guest   ] booted in %.1f s\n",
                    std::chrono::duration<double>(made.bench->BootTime()).count());
        return made;
    }();
    return shared;
}

// QEMU stopped after the last scenario, before the program's statics go.
class StopTheGuest : public ::testing::Environment {
  public:
    void TearDown() override { TheBench().bench.reset(); }
};
[[maybe_unused]] const auto* const kStopTheGuest =
    ::testing::AddGlobalTestEnvironment(new StopTheGuest);

// The USB serial ports the guest has, as the guest's usb-ttys lists them: the ones kBoard plugs
// at boot, each as the only one of its kind.
std::string BootUsbTtys() {
    std::string lines;
    for (const auto& adapter : kBoard) {
        if (adapter.pluggedAtBoot && adapter.driver == Driver::FtdiSio) {
            lines += BootNode(adapter) + " " + std::string(adapter.serial) + " 0403:6001\n";
        }
    }
    return lines;
}

}  // namespace

void KernelDriverScenario::SetUp() {
    const auto& shared = TheBench();
    if (!shared.skipped.empty()) {
        GTEST_SKIP() << shared.skipped;
    }
    ASSERT_TRUE(shared.bench) << "the guest did not boot: " << shared.failed;
    ASSERT_TRUE(Guest().Running()) << "QEMU ended in an earlier scenario: " << Guest().Error();
}

// Checks that the scenario left the board as booted, and puts back what it did not: the
// modules started, the USB adapters all unplugged and those of the boot plugged again in
// their order, so that the next scenario starts where every scenario does.
void KernelDriverScenario::TearDown() {
    if (!TheBench().bench || IsSkipped() || !Guest().Running()) {
        return;
    }
    for (const auto& adapter : kBoard) {
        auto& module = Guest().Module(adapter.id);
        if (!module.Running()) {
            ADD_FAILURE() << "the scenario left the module of " << adapter.id << " stopped";
            EXPECT_TRUE(module.Start()) << module.Error();
        }
    }
    const auto ttys = Guest().Run("usb-ttys");
    if (ttys.out == BootUsbTtys()) {
        return;
    }
    ADD_FAILURE() << "the scenario left the USB adapters changed:\n"
                  << ttys.out << ttys.error << "\nnot:\n"
                  << BootUsbTtys();
    std::istringstream lines(ttys.out);
    for (std::string node, serial, ids; lines >> node >> serial >> ids;) {
        for (const auto& adapter : kBoard) {
            if (adapter.driver == Driver::FtdiSio && adapter.serial == serial) {
                if (const auto at = Guest().Unplug(adapter.id)) {
                    Guest().WaitForNode("remove", node.substr(5), *at);
                }
            }
        }
    }
    int usb = 0;
    for (const auto& adapter : kBoard) {
        if (adapter.pluggedAtBoot && adapter.driver == Driver::FtdiSio) {
            if (const auto at = Guest().Plug(adapter.id)) {
                Guest().WaitForNode("add", "ttyUSB" + std::to_string(usb++), *at);
            }
        }
    }
}

KernelBench& KernelDriverScenario::Guest() {
    return *TheBench().bench;
}

GuestResult KernelDriverScenario::Cli(const std::string& arguments, milliseconds limit) {
    return Guest().Run("glassbench-cli " + arguments, limit);
}

void KernelDriverScenario::Figure(const std::string& name, double value, const std::string& unit) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.4g %s", value, unit.c_str());
    std::printf("[  figure  ] %s: %s\n", name.c_str(), text);
    RecordProperty(name, text);
}

std::string KernelDriverScenario::Seen() {
    std::string seen = "node events:";
    for (const auto& event : Guest().Events()) {
        seen += " " + event.action + " " + event.node + ",";
    }
    return seen + " last error: " + Guest().Error();
}

}  // namespace glassbench::testing::qemu
