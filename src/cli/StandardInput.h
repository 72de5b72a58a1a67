// Standard input read as it comes, for decode at the end of a live pipe: a read gives what has
// arrived as soon as anything has, where the C and C++ streams wait to fill their buffer. One
// implementation a platform: PosixStandardInput.cpp (read), Win32StandardInput.cpp (the C
// runtime's _read, in the text mode that standard input has there, so that its line ends and
// Ctrl+Z read as they always have).
#pragma once

#include <cstddef>

namespace glassbench::cli {

// Up to `size` bytes into `buffer`, once some have come; 0 at the end of the input, and when it
// cannot be read.
std::size_t ReadStandardInput(char* buffer, std::size_t size);

}  // namespace glassbench::cli
