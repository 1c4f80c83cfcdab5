#include "port_settings.h"

#include "ini_text.h"
#include "serial_line.h"

namespace {

template <std::size_t N>
void CollectList(const std::array<std::string_view, N>& list, int32_t chosen, int32_t& index, std::string& text)
{
    text = std::string(ListItem(list, chosen));
    index = text.empty() ? -1 : chosen;
}

int32_t LimitedByte(std::string_view text, int32_t fallback)
{
    const int32_t value = DecimalValue(text);
    return value >= 255 ? fallback : value;
}

}  // namespace

PortSettings DefaultPortSettings()
{
    PortSettings s;
    s.portIndex = 0;
    s.baudIndex = 11;
    s.dataBitsIndex = 3;
    s.parityIndex = 2;
    s.stopBitsIndex = 0;
    s.flowControlIndex = 2;
    s.xonByte = kDefaultXonByte;
    s.xoffByte = kDefaultXoffByte;
    return s;
}

void CollectSettings(const SettingsChoices& choices, PortSettings& s)
{
    CollectList(kPortList, choices.portIndex, s.portIndex, s.portName);
    CollectList(kSpeedList, choices.baudIndex, s.baudIndex, s.baudText);
    CollectList(kDataBitsList, choices.dataBitsIndex, s.dataBitsIndex, s.dataBitsText);
    CollectList(kParityList, choices.parityIndex, s.parityIndex, s.parityText);
    static constexpr const char* kLetters[] = {"E", "O", "N"};
    if (s.parityIndex >= 0)
        s.parityLetter = kLetters[s.parityIndex];
    CollectList(kStopBitsList, choices.stopBitsIndex, s.stopBitsIndex, s.stopBitsText);
    CollectList(kFlowControlList, choices.flowControlIndex, s.flowControlIndex, s.flowControlText);
    static constexpr int32_t kModes[] = {HandshakeXonXoff, HandshakeRtsCts, HandshakeNone};
    if (s.flowControlIndex >= 0)
        s.handshakeMode = kModes[s.flowControlIndex];
    if (s.flowControlIndex == kFlowXonXoff)
        s.flowControlText = "Программное ( Xon / Xoff )";
    s.xonByte = LimitedByte(choices.xonText, kDefaultXonByte);
    s.xoffByte = LimitedByte(choices.xoffText, kDefaultXoffByte);
}

int32_t DecimalValue(std::string_view text) { return IniLeadingInteger(text); }

std::string SettingsString(const PortSettings& s)
{
    return s.portDevice.value_or(s.portName) + ":" + s.baudText + "," + s.parityLetter + "," + s.dataBitsText + "," + s.stopBitsText;
}
