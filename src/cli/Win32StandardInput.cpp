#include <io.h>

#include <algorithm>
#include <climits>

#include "cli/StandardInput.h"

namespace glassbench::cli {

std::size_t ReadStandardInput(char* buffer, std::size_t size) {
    // _read on a pipe or a console returns what has come, as ReadFile does.
    const int n = ::_read(0, buffer, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

}  // namespace glassbench::cli
