// One wait over several event handles on Windows: WaitForMultipleObjects, so that whichever
// is set first wakes the caller at once.
#include <vector>

#include "serial/SerialSystem.h"
#include "serial/Win32Time.h"

namespace glassbench::serial {

std::optional<std::size_t> WaitForAny(std::span<const WaitToken> tokens, TimePoint deadline) {
    std::vector<HANDLE> handles;
    handles.reserve(tokens.size());
    for (const WaitToken token : tokens) {
        handles.push_back(reinterpret_cast<HANDLE>(token));
    }
    if (handles.empty() || handles.size() > MAXIMUM_WAIT_OBJECTS) {
        return std::nullopt;
    }
    for (;;) {
        const DWORD rc = ::WaitForMultipleObjects(
            static_cast<DWORD>(handles.size()), handles.data(), FALSE, MillisecondsUntil(deadline));
        if (rc < WAIT_OBJECT_0 + handles.size()) {
            return rc - WAIT_OBJECT_0;
        }
        if (rc != WAIT_TIMEOUT || Clock::now() >= deadline) {
            return std::nullopt;
        }
    }
}

}  // namespace glassbench::serial
