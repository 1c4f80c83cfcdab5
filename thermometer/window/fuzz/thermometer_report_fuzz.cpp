// libFuzzer target for the decoding of the thermometer's input reports. The
// input is what one read hands over, report-id byte first; like the reader,
// shorter reads are not decoded. Besides not crashing:
//   - the temperature is the signed 16-bit value of bytes 1 and 2 over 16;
//   - it is accepted exactly when -58 < t < 150;
//   - the shown text is t to one decimal and the whole degrees are t rounded,
//     halves to even, and the spoken text says them.
#include "thermometer_reading.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    const std::int16_t raw = ReportRawValue(data);
    const int sixteenths = (data[1] | data[2] << 8) - (data[2] & 0x80 ? 65536 : 0);
    Check(raw == sixteenths);

    const float t = TemperatureFromRaw(raw);
    Check(t * 16 == sixteenths);
    // -58 °C is -928/16, 150 °C is 2400/16.
    Check(TemperatureAccepted(t) == (sixteenths > -928 && sixteenths < 2400));

    const std::string shown = FormatTemperature(t);
    Check(shown.size() > 4 && shown.substr(shown.size() - 4) == " °C");
    const std::string number = shown.substr(0, shown.size() - 4);
    char* end = nullptr;
    const double value = std::strtod(number.c_str(), &end);
    Check(*end == '\0' && number.find('.') == number.size() - 2 && std::fabs(value - t) <= 0.05 + 1e-9);
    if (((sixteenths % 8) + 8) % 8 == 4)  // a tie at one decimal goes to the even digit
        Check((number.back() - '0') % 2 == 0);

    const std::int32_t whole = WholeDegrees(t);
    const double off = whole - static_cast<double>(t);
    Check(std::fabs(off) < 0.5 || (std::fabs(off) == 0.5 && whole % 2 == 0));
    Check(SpokenTemperatureText(whole) == "Текущая температура " + std::to_string(whole) + " °C");
    return 0;
}
