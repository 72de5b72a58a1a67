#include "net/Telnet.h"

namespace glassbench::net::telnet {

namespace {

void AppendCommand(Bytes& out, std::uint8_t verb, std::uint8_t option) {
    out.insert(out.end(), {kIac, verb, option});
}

constexpr std::uint8_t Code(Option option) {
    return static_cast<std::uint8_t>(option);
}

}  // namespace

bool TelnetCodec::Accepts(bool local, std::uint8_t option) const {
    // Binary both ways, so that every byte value passes and no CR gains a NUL; no go-aheads,
    // which a serial line has no use for; and the com-port option, which the client uses and
    // the server offers. Echo and everything else are refused.
    if (option == Code(Option::Binary) || option == Code(Option::SuppressGoAhead)) {
        return true;
    }
    const bool clientUses = role_ == Role::Client ? local : !local;
    return option == Code(Option::ComPort) && clientUses;
}

void TelnetCodec::RequestLocal(Option option, Bytes& out) {
    Q& state = State(option).local;
    if (state == Q::No) {
        state = Q::WantYes;
        AppendCommand(out, kWill, Code(option));
    }
}

void TelnetCodec::RequestRemote(Option option, Bytes& out) {
    Q& state = State(option).remote;
    if (state == Q::No) {
        state = Q::WantYes;
        AppendCommand(out, kDo, Code(option));
    }
}

void TelnetCodec::Negotiate(std::uint8_t verb, std::uint8_t option, Bytes& out) {
    // WILL and WONT speak of the peer's side of an option, DO and DONT of ours.
    const bool local = verb == kDo || verb == kDont;
    const bool enable = verb == kWill || verb == kDo;
    Q& state = local ? options_[option].local : options_[option].remote;
    const std::uint8_t agree = local ? kWill : kDo;
    const std::uint8_t refuse = local ? kWont : kDont;
    if (enable) {
        if (state == Q::WantYes) {
            state = Q::Yes;
        } else if (state == Q::No) {
            if (Accepts(local, option)) {
                state = Q::Yes;
                AppendCommand(out, agree, option);
            } else {
                AppendCommand(out, refuse, option);
            }
        }
        return;
    }
    // A refusal of what we asked for is an answer, not a request: it gets none.
    if (state == Q::Yes) {
        AppendCommand(out, refuse, option);
    }
    state = Q::No;
}

void TelnetCodec::EndSubnegotiation(std::size_t dataBefore, std::vector<ComPortMessage>& messages) {
    if (sbOption_ == Code(Option::ComPort) && !sbOverflow_ && !sb_.empty()) {
        messages.push_back({sb_.front(), Bytes(sb_.begin() + 1, sb_.end()), dataBefore});
    }
    sb_.clear();
    sbOverflow_ = false;
}

void TelnetCodec::Decode(std::span<const std::uint8_t> in, Bytes& data, Bytes& out,
                         std::vector<ComPortMessage>& messages) {
    for (std::size_t i = 0; i < in.size(); ++i) {
        const std::uint8_t b = in[i];
        switch (stage_) {
            case Stage::Data:
                if (b == kIac) {
                    stage_ = Stage::Iac;
                } else {
                    data.push_back(b);
                }
                break;
            case Stage::Iac:
                if (b == kIac) {
                    data.push_back(kIac);
                    stage_ = Stage::Data;
                } else if (b >= kWill && b <= kDont) {
                    verb_ = b;
                    stage_ = Stage::Verb;
                } else if (b == kSb) {
                    stage_ = Stage::SbOption;
                } else {
                    // NOP, go-ahead, data mark, a stray SE: nothing for a serial line.
                    stage_ = Stage::Data;
                }
                break;
            case Stage::Verb:
                Negotiate(verb_, b, out);
                stage_ = Stage::Data;
                break;
            case Stage::SbOption:
                sbOption_ = b;
                sb_.clear();
                sbOverflow_ = false;
                stage_ = Stage::SbData;
                break;
            case Stage::SbData:
            case Stage::SbIac:
                if (stage_ == Stage::SbData && b == kIac) {
                    stage_ = Stage::SbIac;
                    break;
                }
                if (stage_ == Stage::SbIac && b == kSe) {
                    EndSubnegotiation(data.size(), messages);
                    stage_ = Stage::Data;
                    break;
                }
                if (stage_ == Stage::SbIac && b != kIac) {
                    // IAC and anything but IAC or SE cannot stand inside a subnegotiation: the
                    // peer broke off without SE. Drop it and read the command it began.
                    sb_.clear();
                    stage_ = Stage::Iac;
                    --i;
                    break;
                }
                if (sb_.size() < kMaxSubnegotiation) {
                    sb_.push_back(b);
                } else {
                    sbOverflow_ = true;
                }
                stage_ = Stage::SbData;
                break;
        }
    }
}

void AppendData(Bytes& out, std::span<const std::uint8_t> data) {
    for (const std::uint8_t b : data) {
        out.push_back(b);
        if (b == kIac) {
            out.push_back(kIac);
        }
    }
}

void AppendComPort(Bytes& out, std::uint8_t command, std::span<const std::uint8_t> value) {
    out.insert(out.end(), {kIac, kSb, Code(Option::ComPort), command});
    AppendData(out, value);
    out.insert(out.end(), {kIac, kSe});
}

std::array<std::uint8_t, 4> BigEndian32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

std::uint32_t ReadBigEndian32(std::span<const std::uint8_t> value) {
    std::uint32_t result = 0;
    for (std::size_t i = 0; i < 4 && i < value.size(); ++i) {
        result = (result << 8) | value[i];
    }
    return result;
}

}  // namespace glassbench::net::telnet
