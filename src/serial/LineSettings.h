#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/AppSettings.h"

namespace reradav {

// The four list positions of the port settings dialog that stand for a line-settings string.
struct LineIndexes {
    std::int16_t BaudIndex = 8;
    std::int16_t ParityIndex = 0;
    std::int16_t DataBitsIndex = 3;
    std::int16_t StopBitsIndex = 0;
};

// The dialog's lists, index 0 first.
inline constexpr std::array<int, 11> kBaudRates = {110,  300,   600,   1200,  2400,  4800,
                                                   9600, 19200, 38400, 57600, 115200};
inline constexpr std::array<std::string_view, 5> kParityItems = {"None", "Odd", "Even", "Mark",
                                                                 "Space"};
inline constexpr std::array<std::string_view, 4> kDataBitsItems = {"5", "6", "7", "8"};
inline constexpr std::array<std::string_view, 3> kStopBitsItems = {"1", "1.5", "2"};
inline constexpr std::array<std::string_view, 4> kFlowControlItems = {"None", "Xon / Xoff",
                                                                      "Hardware", "Opto-RS"};

// Places a stored line-settings string such as "9600,N,8,1" into the list positions. A rate
// not in the list leaves BaudIndex as it was; the other three are searched for after the first
// ",". A text with no "," cannot be placed: returns false and changes nothing.
bool ParseLineSettings(const std::string& text, LineIndexes& indexes);

// Builds the line-settings string from the list positions, e.g. "1200,M,7,1.5". Positions
// outside a list give rate 0, parity E, 7 data bits and 1 stop bit.
std::string BuildLineSettings(const LineIndexes& indexes);

// The port settings dialog's choices into the settings, with CommSettings built from them. The
// beep string is kept as typed; the read handler decides what an ill-formed one does.
void StoreLineChoices(AppSettings& settings, const LineIndexes& indexes, std::int16_t handshake,
                      std::string beepString);

// What the serial component is given for a flow-control choice; nullopt for a choice outside
// the list, which leaves the component as it was.
struct FlowControlOptions {
    std::int16_t Handshaking;
    bool RTSEnable;
};
std::optional<FlowControlOptions> FlowControlFor(std::int16_t handshake);

}  // namespace reradav
