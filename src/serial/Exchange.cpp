#include "serial/Exchange.h"

namespace glassbench::serial {

ExchangeResult Exchange(SerialLink& link, protocol::CommandFrame& frame, int frameLength,
                        const std::function<void(const ExchangeResult&)>& afterWrite) {
    ExchangeResult result;
    result.frameLength = frameLength;
    link.DiscardInput();
    result.written = link.SendBytes(frame.data(), frameLength);
    result.sendError = link.LastSendError();
    result.stopped = link.LastWaitStopped();
    if (afterWrite) {
        afterWrite(result);
    }
    if (!result.Sent()) {
        return result;
    }
    std::uint8_t* reply = frame.data() + protocol::kReplyOffset;
    result.replied = link.ReceiveExact(reply, protocol::kReplyLength, kReplyTries) == 1;
    result.received = link.LastReceivedCount();
    result.portFailed = link.LastReceiveFailed();
    result.failure = link.LastReceiveDetail();
    result.stopped = link.LastWaitStopped();
    return result;
}

void PulseModemLines(SerialLink& link, bool dtr, bool rts,
                     const std::function<void(std::chrono::milliseconds)>& pause) {
    link.SetModemLines(false, false);
    pause(kModemPulse);
    link.SetModemLines(dtr, rts);
}

std::string CouldNotOpenPortText(std::string_view deviceName) {
    std::string text = "Could not open port ";
    text += deviceName;
    text += '.';
    return text;
}

}  // namespace glassbench::serial
