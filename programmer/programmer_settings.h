// The programmer's settings, read from Preferences.ini in the working
// directory. The file is written by hand and only ever read here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct ProgrammerSettings {
    int32_t delay = 200;       // Vantrel_Delay: unit delay D, microseconds
    int32_t dataOutInv = 0;    // Vantrel_DataOut_Inv
    int32_t dataInInv = 0;     // Vantrel_DataIn_Inv
    int32_t clockInv = 0;      // Vantrel_Clock_Inv
    int32_t powerInv = 0;      // Vantrel_Pitanie
    std::string portName = "COM1";  // ComPortName
};

inline constexpr const char* kProgrammerSettingsFile = "Preferences.ini";

// Settings from the file's text: only keys before the first group line
// count, matched case-blind, the first match wins; a missing key keeps its
// default, a present one without digits reads as 0.
ProgrammerSettings ParseProgrammerSettings(std::string_view text);

// The warning about a Vantrel_Delay outside 0..VANTREL_MAX_DELAY, which the
// adapter code clamps; empty when the value is in range.
std::string DelayRangeWarning(const ProgrammerSettings& settings);

// Reads and parses the file; nullopt when it cannot be opened.
std::optional<ProgrammerSettings> ReadProgrammerSettings(const std::string& path = kProgrammerSettingsFile);

// The port name LoadProgrammerSettings read, for OpenCom_Port.
std::string& ProgrammerPortName();

// Reads Preferences.ini into the process's link state and port name. A file
// that cannot be opened gives the message box "Файл Preferences.ini не найден"
// and the defaults; a delay out of range gives a warning box.
void LoadProgrammerSettings();
