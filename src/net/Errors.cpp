#include "net/Errors.h"

#include <string>

namespace glassbench::net {

namespace {

// Worded for the tool, the client: what it prints when a server misbehaves.
class Category final : public std::error_category {
  public:
    const char* name() const noexcept override { return "glassbench-net"; }
    std::string message(int value) const override {
        switch (static_cast<Error>(value)) {
            case Error::ClosedByPeer:
                return "The server closed the connection";
            case Error::PeerReadsNothing:
                return "The server reads nothing: the answers it must be sent piled up";
        }
        return "Unknown network error";
    }
};

}  // namespace

const std::error_category& ErrorCategory() {
    static const Category category;
    return category;
}

}  // namespace glassbench::net
