#include "read_output.h"

#include "thermometer_reading.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string LocalTimestamp(std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    char text[40];
    std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string s(text, n);
    // strftime gives +0100; the ISO 8601 extended form wants +01:00.
    if (s.size() >= 5)
        s.insert(s.size() - 2, ":");
    return s;
}

std::string LineHeader(LineFormat format)
{
    return format == LineFormat::Csv ? "time,celsius" : "";
}

std::string ReadingLine(LineFormat format, const std::string& timestamp, float t)
{
    const std::string value = FormatTemperatureValue(t);
    switch (format) {
    case LineFormat::Csv:
        return timestamp + "," + value;
    case LineFormat::Json:
        return "{\"time\":\"" + timestamp + "\",\"celsius\":" + value + "}";
    case LineFormat::Plain:
        break;
    }
    return timestamp + " " + value;
}

namespace {
// Label values escape backslash, double quote and line feed.
std::string DeviceLabel(const std::string& device)
{
    if (device.empty())
        return "";
    std::string escaped;
    for (char c : device) {
        if (c == '\\' || c == '"')
            escaped += '\\';
        escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return "{device=\"" + escaped + "\"}";
}
}  // namespace

std::string PrometheusText(const std::string& device, std::optional<float> t)
{
    const std::string label = DeviceLabel(device);
    std::string text;
    if (t) {
        text += "# HELP vantrel_thermometer_celsius Температура USB-термометра, °C.\n";
        text += "# TYPE vantrel_thermometer_celsius gauge\n";
        text += "vantrel_thermometer_celsius" + label + " " + FormatTemperatureValue(*t) + "\n";
    }
    text += "# HELP vantrel_thermometer_up 1, если термометр дал годное показание, иначе 0.\n";
    text += "# TYPE vantrel_thermometer_up gauge\n";
    text += "vantrel_thermometer_up" + label + (t ? " 1\n" : " 0\n");
    return text;
}

std::string ReplaceFileAtomically(const std::string& path, const std::string& text)
{
    std::string temp = path + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0)
        return std::strerror(errno);
    // The collector runs as another user: the file must be readable by all.
    bool ok = fchmod(fd, 0644) == 0;
    std::size_t done = 0;
    while (ok && done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<std::size_t>(n);
    }
    ok = ok && fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        return std::strerror(error ? error : EIO);
    }
    return "";
}
