#include "module/ModuleFaults.h"

#include <algorithm>
#include <charconv>

#include "protocol/CommandFrame.h"
#include "protocol/HexText.h"

namespace glassbench::module {

namespace {

constexpr std::array<std::string_view, kFaultCount> kFaultNames{"normal", "long",   "split", "late",
                                                                "junk",   "silent", "short"};

constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15;

// Limits of the particulars a draw picks from.
constexpr int kLateMinMs = 100;
constexpr int kLateMaxMs = 600;
constexpr int kSplitMinMs = 1;
constexpr int kSplitMaxMs = 5;
constexpr int kMaxJunk = 3;

std::uint8_t ByteOf(std::uint64_t number, int index) {
    return static_cast<std::uint8_t>(number >> (8 * index));
}

std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

}  // namespace

std::string_view FaultName(Fault fault) {
    return kFaultNames[static_cast<std::size_t>(fault)];
}

std::optional<FaultMix> ParseFaultMix(std::string_view text, std::string& error) {
    FaultMix mix{};
    std::array<bool, kFaultCount> named{};
    long long total = 0;
    for (;;) {
        const auto comma = text.find(',');
        const std::string_view entry = text.substr(0, comma);
        const auto colon = entry.find(':');
        const std::string_view name = entry.substr(0, colon);
        std::size_t index = 0;
        while (index < kFaultNames.size() && kFaultNames[index] != name) {
            ++index;
        }
        if (index == kFaultNames.size()) {
            error = "unknown fault " + Quoted(name) + "; the faults are";
            for (const std::string_view known : kFaultNames) {
                error += (known == kFaultNames.front() ? " " : ", ") + std::string(known);
            }
            return std::nullopt;
        }
        if (named[index]) {
            error = std::string(name) + " is named twice";
            return std::nullopt;
        }
        named[index] = true;
        if (colon == std::string_view::npos) {
            error = std::string(name) + " needs a weight, as in " + std::string(name) + ":5";
            return std::nullopt;
        }
        const std::string_view weight = entry.substr(colon + 1);
        int value = -1;
        const auto [end, ec] = std::from_chars(weight.data(), weight.data() + weight.size(), value);
        if (ec != std::errc() || end != weight.data() + weight.size() || value < 0 ||
            value > kMaxFaultWeight) {
            error = "the weight " + Quoted(weight) + " of " + std::string(name) + " is not 0 to " +
                    std::to_string(kMaxFaultWeight);
            return std::nullopt;
        }
        mix[index] = value;
        total += value;
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    if (total == 0) {
        error = "the weights are all 0";
        return std::nullopt;
    }
    return mix;
}

std::string FormatFaultMix(const FaultMix& mix) {
    std::string text;
    for (std::size_t i = 0; i < mix.size(); ++i) {
        text += (i == 0 ? "" : ",") + std::string(kFaultNames[i]) + ":" + std::to_string(mix[i]);
    }
    return text;
}

std::uint64_t SplitMix64(std::uint64_t& state) {
    std::uint64_t z = (state += kGolden);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
    return z ^ (z >> 31);
}

FaultDraw DrawFault(std::uint64_t seed, const FaultMix& mix, std::uint64_t frame) {
    std::uint64_t state = seed + 2 * frame * kGolden;
    const std::uint64_t choice = SplitMix64(state);
    const std::uint64_t detail = SplitMix64(state);

    std::uint64_t total = 0;
    for (const int weight : mix) {
        total += static_cast<std::uint64_t>(weight);
    }
    std::uint64_t pick = choice % std::max<std::uint64_t>(total, 1);
    std::size_t index = 0;
    while (index + 1 < mix.size() && pick >= static_cast<std::uint64_t>(mix[index])) {
        pick -= static_cast<std::uint64_t>(mix[index]);
        ++index;
    }

    FaultDraw draw;
    draw.fault = static_cast<Fault>(index);
    draw.sequence = static_cast<std::uint8_t>(frame);
    switch (draw.fault) {
        case Fault::Late:
            draw.delay =
                std::chrono::milliseconds(kLateMinMs + detail % (kLateMaxMs - kLateMinMs + 1));
            break;
        case Fault::Split:
            draw.delay =
                std::chrono::milliseconds(kSplitMinMs + detail % (kSplitMaxMs - kSplitMinMs + 1));
            break;
        case Fault::Junk:
            // The number modulo 3 picks the count; its bytes 1 to 3 are the noise.
            for (std::uint64_t i = 0; i <= detail % kMaxJunk; ++i) {
                draw.noise.push_back(ByteOf(detail, static_cast<int>(i) + 1));
            }
            break;
        case Fault::Long:
            draw.noise.push_back(ByteOf(detail, 1));
            break;
        default:
            break;
    }
    return draw;
}

Bytes NumberedReply(std::uint8_t command, std::uint8_t sequence) {
    Bytes reply = protocol::BuildReply(command, protocol::ReplyStatus::Good);
    reply[3] = sequence;
    reply[4] = protocol::FrameChecksum(reply.data(), 4);
    return reply;
}

std::vector<ReplyByte> ApplyFault(const Bytes& answer, const FaultDraw& draw) {
    using std::chrono::milliseconds;
    std::vector<ReplyByte> wire;
    if (draw.fault == Fault::Silent) {
        return wire;
    }
    if (draw.fault == Fault::Junk) {
        for (const std::uint8_t byte : draw.noise) {
            wire.push_back({byte, milliseconds(0)});
        }
    }
    const std::size_t count = answer.size() - (draw.fault == Fault::Short && !answer.empty());
    for (std::size_t i = 0; i < count; ++i) {
        const milliseconds after = draw.fault == Fault::Late    ? draw.delay
                                   : draw.fault == Fault::Split ? draw.delay * static_cast<int>(i)
                                                                : milliseconds(0);
        wire.push_back({answer[i], after});
    }
    if (draw.fault == Fault::Long) {
        for (const std::uint8_t byte : draw.noise) {
            wire.push_back({byte, milliseconds(0)});
        }
    }
    return wire;
}

std::string FaultNote(const FaultDraw& draw) {
    return " [fault " + std::string(FaultName(draw.fault)) + ", seq " +
           protocol::FormatHexByte(draw.sequence) + "]";
}

}  // namespace glassbench::module
