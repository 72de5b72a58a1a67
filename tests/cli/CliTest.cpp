#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameExamples.h"
#include "JsonLines.h"
#include "RunProcess.h"
#include "TempDir.h"

namespace glassbench::testing {
namespace {

using namespace std::chrono_literals;

const CliUnderTest& Cli() {
    static const CliUnderTest cli(GLASSBENCH_CLI);
    return cli;
}

ProcessResult Cli(const std::vector<std::string>& args, const std::filesystem::path& cwd = {}) {
    return Cli().Run(args, cwd);
}

TEST(FrameCommand, PrintsEveryWorkedExample) {
    for (const FrameExample& c : kFrameExamples) {
        const ProcessResult r =
            Cli({"frame", "--command=" + std::to_string(c.command), std::string("--x=") + c.x,
                 std::string("--y=") + c.y, std::string("--data=") + c.data,
                 "--transparent=" + std::to_string(c.transparent),
                 "--font-size=" + std::to_string(c.fontSize),
                 "--lcd-type=" + std::to_string(c.lcdType)});
        EXPECT_EQ(r.exitCode, 0) << c.name << ": " << r.err;
        EXPECT_EQ(r.out, std::string("frame: ") + c.frame + "\ntranscript: " + c.transcript +
                             "\nlengh: " + c.lengh + "\nchecksum: " + c.checksum + "\n")
            << c.name;
    }
}

TEST(FrameCommand, AcceptsEveryOptionFormAndNamesCommandsByText) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"frame"}, "AA 04 80 00 2E"},  // the window's start-up state
        {{"frame", "--command", "Draw Point", "--x", "-1", "--y=65536", "--data", ""},
         "AA 07 8A FF FF 00 00 39"},
        {{"frame", "--command=DrawPoint", "--data", "--x"}, "AA 09 8A 00 00 00 00 EF EF 1B"},
        {{"frame", "--command=SetBGColor", "--data=F8 00"}, "AA 05 81 F8 00 28"},
    };
    for (const auto& [args, frame] : cases) {
        const ProcessResult r = Cli(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')), std::string("frame: ") + frame);
    }
}

// How each command ends: 2 with "glassbench-cli: ", the reason and the usage for bad usage; 3
// with the system's reason for a port that does not open; 0 with the usage for --help.
TEST(Cli, ExitCodeAndMessage) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* starts;  // how stderr starts (after "glassbench-cli: " on bad usage), or stdout
        bool usage = true;   // exit 2 shows the usage
    } cases[] = {
        // clang-format off
        {{}, 2, "no command given"},
        {{"fram"}, 2, "unknown command 'fram'"},
        {{"frame", "--colour=1"}, 2, "unknown option --colour"},
        {{"frame", "--data"}, 2, "option --data needs a value"},
        {{"frame", "--command=20"}, 2, "--command '20' names no command"},
        {{"frame", "--command=-1"}, 2, "--command '-1' names no command"},
        {{"frame", "--font-size=big"}, 2, "--font-size 'big' is not an integer"},
        {{"frame", "--lcd-type=1x"}, 2, "--lcd-type '1x' is not an integer"},
        {{"frame", "--help=yes"}, 2, "option --help takes no value"},
        {{"frame", "extra"}, 2, "frame takes no argument 'extra'"},
        {{"preset"}, 2, "preset takes exactly one command"},
        {{"preset", "Nothing"}, 2, "'Nothing' names no command"},
        {{"preset", "--x=1", "0"}, 2, "unknown option --x"},
        {{"send"}, 2, "send needs --port=DEVICE|INDEX|URL"},
        {{"send", "--port=30"}, 2, "--port index 30 is not 0 to 29"},
        {{"send", "--port=-1"}, 2, "--port index -1 is not 0 to 29"},
        {{"send", "--port=0", "--speed=38400"}, 2,
         "--speed '38400' is not one of 1200, 2400, 4800, 9600, 19200, 57600, 115200"},
        {{"send", "--port=0", "--repeat=0"}, 2, "--repeat '0' is not a count of 1 or more"},
        {{"send", "--port=0", "--raw=AA 0"}, 2, "--raw 'AA 0' is not hex pairs (two hex digits a byte, blanks between bytes optional)"},
        {{"send", "--port=0", "--raw=AA04x0"}, 2, "--raw 'AA04x0' is not hex pairs (two hex digits a byte, blanks between bytes optional)"},
        {{"send", "--port=0", "--raw= "}, 2, "--raw holds 0 bytes, not 1 to 256"},
        {{"send", "--port=0", "--raw=" + std::string(514, 'F')}, 2, "--raw holds 257 bytes, not 1 to 256"},
        {{"send", "--port=0", "--raw=AA0480002E", "--x=1"}, 2, "--raw and --x do not go together"},
        {{"decode", "--script", "--json"}, 2, "--script and --json do not go together"},
        // Refused before the port, which would not open either, is tried.
        {{"monitor", "--port=/dev/glassbench-missing", "--record=/dev/glassbench-missing/x.gbs"}, 2,
         "/dev/glassbench-missing/x.gbs: cannot be written", false},
        {{"monitor", "--replies=0"}, 2, "monitor needs --port=DEVICE|INDEX|URL"},
        {{"monitor", "--port=0", "--replies=31"}, 2, "--replies index 31 is not 0 to 29"},
        {{"monitor", "--port=0", "--seconds=0"}, 2, "--seconds '0' is not a count of 1 or more"},
        {{"send", "--port=rfc2217://lab-7"}, 2, "--port 'rfc2217://lab-7' has no port number: write HOST:PORT"},
        {{"monitor", "--port=0", "--replies=socket://lab-7:65536"}, 2,
         "--replies 'socket://lab-7:65536': the TCP port '65536' is not a number from 1 to 65535"},
        {{"play", GLASSBENCH_DEMO_SCRIPT, "--port=telnet://lab-7:23"}, 2,
         "--port 'telnet://lab-7:23' is no port name: network ports are rfc2217://HOST:PORT or "
         "socket://HOST:PORT"},
        {{"ports", "x"}, 2, "ports takes no argument 'x'"},
        {{"send", "--port=usb:04x3:6001"}, 2,
         "--port 'usb:04x3:6001' is no port selector: usb:VID:PID, usb:VID:PID:SERIAL or "
         "usb:VID:PID@LOCATION, with VID and PID in hex"},
        {{"monitor", "--port=0", "--replies=usb:0403"}, 2,
         "--replies 'usb:0403' is no port selector: usb:VID:PID, usb:VID:PID:SERIAL or "
         "usb:VID:PID@LOCATION, with VID and PID in hex"},
        // A selector that matches no port present: the ports present are listed after it.
        {{"send", "--port=usb:ffff:fffe:GLASSBENCH", "--no-pulse"}, 3,
         "no port matches usb:ffff:fffe:GLASSBENCH. "},
        {{"monitor", "--port=0", "--replies=usb:ffff:fffe"}, 3, "no port matches usb:ffff:fffe. "},
        {{"play", GLASSBENCH_DEMO_SCRIPT, "--port=usb:FFFF:FFFE@9-9"}, 3,
         "no port matches usb:FFFF:FFFE@9-9. "},
        {{"module", "--reply-length=-1"}, 2, "--reply-length '-1' is not 0 to 255"},
        {{"module", "--reply-delay-ms=soon"}, 2, "--reply-delay-ms 'soon' is not 0 to 600000"},
        {{"module", "--faults=18446744073709551616"}, 2,
         "--faults '18446744073709551616' is not a seed from 0 to 18446744073709551615"},
        {{"module", "--faults=1", "--silent"}, 2, "--faults and --silent do not go together"},
        {{"module", "--fault-mix=late:1"}, 2, "--fault-mix needs --faults=SEED"},
        {{"module", "--faults=1", "--fault-mix=late"}, 2,
         "--fault-mix 'late': late needs a weight, as in late:5"},
        {{"module", "--listen=tcp://127.0.0.1:0"}, 2,
         "--listen 'tcp://127.0.0.1:0' is no port name: network ports are rfc2217://HOST:PORT or "
         "socket://HOST:PORT"},
        {{"module", "--listen=rfc2217://127.0.0.1:65536"}, 2,
         "--listen 'rfc2217://127.0.0.1:65536': the TCP port '65536' is not a number from 0 to "
         "65535"},
        {{"module", "--listen=socket://127.0.0.1:0", "--link=/tmp/x"}, 2,
         "--listen and --link do not go together"},
        {{"play", "--port=0"}, 2, "play needs a SCRIPT"},
        {{"play", "/dev/glassbench-missing.gbs", "--port=0"}, 2,
         "/dev/glassbench-missing.gbs: cannot be read", false},
        {{"play", "/", "--port=0"}, 2, "/: cannot be read", false},
        {{"send", "--port=/dev/glassbench-missing", "--no-pulse"}, 3,
         "Could not open port /dev/glassbench-missing.\nNo such file or directory.\n"},
        // An index opens the row of the table, overridden as the environment says.
        {{"send", "--port=1", "--no-pulse"}, 3,
         "Could not open port /dev/glassbench-row-1.\nNo such file or directory.\n"},
        {{"send", "--port=/dev/null", "--no-pulse"}, 3,
         "Could not open port /dev/null.\nInappropriate ioctl for device.\n"},
        {{"monitor", "--port=1"}, 3,
         "Could not open port /dev/glassbench-row-1.\nNo such file or directory.\n"},
        {{"play", GLASSBENCH_DEMO_SCRIPT, "--port=/dev/glassbench-missing"}, 3,
         "Could not open port /dev/glassbench-missing.\nNo such file or directory.\n"},
        // Anything that is not a link is left alone.
        {{"module", "--link=/proc/version"}, 1,
         "glassbench-cli module: /proc/version exists and is not a link\n"},
        {{"--help"}, 0, "Usage: glassbench-cli"},
        {{"frame", "--help"}, 0, "Usage: glassbench-cli"},
        {{"send", "--help"}, 0, "Usage: glassbench-cli"},
        {{"--version"}, 0, "glassbench-cli " GLASSBENCH_VERSION "\n"},
        // clang-format on
    };
    // Entries past the thirtieth are ignored.
    const std::string separator(1, Cli().portSeparator);
    std::string ports = "GLASSBENCH_PORTS=/x" + separator + "/dev/glassbench-row-1";
    for (int i = 0; i < 30; ++i) {
        ports += separator + "/dev/glassbench-row-past";
    }
    for (const auto& c : cases) {
        // The Windows build has no module on a pseudo-terminal, and gives the system's reasons
        // in Windows' words.
        if (Cli().windows && !c.args.empty() && c.args[0] == "module" && c.exitCode != 2) {
            continue;
        }
        const ProcessResult r = Cli().Run(c.args, {}, {ports});
        std::string starts =
            c.exitCode == 2 ? "glassbench-cli: " + std::string(c.starts) + "\n" : c.starts;
        if (Cli().windows && c.exitCode == 3) {
            starts.resize(starts.find('\n') + 1);
        }
        EXPECT_EQ(r.exitCode, c.exitCode) << c.starts;
        EXPECT_EQ((c.exitCode == 0 ? r.out : r.err).rfind(starts, 0), 0u) << r.out << r.err;
        EXPECT_EQ(c.exitCode == 0 ? r.err : r.out, "");
        EXPECT_EQ(CountOf(r.err, "\nUsage: glassbench-cli"), c.exitCode == 2 && c.usage) << r.err;
    }
}

// One object a line, the thirty positions first, each with every key (null where it does not
// apply); then each port present that no position opens. What the ports are depends on the
// machine: fake sysfs trees check the values (serial_tests), the QEMU bench real adapters.
TEST(PortsCommand, JsonGivesEveryPositionAndPortPresentTheSameKeys) {
    const std::string separator(1, Cli().portSeparator);
    const ProcessResult r = Cli().Run({"ports", "--json"}, {},
                                      {"GLASSBENCH_PORTS=/dev/null" + separator +
                                       "/dev/glassbench-absent" + separator + "usb:ffff:fffe"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> facts{
        "len(lines) >= 30",
        "[o['position'] for o in lines[:30]] == list(range(30))",
        "all(set(o) == {'device', 'present', 'driver', 'vid', 'pid', 'serial_number', "
        "'manufacturer', 'product', 'interface', 'location', 'latency_timer_ms', 'position', "
        "'links', 'selector'} for o in lines)",
        "[(o['device'], o['present']) for o in lines[1:3]] == "
        "[('/dev/glassbench-absent', False), ('usb:ffff:fffe', False)]",
        "all(o['position'] is None and o['present'] for o in lines[30:])",
        "all(o['vid'] is None or (len(o['vid']) == 4 and set(o['vid']) <= set('0123456789abcdef')) "
        "for o in lines)",
        "all(type(o['links']) is list for o in lines)",
        "all(o['vid'] is None and o['driver'] is None for o in lines[:3])",
    };
    if (!Cli().windows) {
        facts.push_back("lines[0]['device'] == '/dev/null' and lines[0]['present']");
    }
    EXPECT_EQ(JsonLinesCheck(r.out, facts), "") << r.out;
}

// A Windows program gets one command line that its C runtime splits again: quotes,
// backslashes and wildcards must come through as they were given.
TEST(Cli, ArgumentsArriveVerbatim) {
    for (const std::string arg : {"", " ", "\t", "a b", "\"", "\"a b\"", "\\", "a\\\\\"b", "\\\\\"",
                                  "'x'", "*", "?*.md", "%PATH%", "^&|<>", "C:\\x"}) {
        const ProcessResult r = Cli({"frame", "--command", arg});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')),
                  "glassbench-cli: --command '" + arg + "' names no command");
    }
}

TEST(DecodeCommand, CutsNoiseFramesAndACutOffFrame) {
    const struct {
        std::string shell;  // what feeds standard input, if anything
        std::vector<std::string> args;
        const char* out;
    } cases[] = {
        // clang-format off
        {"", {"01 02 AA 04 80 00 2E AA 09 8A"},
         "noise: 01 02\nframe AA 04 80 00 2E: Clear Screen (80) data=[00] checksum=2E good, "
         "length 4 good\nincomplete: AA 09 8A\n"},
        {"", {"AA04", "90 00 3E", "AA 01"},
         "frame AA 04 90 00 3E: unknown command (90) data=[00] checksum=3E good\n"
         "frame AA 01: length 1 holds no command\n"},
        {"printf 'AA 03 80\\n2D\\r\\n55' | ", {},
         "frame AA 03 80 2D: Clear Screen (80) data=[] checksum=2D good, 0 data bytes where the "
         "command takes 1\nnoise: 55\n"},
        // clang-format on
    };
    for (const auto& c : cases) {
        std::string command = c.shell + "'" GLASSBENCH_CLI "' decode";
        for (const auto& arg : c.args) {
            command += " '" + arg + "'";
        }
        const ProcessResult r = RunProcess("/bin/sh", {"-c", command});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
}

// At the end of a live pipe: each frame's line comes back before the next frame is written, a
// frame written in two parts once its last byte has come, noise once the start byte after it has
// come, all while standard input stays open. Then a block larger than decode's reads, which cut
// its pairs wherever they end, and at the end of the input a frame cut off.
TEST(DecodeCommand, PrintsEachFrameAsSoonAsItsLastByteComes) {
    const auto decode = Cli().Start({"decode"}, {}, {}, true);
    const std::string clear =
        "frame AA 04 80 00 2E: Clear Screen (80) data=[00] checksum=2E good, length 4 good\n";
    const std::pair<const char*, std::string> steps[] = {
        {"AA 04 80 00 2E\n", clear},
        {"01 02\n", ""},
        {"AA 09 8A 00 64", "noise: 01 02\n"},
        {" 00 32\nF8 00 CB\n",
         "frame AA 09 8A 00 64 00 32 F8 00 CB: Draw Point (8A) x=100 y=50 data=[F8 00] "
         "checksum=CB good, length 9 good\n"},
        {"AA 01", "frame AA 01: length 1 holds no command\n"},
    };
    std::string expected;
    for (const auto& [write, line] : steps) {
        ASSERT_TRUE(decode->Write(write, 20s)) << decode->err();
        expected += line;
        // Waits on the pipe for the line; a line written early or twice shows at the next step.
        ASSERT_TRUE(decode->WaitFor(expected, 20s)) << decode->out();
        EXPECT_EQ(decode->out(), expected);
    }
    std::string block;
    for (int i = 0; i < 20'000; ++i) {  // 300 kB
        block += "AA 04 80 00 2E ";
        expected += clear;
    }
    ASSERT_TRUE(decode->Write(block + "AA 09 8A", 60s));
    const ProcessResult r = decode->Finish(60s);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, expected + "incomplete: AA 09 8A\n");
}

// One object a line, each piece's fields as members: an unknown command has no name, layout or
// style; coordinates are 16-bit numbers; a frame's problems are a list of texts.
TEST(DecodeCommand, JsonGivesEachPieceItsFields) {
    const ProcessResult r = Cli({"decode", "--json",
                                 "01 AA 04 90 00 3F AA 0A 86 00 0A 00 14 2A 48 49 13 AA 07 8A FF "
                                 "FF 00 00 39 AA 0B 9C 00 00 00 00 01 02 03 04 5B AA 01 AA 09"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(
        JsonLinesCheck(
            r.out, {"[o['kind'] for o in lines] == ['noise'] + ['frame'] * 5 + ['incomplete']",
                    "[o['hex'] for o in lines[::6]] == ['01', 'AA 09']",
                    "[lines[1][k] for k in ('command', 'id', 'layout', 'style', 'data', "
                    "'checksum', 'checksum_ok')] == [None, '90', None, None, '00', '3F', False]",
                    "lines[1]['problems'] == ['bad checksum (sum 3E)', 'unknown command 90']",
                    "'x' not in lines[1] and 'x' in lines[2]",
                    "[lines[2][k] for k in ('command', 'layout', 'x', 'y', 'checksum_ok', "
                    "'problems')] == ['Ascii String Display', 'Text', 10, 20, True, []]",
                    "lines[2]['style'] == {'byte': '2A', 'form': 'spi', 'transparent': True, "
                    "'font_size': '12x24', 'characters': 2}",
                    "(lines[3]['x'], lines[3]['y'], lines[3]['data']) == (65535, 0, '')",
                    "lines[4]['problems'] == ['4 data bytes where an edit text takes 5 or more']",
                    "[lines[5][k] for k in ('id', 'checksum', 'problems')] == "
                    "[None, None, ['length 1 holds no command']]"}),
        "")
        << r.out;
}

TEST(PresetCommand, PrintsTheSectionFromTheCurrentDirectory) {
    TempDir dir;
    dir.Write("Scom.ini",
              "; presets for the bench\r\n[DrawLine]\r\nLENGH = 9\r\nXADDRESS=10\r\n"
              "DATA=00 10 00 20\r\n[ClearScreen]\nDATA=00\n");
    const std::string drawLine =
        "[DrawLine]\nLENGH=9\nCMD=ClearScreen\nXADDRESS=10\nYADDRESS=0\nTRANSPRENT=0\n"
        "FONTTYPE=0\nDATA=00 10 00 20\nCHECKSUM=0\n";
    const std::string clear =
        "[ClearScreen]\nLENGH=4\nCMD=ClearScreen\nXADDRESS=0\nYADDRESS=0\nTRANSPRENT=0\n"
        "FONTTYPE=0\nDATA=00\nCHECKSUM=0\n";
    // Any index outside the list, -1 among them, reads ClearScreen.
    const std::pair<const char*, const std::string*> cases[] = {
        {"Draw Line", &drawLine}, {"11", &drawLine}, {"DrawLine", &drawLine},
        {"-1", &clear},           {"20", &clear},    {"-2147483648", &clear}};
    for (const auto& [name, expected] : cases) {
        const ProcessResult r = Cli({"preset", name}, dir.path());
        EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
        EXPECT_EQ(r.out, *expected) << name;
    }
}

}  // namespace
}  // namespace glassbench::testing
