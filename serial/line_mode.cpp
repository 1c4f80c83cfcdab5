// The MODE command syntax for serial ports, both of its forms:
//   old:  baud[,parity[,data[,stop[,retry]]]]      e.g. "96,n,8,1", "4800,E,7,1.5"
//   new:  key=value pairs separated by blanks      e.g. "baud=9600 parity=n data=8 stop=1"
#include "serial_device.h"

#include <cctype>
#include <charconv>
#include <string>
#include <vector>

namespace {

std::string Lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::optional<int32_t> ParseNumber(std::string_view s)
{
    int32_t value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || error != std::errc() || end != s.data() + s.size() || value <= 0)
        return std::nullopt;
    return value;
}

// Two-digit abbreviations of the classic rates are accepted as MODE does.
std::optional<int32_t> ParseBaud(std::string_view s)
{
    static const std::pair<int32_t, int32_t> abbreviations[] = {
        {11, 110}, {15, 150}, {30, 300}, {60, 600}, {12, 1200}, {24, 2400}, {48, 4800}, {96, 9600}, {19, 19200}};
    const std::optional<int32_t> value = ParseNumber(s);
    if (!value)
        return std::nullopt;
    for (const auto& [shortForm, rate] : abbreviations) {
        if (*value == shortForm)
            return rate;
    }
    return value;
}

std::optional<char> ParseParity(std::string_view s)
{
    const std::string v = Lower(s);
    if (v.size() != 1 || std::string_view("neoms").find(v[0]) == std::string_view::npos)
        return std::nullopt;
    return static_cast<char>(std::toupper(static_cast<unsigned char>(v[0])));
}

std::optional<int> ParseDataBits(std::string_view s)
{
    const std::optional<int32_t> value = ParseNumber(s);
    if (!value || *value < 5 || *value > 8)
        return std::nullopt;
    return *value;
}

std::optional<int> ParseStopBits(std::string_view s)
{
    if (s == "1")
        return 10;
    if (s == "1.5")
        return 15;
    if (s == "2")
        return 20;
    return std::nullopt;
}

std::optional<bool> ParseOnOff(std::string_view s)
{
    const std::string v = Lower(s);
    if (v == "on")
        return true;
    if (v == "off")
        return false;
    return std::nullopt;
}

std::vector<std::string_view> Split(std::string_view s, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = s.find(separator);
        parts.push_back(s.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        s.remove_prefix(at + 1);
    }
}

std::optional<LineSettings> ParseOldForm(std::string_view mode)
{
    LineSettings settings;
    const std::vector<std::string_view> fields = Split(mode, ',');
    if (fields.size() > 5)
        return std::nullopt;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string_view field = Trim(fields[i]);
        if (field.empty())
            continue;  // "9600,,8" keeps the port's parity
        bool ok = true;
        switch (i) {
        case 0: ok = (settings.baud = ParseBaud(field)).has_value(); break;
        case 1: ok = (settings.parity = ParseParity(field)).has_value(); break;
        case 2: ok = (settings.dataBits = ParseDataBits(field)).has_value(); break;
        case 3: ok = (settings.stopBitsTimesTen = ParseStopBits(field)).has_value(); break;
        case 4: ok = field.size() == 1 && std::string_view("xXpPeEbB").find(field[0]) != std::string_view::npos; break;
        }
        if (!ok)
            return std::nullopt;
    }
    return settings;
}

bool ApplyKeyValue(LineSettings& settings, const std::string& key, std::string_view value)
{
    if (key == "baud")
        return (settings.baud = ParseBaud(value)).has_value();
    if (key == "parity")
        return (settings.parity = ParseParity(value)).has_value();
    if (key == "data")
        return (settings.dataBits = ParseDataBits(value)).has_value();
    if (key == "stop")
        return (settings.stopBitsTimesTen = ParseStopBits(value)).has_value();
    if (key == "xon")
        return (settings.xonXoff = ParseOnOff(value)).has_value();
    if (key == "octs")
        return (settings.ctsFlow = ParseOnOff(value)).has_value();
    if (key == "dtr")
        return (settings.dtrOn = ParseOnOff(value)).has_value();
    if (key == "rts") {
        if (Lower(value) == "hs") {
            settings.rtsHandshake = true;
            return true;
        }
        return (settings.rtsOn = ParseOnOff(value)).has_value();
    }
    // Accepted and without effect here: time-out mode and DSR handling.
    if (key == "to" || key == "odsr" || key == "idsr")
        return ParseOnOff(value).has_value();
    return false;
}

std::optional<LineSettings> ParseNewForm(std::string_view mode)
{
    LineSettings settings;
    for (std::string_view word : Split(mode, ' ')) {
        word = Trim(word);
        if (word.empty())
            continue;
        const std::size_t eq = word.find('=');
        if (eq == std::string_view::npos || !ApplyKeyValue(settings, Lower(word.substr(0, eq)), word.substr(eq + 1)))
            return std::nullopt;
    }
    return settings;
}

}  // namespace

std::optional<LineSettings> ParseLineMode(std::string_view mode)
{
    mode = Trim(mode);
    std::optional<LineSettings> settings =
        mode.find('=') != std::string_view::npos ? ParseNewForm(mode) : ParseOldForm(mode);
    // 110 bit/s traditionally runs with two stop bits unless told otherwise.
    if (settings && settings->baud == 110 && !settings->stopBitsTimesTen)
        settings->stopBitsTimesTen = 20;
    return settings;
}

void ApplyModeOf(SerialDevice& device, std::string_view settings, int32_t handshake, int32_t inputQueue)
{
    // The port stays open even when its mode is refused, as callers expect.
    const std::size_t colon = settings.find(':');
    const std::optional<LineSettings> line =
        ParseLineMode(colon == std::string_view::npos ? std::string_view() : settings.substr(colon + 1));
    if (line)
        device.Configure(*line, handshake, inputQueue);
}
