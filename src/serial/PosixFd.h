// A POSIX descriptor's owner: closed once, when its owner goes.
#pragma once

#include <unistd.h>

#include "serial/UniqueHandle.h"

namespace glassbench::serial {

inline void CloseFd(int fd) {
    ::close(fd);
}

using UniqueFd = UniqueHandle<int, &CloseFd, -1>;

}  // namespace glassbench::serial
