#include "thermometer_reading.h"

#include <charconv>
#include <cmath>

std::int16_t ReportRawValue(const std::uint8_t* report)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(report[1] | (report[2] << 8)));
}

float TemperatureFromRaw(std::int16_t raw)
{
    return static_cast<float>(raw) / 16.0f;
}

bool TemperatureAccepted(float t)
{
    return t > -58.0f && t < 150.0f;
}

std::string FormatTemperatureValue(float t)
{
    // to_chars is printf in the C locale; Qt sets the user's locale, which
    // could turn the point into a comma.
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, t, std::chars_format::fixed, 1);
    return std::string(text, result.ptr);
}

std::string FormatTemperature(float t)
{
    return FormatTemperatureValue(t) + " °C";
}

std::int32_t WholeDegrees(float t)
{
    // The default rounding mode is to nearest, ties to even.
    return static_cast<std::int32_t>(std::nearbyint(t));
}

std::string SpokenTemperatureText(std::int32_t wholeDegrees)
{
    return "Текущая температура " + std::to_string(wholeDegrees) + " °C";
}

std::string AgentTemperatureText(std::int32_t wholeDegrees)
{
    return "Current temperature " + std::to_string(wholeDegrees) + " °C";
}
