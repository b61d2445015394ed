#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace reradav {

using KeyTransTable = std::array<std::string, 256>;

// Program-wide settings and port state; one instance owned by the application.
struct AppSettings {
    std::int16_t ComPort = 0;       // 0 none, n for COMn
    std::string ComPortText = "0";  // the same number as text
    std::string CommSettings = "9600,N,8,1";
    std::int16_t BaudIndex = 8;
    std::int16_t ParityIndex = 0;
    std::int16_t DataBitsIndex = 3;
    std::int16_t StopBitsIndex = 0;
    std::int16_t Handshake = 0;  // 0 None, 1 Xon / Xoff, 2 Hardware, 3 Opto-RS
    std::string ScannerBeepString;
    std::string Password;
    KeyTransTable KeyTrans;
    std::string Postamble;    // copy of the postamble text taken at each read
    std::string ProgramPath;  // full path of the program file
};

constexpr std::int16_t HandshakeOptoRs = 3;

// The longest value the settings file keeps: 199 characters fill the 200-character buffer the
// program reads with. The password box takes no more.
constexpr std::size_t kMaxSettingLength = 199;

}  // namespace reradav
