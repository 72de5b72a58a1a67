// What both soaks share: their options, the reply each exchange must show, the tally by fault,
// and the process's resident memory and open descriptors.
//
// A soak runs N exchanges against `glassbench-cli module --faults=SEED`. The module draws
// frame n's fault from the seed alone (module/ModuleFaults.h), so the soak knows, without
// asking the module, what should be shown for exchange n: the module's first five bytes on the
// wire for that frame (the numbered answer, or noise and the start of it), or nothing where
// fewer than five come. Anything else is a reply shown against the wrong frame.
#pragma once

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ModuleProcess.h"
#include "module/ModuleFaults.h"
#include "protocol/CommandTable.h"
#include "protocol/HexText.h"

namespace glassbench::bench {

struct SoakOptions {
    int exchanges = 10000;
    std::uint64_t seed = 1;
    module::FaultMix mix = module::kDefaultFaultMix;
    // Resident memory may grow this much, beyond what the program is expected to keep.
    long long marginKiB = 1024;
};

// --exchanges N --seed S --fault-mix LIST --margin-kib K; exits 2 on bad usage.
inline SoakOptions ReadSoakOptions(int argc, char** argv, const char* usage) {
    SoakOptions options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        std::string error;
        if (name == "--exchanges") {
            options.exchanges = std::atoi(value);
        } else if (name == "--seed") {
            options.seed = std::strtoull(value, nullptr, 10);
        } else if (name == "--margin-kib") {
            options.marginKiB = std::atoll(value);
        } else if (name == "--fault-mix") {
            const auto mix = module::ParseFaultMix(value, error);
            if (!mix) {
                std::fprintf(stderr, "%s\n", error.c_str());
                std::exit(2);
            }
            options.mix = *mix;
        } else {
            std::fprintf(stderr, "usage: %s\n", usage);
            std::exit(2);
        }
    }
    if ((argc - 1) % 2 != 0 || options.exchanges < 10) {
        std::fprintf(stderr, "usage: %s\n", usage);
        std::exit(2);
    }
    return options;
}

// The virtual module misbehaving as `options` say, on a link in a private folder that goes
// with it.
class SoakModule {
  public:
    explicit SoakModule(const SoakOptions& options) {
        char folder[] = "/tmp/glassbench-soak-XXXXXX";
        if (::mkdtemp(folder) == nullptr) {
            return;
        }
        folder_ = folder;
        link_ = folder_ + "/module";
        module_ = std::make_unique<ModuleProcess>(
            link_, std::vector<std::string>{"--faults=" + std::to_string(options.seed),
                                            "--fault-mix=" + module::FormatFaultMix(options.mix)});
    }
    ~SoakModule() {
        module_.reset();
        if (!folder_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(folder_, ignored);
        }
    }
    SoakModule(const SoakModule&) = delete;
    SoakModule& operator=(const SoakModule&) = delete;

    bool ready() const { return module_ != nullptr && module_->ready(); }
    const std::string& link() const { return link_; }

  private:
    std::string folder_;
    std::string link_;
    std::unique_ptr<ModuleProcess> module_;
};

// What exchange `n` (from 0) must show for a frame with command code `command`: the first five
// bytes the module puts on the wire, or nothing when it puts fewer.
inline std::optional<module::Bytes> ExpectedReply(const SoakOptions& options, int n,
                                                  std::uint8_t command, module::Fault& fault) {
    const module::FaultDraw draw =
        module::DrawFault(options.seed, options.mix, static_cast<std::uint64_t>(n));
    fault = draw.fault;
    const auto wire = module::ApplyFault(module::NumberedReply(command, draw.sequence), draw);
    if (wire.size() < 5) {
        return std::nullopt;
    }
    module::Bytes first;
    for (std::size_t i = 0; i < 5; ++i) {
        first.push_back(wire[i].byte);
    }
    return first;
}

// Resident memory and open descriptors of this process, from /proc.
struct ProcessFigures {
    long long residentKiB = 0;
    int openFds = 0;
};

inline ProcessFigures SampleProcess() {
    ProcessFigures figures;
    long long pages = 0;
    long long resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    figures.residentKiB = resident * (::sysconf(_SC_PAGESIZE) / 1024);
    if (DIR* fds = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(fds)) {
            figures.openFds += entry->d_name[0] != '.';
        }
        ::closedir(fds);
        --figures.openFds;  // the listing's own
    }
    return figures;
}

// Counts exchanges and misattributed replies by fault, and the process figures at the start,
// the middle and the end.
class SoakTally {
  public:
    // `shown` is what the program showed as the reply, if anything.
    void Record(int n, module::Fault fault, const std::optional<module::Bytes>& expected,
                const std::optional<module::Bytes>& shown) {
        auto& row = rows_[static_cast<std::size_t>(fault)];
        ++row.exchanges;
        row.replies += shown.has_value();
        if (expected != shown) {
            ++row.misattributed;
            if (reported_++ < 10) {
                std::printf("exchange %d (%s): expected %s, shown %s\n", n,
                            std::string(module::FaultName(fault)).c_str(), Text(expected).c_str(),
                            Text(shown).c_str());
            }
        }
    }
    void Sample(const char* when) { samples_.push_back({when, SampleProcess()}); }
    // Samples the start after the first tenth of `total` exchanges (which warms up whatever
    // the first exchanges allocate once) and the middle of the rest; true at the start.
    bool Checkpoint(int n, int total) {
        const int warm = total / 10;
        if (n == warm) {
            Sample("start");
        } else if (n == (warm + total) / 2) {
            Sample("middle");
        }
        return n == warm;
    }

    // Prints the tally and the figures; true when nothing was misattributed and neither
    // memory beyond `expectedGrowthKiB` plus the margin nor the descriptors grew from the
    // first sample to the last.
    bool Report(long long expectedGrowthKiB, long long marginKiB) const {
        int misattributed = 0;
        std::printf("%-8s %10s %8s %14s\n", "fault", "exchanges", "replies", "misattributed");
        for (int f = 0; f < module::kFaultCount; ++f) {
            const Row& row = rows_[static_cast<std::size_t>(f)];
            std::printf("%-8s %10d %8d %14d\n",
                        std::string(module::FaultName(static_cast<module::Fault>(f))).c_str(),
                        row.exchanges, row.replies, row.misattributed);
            misattributed += row.misattributed;
        }
        for (const auto& [when, figures] : samples_) {
            std::printf("%-6s resident %8lld KiB  open descriptors %d\n", when, figures.residentKiB,
                        figures.openFds);
        }
        const ProcessFigures& first = samples_.front().second;
        const ProcessFigures& last = samples_.back().second;
        const long long growth = last.residentKiB - first.residentKiB;
        std::printf("resident growth %lld KiB (expected %lld, margin %lld); descriptors %+d\n",
                    growth, expectedGrowthKiB, marginKiB, last.openFds - first.openFds);
        const bool flat = growth <= expectedGrowthKiB + marginKiB && last.openFds <= first.openFds;
        std::printf("%s: %d misattributed, %s\n", misattributed == 0 && flat ? "PASS" : "FAIL",
                    misattributed, flat ? "memory and descriptors flat" : "GROWTH");
        return misattributed == 0 && flat;
    }

  private:
    static std::string Text(const std::optional<module::Bytes>& bytes) {
        return bytes ? protocol::FormatHexLine(bytes->data(), static_cast<int>(bytes->size()))
                     : "nothing";
    }
    struct Row {
        int exchanges = 0;
        int replies = 0;
        int misattributed = 0;
    };
    std::array<Row, module::kFaultCount> rows_{};
    std::vector<std::pair<const char*, ProcessFigures>> samples_;
    int reported_ = 0;
};

}  // namespace glassbench::bench
