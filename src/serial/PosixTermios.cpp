#include "serial/PosixTermios.h"

#include <array>
#include <cstddef>

#include "serial/PortTables.h"

namespace glassbench::serial {

namespace {

// The termios constant of each speed-table row, in the table's order.
constexpr std::array<speed_t, kSpeedCount> kTermiosSpeeds{
    B1200, B2400, B4800, B9600, B19200, B57600, B115200,
};

// Raw mode, as cfmakeraw and with software flow control off besides: XON/XOFF would swallow
// 0x11 and 0x13, ICRNL would turn 0x0D into 0x0A, ISIG would swallow 0x03, PARMRK would double
// 0xFF. The same masks make the mode and check it.
constexpr tcflag_t kRawInputOff = IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                  IXOFF | IXANY | INPCK | IMAXBEL;
constexpr tcflag_t kRawOutputOff = OPOST;
constexpr tcflag_t kRawLocalOff = ECHO | ECHONL | ICANON | ISIG | IEXTEN;
constexpr tcflag_t kRawControlOn = CLOCAL | CREAD;

struct DataBits {
    int bits;
    tcflag_t size;
};
constexpr std::array<DataBits, 4> kDataBits{{{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}}};

}  // namespace

speed_t SpeedConstant(int bitsPerSecond) {
    const auto index = SpeedIndexFor(bitsPerSecond);
    return index ? kTermiosSpeeds[static_cast<std::size_t>(*index)] : B0;
}

int BitsPerSecond(speed_t speed) {
    for (std::size_t i = 0; i < kTermiosSpeeds.size(); ++i) {
        if (kTermiosSpeeds[i] == speed) {
            return SpeedTable[i].bitsPerSecond;
        }
    }
    return 0;
}

bool ApplyLineSettings(termios& t, const LineSettings& settings) {
    const speed_t speed = SpeedConstant(settings.bitsPerSecond);
    const DataBits* size = nullptr;
    for (const DataBits& row : kDataBits) {
        size = row.bits == settings.dataBits ? &row : size;
    }
    if (speed == B0 || size == nullptr || (settings.stopBits != 1 && settings.stopBits != 2)) {
        return false;
    }
    termios result = t;
    if (settings.raw) {
        result.c_iflag &= ~kRawInputOff;
        result.c_oflag &= ~kRawOutputOff;
        result.c_lflag &= ~kRawLocalOff;
        result.c_cflag |= kRawControlOn;
        // One byte makes the device readable; poll would otherwise wait for VMIN bytes.
        result.c_cc[VMIN] = 1;
        result.c_cc[VTIME] = 0;
    }
    result.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    result.c_cflag |= size->size;
    if (settings.parity) {
        result.c_cflag |= PARENB;
    }
    if (settings.stopBits == 2) {
        result.c_cflag |= CSTOPB;
    }
    if (settings.hardwareFlow) {
        result.c_cflag |= CRTSCTS;
    }
    if (::cfsetispeed(&result, speed) != 0 || ::cfsetospeed(&result, speed) != 0) {
        return false;
    }
    t = result;
    return true;
}

LineSettings ReportLineSettings(const termios& t) {
    LineSettings settings;
    settings.bitsPerSecond = BitsPerSecond(::cfgetospeed(&t));
    settings.dataBits = 8;
    for (const DataBits& row : kDataBits) {
        if ((t.c_cflag & CSIZE) == row.size) {
            settings.dataBits = row.bits;
        }
    }
    settings.parity = (t.c_cflag & PARENB) != 0;
    settings.stopBits = (t.c_cflag & CSTOPB) != 0 ? 2 : 1;
    settings.hardwareFlow = (t.c_cflag & CRTSCTS) != 0;
    settings.raw = (t.c_iflag & kRawInputOff) == 0 && (t.c_oflag & kRawOutputOff) == 0 &&
                   (t.c_lflag & kRawLocalOff) == 0 &&
                   (t.c_cflag & kRawControlOn) == kRawControlOn && t.c_cc[VMIN] == 1 &&
                   t.c_cc[VTIME] == 0;
    return settings;
}

}  // namespace glassbench::serial
