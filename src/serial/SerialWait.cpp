#include <vector>

#include "serial/SerialSystem.h"

namespace glassbench::serial {

std::optional<std::size_t> WaitForInput(std::span<SerialDevice* const> devices, TimePoint deadline,
                                        std::span<const WaitToken> extra) {
    std::vector<WaitToken> tokens;
    tokens.reserve(devices.size() + extra.size());
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const std::optional<WaitToken> token = devices[i]->InputToken();
        if (!token) {
            return i;
        }
        tokens.push_back(*token);
    }
    tokens.insert(tokens.end(), extra.begin(), extra.end());
    return WaitForAny(tokens, deadline);
}

}  // namespace glassbench::serial
