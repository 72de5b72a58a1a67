// What goes wrong on a connection that the system has no code for, as std::error_code values
// of a category of their own, so that they travel and print as the system's codes do.
#pragma once

#include <system_error>

namespace glassbench::net {

enum class Error {
    // The peer ended the connection in order (its end of file).
    ClosedByPeer = 1,
    // The peer reads nothing: the Telnet answers it must be sent piled up past their bound.
    PeerReadsNothing,
};

const std::error_category& ErrorCategory();

inline std::error_code make_error_code(Error e) {
    return {static_cast<int>(e), ErrorCategory()};
}

}  // namespace glassbench::net

template <>
struct std::is_error_code_enum<glassbench::net::Error> : std::true_type {};
