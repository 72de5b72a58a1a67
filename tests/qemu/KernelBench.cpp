#include "KernelBench.h"

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "net/PosixPoll.h"

namespace glassbench::testing::qemu {

namespace {

constexpr char kRecord = '\036';
// The bounds of what the guest and QEMU can make this side keep.
constexpr std::size_t kMaxOutput = 4 << 20;
constexpr std::size_t kMaxLog = 1 << 20;
constexpr std::size_t kMaxRecord = 4096;
constexpr std::size_t kMaxEvents = 100'000;

void AppendBounded(std::string& to, std::string_view text, std::size_t bound) {
    to.append(text.substr(0, bound - std::min(bound, to.size())));
}

std::string Seconds(milliseconds within) {
    return std::to_string(within.count() / 1000) + " s";
}

// A UNIX socket listening at `path` for QEMU, which connects to it as a chardev client.
net::UniqueFd Listen(const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = path.string();
    if (name.size() >= sizeof(address.sun_path)) {
        return {};
    }
    std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
    net::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd ||
        ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd.Get(), 1) != 0) {
        return {};
    }
    return fd;
}

// The connection QEMU makes to `listener`, or none when QEMU has ended first (`exited` became
// readable) or the deadline passed.
net::UniqueFd AcceptOne(int listener, int exited, Clock::time_point deadline) {
    // QEMU's end first: a connection it left behind is no use.
    const net::WaitToken tokens[] = {exited, listener};
    const auto ready = net::WaitForAny(tokens, deadline);
    if (!ready || *ready != 1) {
        return {};
    }
    return net::UniqueFd(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A JSON string of `text`, for QMP's arguments.
std::string JsonQuote(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

// The string value of the first `"key": "..."` in a line of QMP, unescaped; "" when there is
// none. QMP escapes only what JSON must, and our texts are ASCII, so \uXXXX below 0x80 is all
// that a \u can be here.
std::string JsonString(const std::string& line, std::string_view key) {
    const auto start = "\"" + std::string(key) + "\": \"";
    auto at = line.find(start);
    if (at == std::string::npos) {
        return "";
    }
    std::string value;
    for (at += start.size(); at < line.size() && line[at] != '"'; ++at) {
        if (line[at] != '\\' || at + 1 >= line.size()) {
            value += line[at];
            continue;
        }
        switch (const char c = line[++at]) {
            case 'n':
                value += '\n';
                break;
            case 'r':
                value += '\r';
                break;
            case 't':
                value += '\t';
                break;
            case 'u':
                value +=
                    static_cast<char>(std::strtol(line.substr(at + 1, 4).c_str(), nullptr, 16));
                at += 4;
                break;
            default:
                value += c;
        }
    }
    return value;
}

std::string DeviceProperties(const AdapterSpec& adapter) {
    const std::string id(adapter.id);
    if (adapter.driver == Driver::FtdiSio) {
        return "usb-serial,id=" + id + ",bus=xhci.0,chardev=c" + id +
               ",serial=" + std::string(adapter.serial);
    }
    return "isa-serial,id=" + id + ",chardev=c" + id + ",index=" + std::to_string(adapter.isaIndex);
}

}  // namespace

const AdapterSpec& Adapter(std::string_view id) {
    for (const auto& adapter : kBoard) {
        if (adapter.id == id) {
            return adapter;
        }
    }
    throw std::invalid_argument("no adapter " + std::string(id) + " on the board");
}

std::string BootNode(const AdapterSpec& adapter) {
    return adapter.driver == Driver::FtdiSio ? "/dev/ttyUSB0"
                                             : "/dev/ttyS" + std::to_string(adapter.isaIndex);
}

std::optional<long> SendFigure(const std::string& sendOutput, std::string_view name) {
    const std::string label = ", " + std::string(name) + ": ";
    const auto at = sendOutput.find(label);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const auto digits = at + label.size();
    const auto end = sendOutput.find_first_not_of("0123456789", digits);
    if (end == digits) {
        return std::nullopt;
    }
    return std::stol(sendOutput.substr(digits, end - digits));
}

// --- HostModule ---

HostModule::HostModule(std::string cli) : cli_(std::move(cli)) {}

bool HostModule::Start() {
    constexpr std::string_view kListening = "module: listening on socket://127.0.0.1:";
    process_ = std::make_unique<Process>(
        cli_,
        std::vector<std::string>{"module", "--listen=socket://127.0.0.1:" + std::to_string(port_)});
    if (!process_->WaitFor(std::string(kListening), 10s) || !process_->WaitFor("\n", 10s)) {
        return false;
    }
    const auto& out = process_->out();
    const auto at = out.find(kListening) + kListening.size();
    port_ = std::atoi(out.c_str() + at);
    return port_ > 0;
}

void HostModule::Stop() {
    if (process_) {
        process_->Signal(SIGTERM);
        process_->Finish(10s);
        process_.reset();
    }
}

std::string HostModule::Error() const {
    return process_ ? process_->err() : "the module is stopped";
}

bool HostModule::WaitForFrames(int count, milliseconds within) {
    return process_ && process_->WaitFor(" -> status ", within, count);
}

int HostModule::Frames() const {
    return process_ ? CountOf(process_->out(), " -> status ") : 0;
}

// --- KernelBench ---

KernelBench::KernelBench(std::filesystem::path guestDir, std::string cli)
    : guestDir_(std::move(guestDir)), cli_(std::move(cli)) {
    for (const auto& adapter : kBoard) {
        modules_.emplace(std::string(adapter.id), HostModule(cli_));
    }
}

KernelBench::~KernelBench() {
    if (qemu_) {
        // QEMU stops at SIGTERM; the guest keeps nothing worth a clean shutdown.
        qemu_->Signal(SIGTERM);
        qemu_->Finish(10s);
    }
    for (auto& [id, module] : modules_) {
        module.Stop();
    }
}

HostModule& KernelBench::Module(std::string_view id) {
    const auto found = modules_.find(id);
    if (found == modules_.end()) {
        throw std::invalid_argument("no adapter " + std::string(id) + " on the board");
    }
    return found->second;
}

std::vector<std::string> KernelBench::QemuArgs() const {
    std::vector<std::string> args{
        "qemu-system-x86_64",
        // KVM hangs this kernel in early boot on these machines.
        "-accel", "tcg", "-machine", "pc", "-m", "256M", "-nodefaults", "-no-user-config",
        "-display", "none",
        // A kernel panic reboots, and -no-reboot makes that QEMU's end.
        "-no-reboot", "-kernel", (guestDir_ / "kernel").string(), "-initrd",
        (guestDir_ / "initramfs.cpio.gz").string(), "-append", "console=ttyS0 quiet panic=-1",
        "-chardev", "socket,id=console,path=" + (dir_.path() / "console").string(), "-device",
        "isa-serial,chardev=console,index=0", "-chardev",
        "socket,id=monitor,path=" + (dir_.path() / "monitor").string(), "-mon",
        "chardev=monitor,mode=control", "-device", "qemu-xhci,id=xhci"};
    for (const auto& adapter : kBoard) {
        const auto& module = modules_.find(adapter.id)->second;
        args.insert(args.end(),
                    {"-chardev", "socket,id=c" + std::string(adapter.id) + ",host=127.0.0.1,port=" +
                                     std::to_string(module.Port()) + ",reconnect=1"});
        if (adapter.pluggedAtBoot) {
            args.insert(args.end(), {"-device", DeviceProperties(adapter)});
        }
    }
    return args;
}

bool KernelBench::Boot(milliseconds within) {
    const auto start = Clock::now();
    const auto deadline = start + within;
    for (auto& [id, module] : modules_) {
        if (!module.Start()) {
            error_ = "the module for " + id + " did not start: " + module.Error();
            return false;
        }
    }
    const auto consoleListener = Listen(dir_.path() / "console");
    const auto monitorListener = Listen(dir_.path() / "monitor");
    if (!consoleListener || !monitorListener) {
        error_ = "no UNIX socket in " + dir_.path().string() + ": " + std::strerror(errno);
        return false;
    }
    auto args = QemuArgs();
    const std::string program = "/usr/bin/env";
    qemu_ = std::make_unique<Process>(program, args);
    // glibc 2.36's <sys/pidfd.h> declares pidfd_open without C linkage, so the system call is
    // made directly.
    pidfd_ = net::UniqueFd(static_cast<int>(::syscall(SYS_pidfd_open, qemu_->Pid(), 0)));
    if (!pidfd_) {
        Gone("QEMU did not start");
        return false;
    }
    console_ = AcceptOne(consoleListener.Get(), pidfd_.Get(), deadline);
    monitor_ = AcceptOne(monitorListener.Get(), pidfd_.Get(), deadline);
    if (!console_ || !monitor_) {
        Gone("QEMU did not connect its console and monitor");
        return false;
    }
    // QMP greets, and takes commands once asked to leave its capabilities negotiation.
    const auto greeted = [&] { return !qmpLines_.empty(); };
    if (!Pump(greeted, deadline) || !Qmp("qmp_capabilities", "", deadline)) {
        if (error_.empty()) {
            error_ = "QMP did not answer";
        }
        return false;
    }
    if (!Pump([&] { return ready_; }, deadline)) {
        if (error_.empty()) {
            error_ = "the guest was not ready within " + Seconds(within);
        }
        return false;
    }
    // Each FTDI plugged at boot gets the next ttyUSB number.
    int usb = 0;
    for (const auto& adapter : kBoard) {
        if (adapter.pluggedAtBoot && adapter.driver == Driver::FtdiSio) {
            const auto node = "ttyUSB" + std::to_string(usb++);
            if (!WaitForNode("add", node, start,
                             std::chrono::duration_cast<milliseconds>(deadline - Clock::now()))) {
                error_ = "no /dev/" + node + " after boot" + (error_.empty() ? "" : ": " + error_);
                return false;
            }
        }
    }
    bootTime_ = Clock::now() - start;
    return true;
}

std::string KernelBench::BootLog() const {
    return bootLog_ + (qemu_ ? qemu_->err() : "");
}

void KernelBench::Gone(const std::string& why) {
    std::string qemuSaid;
    if (qemu_) {
        qemu_->Signal(SIGTERM);
        const auto result = qemu_->Finish(10s);
        qemuSaid = result.err;
        qemu_.reset();
    }
    console_.Reset();
    monitor_.Reset();
    pidfd_.Reset();
    error_ = why + (qemuSaid.empty() ? "" : "; QEMU said: " + qemuSaid);
}

template <class Done>
bool KernelBench::Pump(Done done, Clock::time_point deadline) {
    while (!done()) {
        if (!console_) {
            if (error_.empty()) {
                error_ = "QEMU is not running";
            }
            return false;
        }
        pollfd fds[3] = {
            {console_.Get(), POLLIN, 0}, {monitor_.Get(), POLLIN, 0}, {pidfd_.Get(), POLLIN, 0}};
        const timespec timeout = net::TimeLeft(deadline);
        const int rc = ::ppoll(fds, 3, &timeout, nullptr);
        if (rc < 0 && errno == EINTR) {
            continue;
        }
        if (rc <= 0) {
            return done();
        }
        const auto at = Clock::now();
        char buffer[65536];
        if (fds[0].revents != 0) {
            const ssize_t n = ::read(console_.Get(), buffer, sizeof(buffer));
            if (n > 0) {
                TakeConsole({buffer, static_cast<std::size_t>(n)}, at);
                continue;  // the console is read dry before an exit is taken
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            Gone("the guest's console closed");
            return false;
        }
        if (fds[1].revents != 0) {
            const ssize_t n = ::read(monitor_.Get(), buffer, sizeof(buffer));
            if (n > 0) {
                TakeQmp({buffer, static_cast<std::size_t>(n)});
            }
        }
        if (fds[2].revents != 0) {
            Gone("QEMU exited");
            return false;
        }
    }
    return true;
}

void KernelBench::TakeConsole(std::string_view bytes, Clock::time_point at) {
    pending_.append(bytes);
    std::size_t from = 0;
    for (;;) {
        const auto record = pending_.find(kRecord, from);
        const auto plain = std::string_view(pending_).substr(from, record - from);
        if (!ready_ || !begun_ || status_) {
            // Before the agent, between commands: the boot log and whatever else came.
            AppendBounded(bootLog_, plain, kMaxLog);
        } else {
            AppendBounded(out_, plain, kMaxOutput);
        }
        if (record == std::string::npos) {
            from = pending_.size();
            break;
        }
        const auto end = pending_.find('\n', record);
        if (end == std::string::npos) {
            if (pending_.size() - record > kMaxRecord) {
                // No record is this long: a stray separator, kept as text.
                pending_[record] = '?';
                from = record;
                continue;
            }
            from = record;
            break;
        }
        TakeRecord(std::string_view(pending_).substr(record + 1, end - record - 1), at);
        from = end + 1;
    }
    pending_.erase(0, from);
}

void KernelBench::TakeRecord(std::string_view record, Clock::time_point at) {
    const auto word = [&](std::size_t n) {
        std::size_t begin = 0;
        for (std::size_t i = 0; i < n && begin != std::string_view::npos; ++i) {
            begin = record.find(' ', begin);
            begin = begin == std::string_view::npos ? begin : begin + 1;
        }
        if (begin == std::string_view::npos) {
            return std::string();
        }
        return std::string(record.substr(begin, record.find(' ', begin) - begin));
    };
    const auto kind = word(0);
    if (kind == "GB-READY") {
        ready_ = true;
    } else if (kind == "GB-BEGIN" && word(1) == std::to_string(seq_)) {
        begun_ = true;
        out_.clear();
    } else if (kind == "GB-END" && word(1) == std::to_string(seq_) && begun_) {
        // The agent ends the output with a newline of its own, before the record.
        if (!out_.empty() && out_.back() == '\n') {
            out_.pop_back();
        }
        status_ = std::atoi(word(2).c_str());
    } else if (kind == "GB-UEVENT" && events_.size() < kMaxEvents) {
        events_.push_back({at, word(1), word(2)});
    }
}

bool KernelBench::Start(const std::string& command, milliseconds limit) {
    if (command.find('\n') != std::string::npos) {
        error_ = "a guest command is one line";
        return false;
    }
    ++seq_;
    begun_ = false;
    status_.reset();
    out_.clear();
    const auto seconds = std::max<long>(1, (limit.count() + 999) / 1000);
    // The guest's SIGKILL comes 2 s after the limit; the rest is for a busy host.
    commandDeadline_ = Clock::now() + std::chrono::seconds(seconds + 10);
    const auto line = std::to_string(seq_) + " " + std::to_string(seconds) + " " + command + "\n";
    if (!console_ || !WriteAll(console_.Get(), line)) {
        error_ = "QEMU is not running";
        return false;
    }
    return true;
}

bool KernelBench::WaitForOutput(std::string_view text, milliseconds within) {
    Pump([&] { return out_.find(text) != std::string::npos || status_; }, Clock::now() + within);
    return out_.find(text) != std::string::npos;
}

bool KernelBench::Interrupt() {
    return console_ && WriteAll(console_.Get(), "\x03");
}

GuestResult KernelBench::Finish() {
    GuestResult result;
    if (Pump([&] { return status_.has_value(); }, commandDeadline_)) {
        result.status = *status_;
    } else {
        result.error = error_.empty() ? "the guest did not end it" : error_;
    }
    result.out = out_;
    return result;
}

GuestResult KernelBench::Run(const std::string& command, milliseconds limit) {
    if (!Start(command, limit)) {
        return {-1, "", error_};
    }
    auto result = Finish();
    if (!result.error.empty()) {
        result.error = "`" + command + "`: " + result.error;
    }
    return result;
}

std::optional<Clock::time_point> KernelBench::WaitForNode(std::string_view action,
                                                          std::string_view node,
                                                          Clock::time_point since,
                                                          milliseconds within) {
    const auto found = [&]() -> const NodeEvent* {
        for (const auto& event : events_) {
            if (event.at >= since && event.action == action && event.node == node) {
                return &event;
            }
        }
        return nullptr;
    };
    Pump([&] { return found() != nullptr; }, Clock::now() + within);
    if (const auto* event = found()) {
        return event->at;
    }
    return std::nullopt;
}

void KernelBench::TakeQmp(std::string_view bytes) {
    AppendBounded(qmpPending_, bytes, kMaxLog);
    for (auto end = qmpPending_.find('\n'); end != std::string::npos;
         end = qmpPending_.find('\n')) {
        if (qmpLines_.size() < kMaxEvents) {
            qmpLines_.push_back(qmpPending_.substr(0, end));
        }
        qmpPending_.erase(0, end + 1);
    }
}

std::optional<std::string> KernelBench::Qmp(std::string_view command, std::string_view arguments,
                                            Clock::time_point deadline) {
    const auto id = "\"id\": " + std::to_string(++qmpId_);
    std::string request = "{\"execute\": \"" + std::string(command) + "\"";
    if (!arguments.empty()) {
        request += ", \"arguments\": " + std::string(arguments);
    }
    request += ", " + id + "}\n";
    if (!monitor_ || !WriteAll(monitor_.Get(), request)) {
        error_ = "QEMU is not running";
        return std::nullopt;
    }
    // The answer carries the request's id; events may come before it.
    const auto answer = [&]() -> const std::string* {
        for (auto line = qmpLines_.rbegin(); line != qmpLines_.rend(); ++line) {
            const auto at = line->find(id);
            if (at != std::string::npos &&
                line->find_first_of(",}", at + id.size()) == at + id.size()) {
                return &*line;
            }
        }
        return nullptr;
    };
    if (!Pump([&] { return answer() != nullptr; }, deadline)) {
        error_ =
            "no answer from QMP to " + std::string(command) + (error_.empty() ? "" : ": " + error_);
        return std::nullopt;
    }
    const std::string line = *answer();
    if (line.find("{\"error\"") == 0) {
        error_ = std::string(command) + ": " + JsonString(line, "desc");
        return std::nullopt;
    }
    return line;
}

std::string KernelBench::Monitor(const std::string& command, milliseconds within) {
    const auto answer =
        Qmp("human-monitor-command", "{\"command-line\": " + JsonQuote(command) + "}",
            Clock::now() + within);
    if (!answer) {
        return "Error: " + error_;
    }
    std::string text = JsonString(*answer, "return");
    std::erase(text, '\r');
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

std::optional<Clock::time_point> KernelBench::Unplug(std::string_view id) {
    const auto at = Clock::now();
    const auto deadline = at + 30s;
    const std::size_t from = qmpLines_.size();
    if (!Qmp("device_del", "{\"id\": " + JsonQuote(std::string(Adapter(id).id)) + "}", deadline)) {
        return std::nullopt;
    }
    // The device lets go of its chardev, which a device_add may then take again, only when it
    // is deleted, which QMP tells in an event.
    const auto device = "\"device\": " + JsonQuote(std::string(id));
    const auto deleted = [&] {
        for (auto i = from; i < qmpLines_.size(); ++i) {
            if (qmpLines_[i].find("\"DEVICE_DELETED\"") != std::string::npos &&
                qmpLines_[i].find(device) != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    if (!Pump(deleted, deadline)) {
        error_ = "device_del " + std::string(id) + ": no DEVICE_DELETED event" +
                 (error_.empty() ? "" : ": " + error_);
        return std::nullopt;
    }
    return at;
}

std::optional<Clock::time_point> KernelBench::Plug(std::string_view id) {
    const auto at = Clock::now();
    const auto answer = Monitor("device_add " + DeviceProperties(Adapter(id)));
    if (!answer.empty()) {
        error_ = "device_add " + std::string(id) + ": " + answer;
        return std::nullopt;
    }
    return at;
}

}  // namespace glassbench::testing::qemu
