// The frame builder read backwards: from the bytes of one frame to the fields that build exactly
// those bytes, so that a captured frame can be written as the options a person would type.
//
// The fields are read off the bytes where the layout keeps them (X and Y at bytes 3 to 6, the
// style byte, the data bytes up to the checksum), choosing the plainest of the choices that give
// the same bytes: Transparent "No" rather than no selection, FontSize "none" as no selection,
// LCDs Type Uart unless only the SPI form makes the style byte, zeros for what a fixed layout does
// not send (Clear Screen's data byte, the bytes past a fixed layout's own), and 00 for the data
// byte an edit text's style byte replaces. Fields a layout does not use (X and Y of a fixed
// layout, the style of a layout without one) keep the window's start-up values. The choice is
// then built and must give the bytes back, byte for byte: a bad checksum, an unknown code, a
// length no data count gives, a style byte no choice makes or a byte the builder would have
// written otherwise leaves no fields at all.
#pragma once

#include <cstdint>
#include <optional>

#include "protocol/CommandFrame.h"

namespace glassbench::protocol {

// The fields BuildCommandFrame turns into the `n` bytes at `bytes`, or nullopt when none do.
std::optional<CommandFields> FieldsForFrame(const std::uint8_t* bytes, int n);

}  // namespace glassbench::protocol
