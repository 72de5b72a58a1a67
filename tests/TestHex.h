// Test-side hex helpers, written independently of the protocol library so that expected
// values never come from the code under test.
#pragma once

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace glassbench::testing {

// "AA 04 80" -> {0xAA, 0x04, 0x80}; blanks separate bytes.
inline std::vector<std::uint8_t> Bytes(const std::string& hex) {
    std::vector<std::uint8_t> out;
    std::istringstream in(hex);
    std::string word;
    while (in >> word) {
        out.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    }
    return out;
}

// {0xAA, 0x04} -> "AA 04" (no trailing blank).
inline std::string Hex(const std::uint8_t* bytes, std::size_t n) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
        if (i != 0) {
            out += ' ';
        }
        out += buf;
    }
    return out;
}

inline std::string Hex(const std::vector<std::uint8_t>& bytes) {
    return Hex(bytes.data(), bytes.size());
}

}  // namespace glassbench::testing
