// Wirelet's port settings: the choices kept as positions in fixed lists, and
// the texts and handshake mode derived from them when the dialog is applied.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct PortSettings {
    int32_t portIndex = 0;
    int32_t baudIndex = 0;
    int32_t dataBitsIndex = 0;
    int32_t parityIndex = 0;
    int32_t stopBitsIndex = 0;
    int32_t flowControlIndex = 0;
    int32_t xonByte = 0;
    int32_t xoffByte = 0;
    std::string portName;
    std::string baudText;
    std::string dataBitsText;
    std::string parityText;
    std::string parityLetter;
    std::string stopBitsText;
    std::string flowControlText;
    int32_t handshakeMode = 0;
    // Where the port choices stand for the devices found on the machine
    // (Linux): the device the chosen one opens, "" when there is none for
    // it. Unset where the port name itself is opened. Never stored.
    std::optional<std::string> portDevice;
};

inline constexpr std::array<std::string_view, 8> kPortList{
    "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"};
inline constexpr std::array<std::string_view, 18> kSpeedList{
    "75", "110", "134", "150", "300", "600", "1200", "1800", "2400",
    "4800", "7200", "9600", "14400", "19200", "38400", "57600", "115200", "128000"};
inline constexpr std::array<std::string_view, 4> kDataBitsList{"5", "6", "7", "8"};
inline constexpr std::array<std::string_view, 3> kParityList{"Чёт", "Нечёт", "Нет"};
inline constexpr std::array<std::string_view, 3> kStopBitsList{"1", "1.5", "2"};
inline constexpr std::array<std::string_view, 3> kFlowControlList{"Xon / Xoff", "Аппаратное", "Нет"};

// Flow-control positions that change what the terminal does with the port.
inline constexpr int32_t kFlowXonXoff = 0;
inline constexpr int32_t kFlowHardware = 1;

inline constexpr int32_t kDefaultXonByte = 11;
inline constexpr int32_t kDefaultXoffByte = 13;

// The eight stored values as a fresh installation has them.
PortSettings DefaultPortSettings();

// What the settings dialog currently shows: a position per list (-1 when
// nothing is chosen) and the raw texts of the two byte fields.
struct SettingsChoices {
    int32_t portIndex = -1;
    int32_t baudIndex = -1;
    int32_t dataBitsIndex = -1;
    int32_t parityIndex = -1;
    int32_t stopBitsIndex = -1;
    int32_t flowControlIndex = -1;
    std::string xonText;
    std::string xoffText;
};

// Takes the dialog's choices into settings and derives texts and modes.
// A position outside its list gives an empty text and -1, and leaves the
// parity letter and handshake mode as they were.
void CollectSettings(const SettingsChoices& choices, PortSettings& settings);

// Leading blanks and tabs, an optional sign, then decimal digits; no digits
// gives 0. Saturates at the 32-bit limits instead of overflowing.
int32_t DecimalValue(std::string_view text);

// "COM1:9600,N,8,1" for the serial line service, with portDevice in place
// of the name when there is one.
std::string SettingsString(const PortSettings& settings);

// Item text at a position, or "" when the position is outside the list.
template <std::size_t N>
std::string_view ListItem(const std::array<std::string_view, N>& list, int32_t index)
{
    return index >= 0 && static_cast<std::size_t>(index) < N ? list[static_cast<std::size_t>(index)]
                                                               : std::string_view();
}
