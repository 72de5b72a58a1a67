#include "cli/TextEscape.h"

namespace glassbench::cli {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// Calls `ascii` with each ASCII character and `other` with each well-formed multi-byte
// sequence of `text`, and `invalid` for each byte that starts none.
template <class Ascii, class Other, class Invalid>
void ForEachCharacter(std::string_view text, Ascii ascii, Other other, Invalid invalid) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            invalid();
            ++i;
        } else if (length == 1) {
            ascii(static_cast<unsigned char>(text[i++]));
        } else {
            other(text.substr(i, length));
            i += length;
        }
    }
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    // The second byte's range rules out overlong forms, surrogates and code points above
    // U+10FFFF.
    std::size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

std::string JsonString(std::string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out = "\"";
    ForEachCharacter(
        text,
        [&](unsigned char c) {
            switch (c) {
                case '"':
                    out += "\\\"";
                    break;
                case '\\':
                    out += "\\\\";
                    break;
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                default:
                    if (c < 0x20) {
                        out += "\\u00";
                        out += kDigits[c >> 4];
                        out += kDigits[c & 0x0F];
                    } else {
                        out += static_cast<char>(c);
                    }
            }
        },
        [&](std::string_view sequence) { out += sequence; }, [&] { out += "\\ufffd"; });
    out += '"';
    return out;
}

std::string XmlText(std::string_view text) {
    std::string out;
    ForEachCharacter(
        text,
        [&](unsigned char c) {
            switch (c) {
                case '&':
                    out += "&amp;";
                    break;
                case '<':
                    out += "&lt;";
                    break;
                case '>':
                    out += "&gt;";
                    break;
                case '"':
                    out += "&quot;";
                    break;
                case '\'':
                    out += "&apos;";
                    break;
                default:
                    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                        out += kReplacement;
                    } else {
                        out += static_cast<char>(c);
                    }
            }
        },
        [&](std::string_view sequence) {
            // U+FFFE and U+FFFF are no XML characters.
            const bool nonCharacter = sequence == "\xEF\xBF\xBE" || sequence == "\xEF\xBF\xBF";
            out += nonCharacter ? kReplacement : sequence;
        },
        [&] { out += kReplacement; });
    return out;
}

}  // namespace glassbench::cli
