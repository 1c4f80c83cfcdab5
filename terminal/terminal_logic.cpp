#include "terminal_logic.h"

#include "settings_file.h"
#include "shown_name.h"

namespace {

template <std::size_t N>
int32_t ShownPosition(const std::array<std::string_view, N>& list, int32_t index)
{
    return ListItem(list, index).empty() ? -1 : index;
}

}  // namespace

void LoadTerminalSettings(TerminalState& state, const std::string& path)
{
    state.settingsPath = path;
    LoadSettings(path, state.settings);
}

SettingsChoices ChoicesFromSettings(const PortSettings& s)
{
    SettingsChoices c;
    c.portIndex = ShownPosition(kPortList, s.portIndex);
    c.baudIndex = ShownPosition(kSpeedList, s.baudIndex);
    c.dataBitsIndex = ShownPosition(kDataBitsList, s.dataBitsIndex);
    c.parityIndex = ShownPosition(kParityList, s.parityIndex);
    c.stopBitsIndex = ShownPosition(kStopBitsList, s.stopBitsIndex);
    c.flowControlIndex = ShownPosition(kFlowControlList, s.flowControlIndex);
    c.xonText = std::to_string(s.xonByte);
    c.xoffText = std::to_string(s.xoffByte);
    return c;
}

void RefreshPortDevices(TerminalState& state) { state.portDevices = state.connection.PortDevices(); }

std::array<std::string, 8> PortChoiceLabels(const std::optional<std::vector<std::string>>& portDevices)
{
    std::array<std::string, 8> labels;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        labels[i] = std::string(kPortList[i]);
        if (portDevices && i < portDevices->size())
            labels[i] += " — " + (*portDevices)[i];
    }
    return labels;
}

bool XonXoffGroupEnabled(int32_t flowControlPosition) { return flowControlPosition == kFlowXonXoff; }

void ApplySettings(TerminalState& state, const SettingsChoices& choices, bool rtsTicked, bool dtrTicked)
{
    CollectSettings(choices, state.settings);
    // A choice past the devices found opens nothing rather than a device
    // the list does not show.
    state.settings.portDevice.reset();
    if (state.portDevices) {
        const auto port = static_cast<std::size_t>(state.settings.portIndex);
        state.settings.portDevice = port < state.portDevices->size() ? (*state.portDevices)[port] : std::string();
    }
    if (!state.startupPass)
        SaveSettings(state.settingsPath, state.settings);
    state.connection.Reopen(state.settings);
    if (state.connection.IsOpen() && state.settings.flowControlIndex != kFlowHardware) {
        state.connection.SetRts(rtsTicked);
        state.connection.SetDtr(dtrTicked);
    }
}

PortStatus PortStatusOf(const TerminalState& state)
{
    const std::string name = ShownName(state.settings.portName);
    if (state.connection.IsOpen())
        return {true, " Порт " + name + " открыт", kPortOpenColour};
    return {false, " Ошибка! Порт " + name + " недоступен.", kPortFailedColour};
}

std::array<std::string, 6> SettingsDisplayTexts(const PortSettings& s)
{
    return {s.portName, s.baudText, s.parityText, s.stopBitsText, s.flowControlText, s.dataBitsText};
}

TickView MonitorTick(TerminalState& state)
{
    TickView view;
    if (!state.connection.IsOpen())
        return view;
    const MonitorSample sample = state.connection.Poll(state.settings);
    if (sample.received == ReceivedXon || sample.received == ReceivedXoff) {
        view.field = FieldEmptied;
    } else if (sample.received == ReceivedByte) {
        view.field = FieldShowsByte;
        view.fieldText = std::to_string(sample.byte);
        view.lamp = kLampReceived;
    }
    view.linesRead = true;
    view.lineBits = sample.lineBits;
    const auto bit = [](int32_t on) { return on ? "1" : "0"; };
    view.indicators = {bit(sample.cts), bit(sample.dsr), bit(sample.dcd), bit(sample.ri)};
    return view;
}

bool SendByte(TerminalState& state, std::string_view text) { return state.connection.SendDecimal(text) != 0; }

void CloseTerminal(TerminalState& state) { state.connection.Close(); }
