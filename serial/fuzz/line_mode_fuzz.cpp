// libFuzzer target for the mode part of a settings string, in both MODE
// forms. The input is the mode text. Besides not crashing, a mode that is
// accepted must
//   - hold only values a port can take (speed above 0, parity N E O M S,
//     5 to 8 data bits, 1, 1.5 or 2 stop bits);
//   - read the same when written out again in the key=value form, and in the
//     comma form when it sets nothing that form cannot carry;
// and the letter case of the text changes nothing, accepted or not.
#include "serial_device.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

bool Same(const LineSettings& a, const LineSettings& b)
{
    return a.baud == b.baud && a.parity == b.parity && a.dataBits == b.dataBits &&
           a.stopBitsTimesTen == b.stopBitsTimesTen && a.xonXoff == b.xonXoff && a.ctsFlow == b.ctsFlow &&
           a.dtrOn == b.dtrOn && a.rtsOn == b.rtsOn && a.rtsHandshake == b.rtsHandshake;
}

bool Same(const std::optional<LineSettings>& a, const std::optional<LineSettings>& b)
{
    return a.has_value() == b.has_value() && (!a || Same(*a, *b));
}

std::string StopBits(int timesTen)
{
    return timesTen == 15 ? "1.5" : std::to_string(timesTen / 10);
}

std::string OnOff(bool on)
{
    return on ? "on" : "off";
}

std::string KeyValueForm(const LineSettings& s)
{
    std::string out;
    const auto add = [&](const char* key, const std::string& value) { out += std::string(key) + "=" + value + " "; };
    if (s.baud) add("baud", std::to_string(*s.baud));
    if (s.parity) add("parity", std::string(1, *s.parity));
    if (s.dataBits) add("data", std::to_string(*s.dataBits));
    if (s.stopBitsTimesTen) add("stop", StopBits(*s.stopBitsTimesTen));
    if (s.xonXoff) add("xon", OnOff(*s.xonXoff));
    if (s.ctsFlow) add("octs", OnOff(*s.ctsFlow));
    if (s.dtrOn) add("dtr", OnOff(*s.dtrOn));
    if (s.rtsOn) add("rts", OnOff(*s.rtsOn));
    if (s.rtsHandshake) add("rts", "hs");
    return out;
}

std::string CommaForm(const LineSettings& s)
{
    return (s.baud ? std::to_string(*s.baud) : "") + "," + (s.parity ? std::string(1, *s.parity) : "") + "," +
           (s.dataBits ? std::to_string(*s.dataBits) : "") + "," +
           (s.stopBitsTimesTen ? StopBits(*s.stopBitsTimesTen) : "");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view mode(reinterpret_cast<const char*>(data), size);
    const std::optional<LineSettings> settings = ParseLineMode(mode);

    std::string upper(mode);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    Check(Same(settings, ParseLineMode(upper)));
    if (!settings)
        return 0;

    const LineSettings& s = *settings;
    Check(!s.baud || *s.baud > 0);
    Check(!s.parity || std::string_view("NEOMS").find(*s.parity) != std::string_view::npos);
    Check(!s.dataBits || (*s.dataBits >= 5 && *s.dataBits <= 8));
    Check(!s.stopBitsTimesTen || *s.stopBitsTimesTen == 10 || *s.stopBitsTimesTen == 15 || *s.stopBitsTimesTen == 20);

    Check(Same(settings, ParseLineMode(KeyValueForm(s))));
    if (!s.xonXoff && !s.ctsFlow && !s.dtrOn && !s.rtsOn && !s.rtsHandshake)
        Check(Same(settings, ParseLineMode(CommaForm(s))));
    return 0;
}
