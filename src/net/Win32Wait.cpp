// One wait over several event handles on Windows: WaitForMultipleObjects, so that whichever
// is set first wakes the caller at once.
#include <algorithm>
#include <vector>

#include "net/Io.h"
#include "net/Win32Time.h"

namespace glassbench::net {

std::optional<std::size_t> WaitForAny(std::span<const WaitToken> tokens, TimePoint deadline,
                                      std::span<const WaitToken> writable) {
    // An event is set for whatever it stands for: a socket's stands for room to write too, so
    // its writable token is its input token again. WaitForMultipleObjects refuses a handle
    // twice, so each goes in once.
    std::vector<HANDLE> handles;
    handles.reserve(tokens.size() + writable.size());
    for (const auto& list : {tokens, writable}) {
        for (const WaitToken token : list) {
            const HANDLE handle = reinterpret_cast<HANDLE>(token);
            if (std::find(handles.begin(), handles.end(), handle) == handles.end()) {
                handles.push_back(handle);
            }
        }
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

}  // namespace glassbench::net
