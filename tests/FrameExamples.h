// Worked frame examples, checked through the library and through the built glassbench-cli.
// Expected bytes were worked out by hand from the frame format, never by the code under test.
#pragma once

#include <vector>

namespace glassbench::testing {

struct FrameExample {
    const char* name;
    int command;
    const char* x;
    const char* y;
    const char* data;
    int transparent;
    int fontSize;
    int lcdType;             // list index: 0 Uart, 1 SPI, 2 I2C, 3 USB
    const char* frame;       // bytes 0 to L
    const char* transcript;  // what "Data Send:" gains, without the trailing blank
    const char* lengh;
    const char* checksum;
};

// clang-format off
inline const std::vector<FrameExample> kFrameExamples = {
    {"ClearDefault", 0, "0", "0", "0", 0, 0, 0, "AA 04 80 00 2E", "AA 04 80 00 2E", "4", "2e"},
    {"ClearDefaultSpi", 0, "0", "0", "0", 0, 0, 1, "AA 04 80 00 2E", "80 00", "4", "2e"},
    {"ClearDefaultI2c", 0, "0", "0", "0", 0, 0, 2, "AA 04 80 00 2E", "80 00", "4", "2e"},
    {"ClearZeroData", 0, "0", "0", "00", 0, 0, 3, "AA 04 80 00 2E", "AA 04 80 00 2E", "4", "2e"},
    {"ClearIgnoresItsByte", 0, "0", "0", "7F", 0, 0, 0, "AA 04 80 00 2E", "AA 04 80 00 2E", "4", "2e"},
    {"BackgroundColor", 1, "0", "0", "F8 00", 0, 0, 0, "AA 05 81 F8 00 28", "AA 05 81 F8 00 28", "5", "28"},
    {"Brightness", 3, "0", "0", "05", 0, 0, 0, "AA 04 83 05 36", "AA 04 83 05 36", "4", "36"},
    {"AsciiDisplay", 5, "10", "20", "41", 0, 0, 0, "AA 09 85 00 0A 00 14 F1 41 88", "AA 09 85 00 0A 00 14 F1 41 88", "9", "88"},
    {"GlyphIgnoresSpi", 5, "10", "20", "41", 0, 0, 1, "AA 09 85 00 0A 00 14 F1 41 88", "85 00 0A 00 14 F1 41", "9", "88"},
    {"AsciiStringUart", 6, "10", "20", "48 49", 0, 1, 0, "AA 0A 86 00 0A 00 14 F2 48 49 DB", "AA 0A 86 00 0A 00 14 F2 48 49 DB", "a", "db"},
    {"AsciiStringSpi", 6, "10", "20", "48 49", 0, 1, 1, "AA 0A 86 00 0A 00 14 2A 48 49 13", "86 00 0A 00 14 2A 48 49", "a", "13"},
    {"ChineseStringSpi", 8, "0", "0", "B0 A1 B0 A2", 1, 3, 1, "AA 0C 88 00 00 00 00 24 B0 A1 B0 A2 05", "88 00 00 00 00 24 B0 A1 B0 A2", "c", "5"},
    {"DrawPoint", 10, "100", "50", "F8 00", 0, 0, 0, "AA 09 8A 00 64 00 32 F8 00 CB", "AA 09 8A 00 64 00 32 F8 00 CB", "9", "cb"},
    {"DrawBoxSkipsTenCodes", 16, "320", "240", "01 02", 0, 0, 0, "AA 09 9A 01 40 00 F0 01 02 81", "AA 09 9A 01 40 00 F0 01 02 81", "9", "81"},
    {"EditAsciiUart", 18, "5", "6", "01 02 03 04 00 41 42", 0, 0, 0, "AA 0E 9C 00 05 00 06 01 02 03 04 F1 41 42 DD", "AA 0E 9C 00 05 00 06 01 02 03 04 F1 41 42 DD", "e", "dd"},
    {"EditAsciiSpi", 18, "5", "6", "01 02 03 04 00 41 42", 0, 0, 1, "AA 0E 9C 00 05 00 06 01 02 03 04 29 41 42 15", "9C 00 05 00 06 01 02 03 04 29 41 42", "e", "15"},
    {"EditChineseSpi", 19, "5", "6", "01 02 03 04 00 B0 A1", 1, 2, 1, "AA 0E 9D 00 05 00 06 01 02 03 04 13 B0 A1 CE", "9D 00 05 00 06 01 02 03 04 13 B0 A1", "e", "ce"},
    {"EditFourBytesNoStyle", 18, "0", "0", "01 02 03 04", 0, 0, 1, "AA 0B 9C 00 00 00 00 01 02 03 04 5B", "9C 00 00 00 00 01 02 03 04", "b", "5b"},
    {"CoordinatesWrap", 10, "-1", "65536", "", 0, 0, 0, "AA 07 8A FF FF 00 00 39", "AA 07 8A FF FF 00 00 39", "7", "39"},
    {"NoSelections", 5, "0", "0", "41", -1, -1, -1, "AA 09 85 00 00 00 00 00 41 79", "AA 09 85 00 00 00 00 00 41 79", "9", "79"},
    // A fixed layout given another data count: zeros where it defines nothing, checksum at L.
    {"PairParamShort", 1, "0", "0", "05", 0, 0, 0, "AA 04 81 05 34", "AA 04 81 05 34", "4", "34"},
    {"PairParamLong", 2, "0", "0", "01 02 03", 0, 0, 0, "AA 06 82 01 02 00 35", "AA 06 82 01 02 00 35", "6", "35"},
    {"ClearEmpty", 0, "0", "0", "", 0, 0, 1, "AA 03 80 2D", "80", "3", "2d"},
    {"ClearLong", 0, "0", "0", "11 22", 0, 0, 0, "AA 05 80 00 00 2F", "AA 05 80 00 00 2F", "5", "2f"},
    {"SingleParamLong", 3, "0", "0", "05 06", 0, 0, 0, "AA 05 83 05 00 37", "AA 05 83 05 00 37", "5", "37"},
    {"SingleParamEmpty", 4, "0", "0", "", 0, 0, 0, "AA 03 84 31", "AA 03 84 31", "3", "31"},
};
// clang-format on

}  // namespace glassbench::testing
