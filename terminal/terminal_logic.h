// What Wirelet does, free of any window toolkit: the settings and their
// file, the apply sequence, the monitor tick and sending, over the
// terminal's one state record. A front end (Qt on Linux, Win32 on Windows)
// owns the windows, calls these and shows what they report.
#pragma once

#include "port_api.h"
#include "port_connection.h"
#include "port_settings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct Rgb {
    uint8_t r, g, b;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kLampIdle{160, 162, 164};
inline constexpr Rgb kLampReceived{255, 0, 25};
inline constexpr Rgb kPortOpenColour{0, 0, 0};
inline constexpr Rgb kPortFailedColour{216, 0, 0};
inline constexpr int kLampCentreX = 220;
inline constexpr int kLampCentreY = 247;
inline constexpr int kLampRadius = 7;

inline constexpr int kMonitorTimerId = 1;
inline constexpr int kMonitorPeriodMs = 50;

// The box shown when "Передать" is pressed with no port open.
inline constexpr std::string_view kNoPortCaption = "Ошибка";
inline constexpr std::string_view kNoPortText = "Выбраный порт занят или не соществует";

struct TerminalState {
    explicit TerminalState(const SerialPortApi& api) : connection(api) {}

    PortSettings settings;
    std::string settingsPath;  // "" when there is nowhere to keep the file
    PortConnection connection;
    bool startupPass = false;  // set until the start-up apply is done: no save
    // What the port choices open, as the dialog last showed them; nullopt
    // where they open COM1 to COM8 by name.
    std::optional<std::vector<std::string>> portDevices;
};

// Looks again for the devices the port choices open; called as the settings
// dialog is built, so that each choice opens what the dialog shows beside it.
void RefreshPortDevices(TerminalState& state);

// The texts of the port list: "COM1" to "COM8", each followed by the device
// it opens where there is a list of devices and one for it.
std::array<std::string, 8> PortChoiceLabels(const std::optional<std::vector<std::string>>& portDevices);

// Reads the stored settings from path (creating the file with the defaults
// when it does not exist) and remembers path for later saves.
void LoadTerminalSettings(TerminalState& state, const std::string& path);

// What the dialog shows for the settings: each list's position (-1 when the
// stored one is outside the list) and the stored bytes as decimal text.
SettingsChoices ChoicesFromSettings(const PortSettings& settings);

// The Xon/Xoff group is usable only while "Xon / Xoff" is chosen.
bool XonXoffGroupEnabled(int32_t flowControlPosition);

// The dialog's "Ok" and the hidden start-up apply: takes the choices, saves
// them (not during the start-up pass), reopens the port, and with a port
// open and no hardware flow control sets RTS and then DTR from the boxes.
// The front end then shows PortStatusOf, sets the four indicators to "0"
// and the value labels to SettingsDisplayTexts.
void ApplySettings(TerminalState& state, const SettingsChoices& choices, bool rtsTicked, bool dtrTicked);

struct PortStatus {
    bool open;
    std::string title;  // the main window's title
    Rgb portValueColour;
};

// The port's state as the main window shows it. A front end beeps once when
// an apply leaves the port closed.
PortStatus PortStatusOf(const TerminalState& state);

// Texts of the settings frame's value labels, in the order of
// kSettingsValueLabels.
std::array<std::string, 6> SettingsDisplayTexts(const PortSettings& settings);

enum ReceivedFieldChange : int32_t {
    FieldKept = 0,
    FieldShowsByte = 1,
    FieldEmptied = 2,
};

struct TickView {
    Rgb lamp = kLampIdle;         // drawn on every tick
    bool linesRead = false;       // false: no port; indicators stay as they are
    int32_t field = FieldKept;    // what happens to the received-byte field
    std::string fieldText;        // with FieldShowsByte: the byte in decimal
    std::array<const char*, 4> indicators{"0", "0", "0", "0"};  // CTS, DSR, DCD, RI
    int32_t lineBits = 0;         // the same lines as PortConnection::ReadLineBits gives them
};

// The 50 ms monitor: at most one received byte, Xon/Xoff acted on, the
// four input lines read.
TickView MonitorTick(TerminalState& state);

// "Передать": sends the decimal value of text, limited to 255. False when
// no port is open; the front end then shows the kNoPort box.
bool SendByte(TerminalState& state, std::string_view text);

// The end of the program: the port is closed.
void CloseTerminal(TerminalState& state);
