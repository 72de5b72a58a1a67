// Telnet with the COM-PORT-OPTION (RFC 854, RFC 2217), as both ends of a network serial port
// speak it: the tool as the client, the virtual module as an access server.
//
// TelnetCodec is plain logic over bytes, with no I/O. Decode takes what arrived from the peer
// and splits it three ways: data bytes (0xFF arrives doubled and leaves single), the answers
// that option negotiation calls for (queued for the caller to send), and the peer's com-port
// messages. Each option is negotiated with the loop-free rules of RFC 1143: a request is
// answered only when it changes an option's state, an option the role does not know is
// refused, and a refusal of what we asked for is taken without a word. A subnegotiation that
// is longer than any this code knows is read to its end and dropped, so a hostile or broken
// peer can make the codec neither grow nor stall. The Append functions build what goes out.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace glassbench::net::telnet {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kSe = 240;
inline constexpr std::uint8_t kSb = 250;
inline constexpr std::uint8_t kWill = 251;
inline constexpr std::uint8_t kWont = 252;
inline constexpr std::uint8_t kDo = 253;
inline constexpr std::uint8_t kDont = 254;
inline constexpr std::uint8_t kIac = 255;

enum class Option : std::uint8_t {
    Binary = 0,
    Echo = 1,
    SuppressGoAhead = 3,
    ComPort = 44,
};

// The com-port commands a client sends; the server answers each with the same command plus
// kServerOffset and the value it now has.
enum class ComPort : std::uint8_t {
    Signature = 0,
    SetBaudRate = 1,
    SetDataSize = 2,
    SetParity = 3,
    SetStopSize = 4,
    SetControl = 5,
    NotifyLineState = 6,
    NotifyModemState = 7,
    FlowControlSuspend = 8,
    FlowControlResume = 9,
    SetLineStateMask = 10,
    SetModemStateMask = 11,
    PurgeData = 12,
};
inline constexpr std::uint8_t kServerOffset = 100;
inline constexpr int kComPortCommands = 13;

// SET-CONTROL's values, 0 to 19: which setting each one asks about or sets. Each setting's
// row begins with the value that asks (0, 4, 7, 10, 13); then flow control none, XON/XOFF,
// hardware; break, DTR and RTS on and off.
enum class ControlSetting : std::uint8_t { OutboundFlow, Break, Dtr, Rts, InboundFlow };
inline constexpr std::size_t kControlSettings = 5;
struct ControlValue {
    ControlSetting setting;
    bool asks;  // asks for the setting's value, sets nothing
};
// clang-format off
inline constexpr std::array<ControlValue, 20> kControlValues{{
    {ControlSetting::OutboundFlow, true}, {ControlSetting::OutboundFlow, false},
    {ControlSetting::OutboundFlow, false}, {ControlSetting::OutboundFlow, false},
    {ControlSetting::Break, true}, {ControlSetting::Break, false}, {ControlSetting::Break, false},
    {ControlSetting::Dtr, true}, {ControlSetting::Dtr, false}, {ControlSetting::Dtr, false},
    {ControlSetting::Rts, true}, {ControlSetting::Rts, false}, {ControlSetting::Rts, false},
    {ControlSetting::InboundFlow, true}, {ControlSetting::InboundFlow, false},
    {ControlSetting::InboundFlow, false}, {ControlSetting::InboundFlow, false},
    // DCD, DTR and DSR flow control
    {ControlSetting::OutboundFlow, false}, {ControlSetting::InboundFlow, false},
    {ControlSetting::OutboundFlow, false},
}};
// clang-format on
inline constexpr std::uint8_t kNoFlowControl = 1;
inline constexpr std::uint8_t kBreakOff = 6;
inline constexpr std::uint8_t kDtrOn = 8;
inline constexpr std::uint8_t kDtrOff = 9;
inline constexpr std::uint8_t kRtsOn = 11;
inline constexpr std::uint8_t kRtsOff = 12;
inline constexpr std::uint8_t kNoInboundFlowControl = 14;
// SET-PARITY's values: NONE, ODD, EVEN, MARK, SPACE; SET-STOPSIZE's: 1, 2, 1.5 bits.
inline constexpr std::uint8_t kParityNone = 1;
inline constexpr std::uint8_t kParityEven = 3;
inline constexpr std::uint8_t kParitySpace = 5;
inline constexpr std::uint8_t kStopOne = 1;
inline constexpr std::uint8_t kStopTwo = 2;
inline constexpr std::uint8_t kStopOneAndHalf = 3;
// PURGE-DATA's values: the access server's buffer of what the serial line has received, of
// what it is to transmit, or both.
inline constexpr std::uint8_t kPurgeReceived = 1;
inline constexpr std::uint8_t kPurgeBoth = 3;
// NOTIFY-MODEMSTATE's bits for the inputs: CTS, DSR and carrier detect.
inline constexpr std::uint8_t kModemCts = 0x10;
inline constexpr std::uint8_t kModemDsr = 0x20;
inline constexpr std::uint8_t kModemCd = 0x80;

// The longest com-port value that means anything here (a signature text); longer ones are
// dropped.
inline constexpr std::size_t kMaxSubnegotiation = 64;

enum class Role { Client, Server };

// One com-port subnegotiation as it arrived: the command byte as sent (a server's answers
// carry kServerOffset) and its value, with doubled 0xFF bytes made single. `dataBefore` is the
// size the data vector had when it ended: what came before it and what after is told apart,
// which a purge's answer needs.
struct ComPortMessage {
    std::uint8_t command = 0;
    Bytes value;
    std::size_t dataBefore = 0;
};

class TelnetCodec {
  public:
    explicit TelnetCodec(Role role) : role_(role) {}

    // Asks the peer to let us use `option` (WILL) or to use it itself (DO), unless that is
    // settled or asked already; the request goes to `out`.
    void RequestLocal(Option option, Bytes& out);
    void RequestRemote(Option option, Bytes& out);

    // Splits `in` into data (appended to `data`), negotiation answers (appended to `out`)
    // and com-port messages (appended to `messages`). Incomplete commands wait for the next
    // call.
    void Decode(std::span<const std::uint8_t> in, Bytes& data, Bytes& out,
                std::vector<ComPortMessage>& messages);

    bool LocalEnabled(Option option) const { return State(option).local == Q::Yes; }
    bool RemoteEnabled(Option option) const { return State(option).remote == Q::Yes; }
    // Whether the question of a local or remote option we asked for has been answered.
    bool LocalSettled(Option option) const { return State(option).local != Q::WantYes; }
    bool RemoteSettled(Option option) const { return State(option).remote != Q::WantYes; }

  private:
    enum class Q : std::uint8_t { No, Yes, WantYes };
    struct OptionState {
        Q local = Q::No;   // we use it (we said WILL)
        Q remote = Q::No;  // the peer uses it (it said WILL)
    };
    enum class Stage : std::uint8_t { Data, Iac, Verb, SbOption, SbData, SbIac };

    OptionState& State(Option option) { return options_[static_cast<std::uint8_t>(option)]; }
    const OptionState& State(Option option) const {
        return options_[static_cast<std::uint8_t>(option)];
    }
    bool Accepts(bool local, std::uint8_t option) const;
    void Negotiate(std::uint8_t verb, std::uint8_t option, Bytes& out);
    void EndSubnegotiation(std::size_t dataBefore, std::vector<ComPortMessage>& messages);

    Role role_;
    std::array<OptionState, 256> options_{};
    Stage stage_ = Stage::Data;
    std::uint8_t verb_ = 0;
    std::uint8_t sbOption_ = 0;
    Bytes sb_;
    bool sbOverflow_ = false;
};

// Data for the peer: every 0xFF doubled.
void AppendData(Bytes& out, std::span<const std::uint8_t> data);
// IAC SB COM-PORT-OPTION command value IAC SE, with 0xFF in the value doubled.
void AppendComPort(Bytes& out, std::uint8_t command, std::span<const std::uint8_t> value);
// A four-byte value in network order, as SET-BAUDRATE carries it.
std::array<std::uint8_t, 4> BigEndian32(std::uint32_t value);
std::uint32_t ReadBigEndian32(std::span<const std::uint8_t> value);

}  // namespace glassbench::net::telnet
