// Text from anywhere (device paths, script names, anything a user typed) made safe for the
// machine-readable outputs: a JSON string and XML character data.
//
// Both keep well-formed UTF-8 as it is and turn every byte that belongs to no well-formed
// UTF-8 sequence into U+FFFD, so whatever goes in, what comes out is valid UTF-8: JSON escapes
// the quote, the backslash and the control characters; XML escapes its five markup characters
// and replaces what XML 1.0 cannot carry at all (control characters other than tab, line feed
// and carriage return, U+FFFE and U+FFFF) with U+FFFD too.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace glassbench::cli {

// The length of the well-formed UTF-8 sequence that starts at text[at] (1 for ASCII), or 0 if
// none starts there.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

// `text` as a quoted JSON string.
std::string JsonString(std::string_view text);

// `text` as XML character data or an attribute value.
std::string XmlText(std::string_view text);

}  // namespace glassbench::cli
