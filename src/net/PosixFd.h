// A POSIX descriptor's owner: closed once, when its owner goes.
#pragma once

#include <unistd.h>

#include "net/UniqueHandle.h"

namespace glassbench::net {

inline void CloseFd(int fd) {
    ::close(fd);
}

using UniqueFd = UniqueHandle<int, &CloseFd, -1>;

}  // namespace glassbench::net
