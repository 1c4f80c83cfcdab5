// Turning the thermometer's input report into what Ambrel shows and says.
#pragma once

#include <cstdint>
#include <string>

// Signed 16-bit value of report bytes 1 (low) and 2 (high), in 1/16 °C.
std::int16_t ReportRawValue(const std::uint8_t* report);

// raw / 16 as a 32-bit float.
float TemperatureFromRaw(std::int16_t raw);

// Readings outside -58 < t < 150 come from a faulty sensor or a bad report.
bool TemperatureAccepted(float t);

// One decimal, C locale, as printf's "%.1f" rounds: "-0.1".
std::string FormatTemperatureValue(float t);

// FormatTemperatureValue, then " °C": "-0.1 °C".
std::string FormatTemperature(float t);

// Nearest whole degree, halves to even (24.5 -> 24, 25.5 -> 26).
std::int32_t WholeDegrees(float t);

// "Текущая температура 23 °C"
std::string SpokenTemperatureText(std::int32_t wholeDegrees);

// What the agent character says: "Current temperature 23 °C"
std::string AgentTemperatureText(std::int32_t wholeDegrees);
