// libFuzzer target for the Wirelet.ini reader and the code page 1251
// conversions under it. The input is the file's bytes. Besides not crashing:
//   - code page 1251 to UTF-8 gives well-formed UTF-8 that converts back to
//     the same bytes, but for 0x98 (unassigned), which comes back as "?";
//   - UTF-8 to code page 1251 turns each well-formed character into its byte,
//     or "?" when the code page lacks it, and each byte of a malformed
//     sequence into "?"; text the code page can hold converts back unchanged;
//   - the same file in UTF-8 after a byte-order mark reads the same;
//   - whatever was read is written by SettingsFileText and read back unchanged.
#include "cp1251.h"
#include "settings_file.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

// One well-formed UTF-8 character at i (shortest form, no surrogate, at most
// U+10FFFF) and its length; length 0 when the bytes there are malformed.
char32_t Decode(std::string_view s, std::size_t i, std::size_t& length)
{
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    length = 0;
    const unsigned char lead = b(0);
    std::size_t n;
    char32_t c;
    char32_t least;
    if (lead < 0x80)
        return length = 1, lead;
    if (lead >= 0xC2 && lead <= 0xDF)
        n = 2, c = lead & 0x1F, least = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF)
        n = 3, c = lead & 0x0F, least = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4)
        n = 4, c = lead & 0x07, least = 0x10000;
    else
        return 0;
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(k) & 0xC0) != 0x80)
            return 0;
        c = c << 6 | (b(k) & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    length = n;
    return c;
}

bool WellFormed(std::string_view s)
{
    for (std::size_t i = 0, n = 0; i < s.size(); i += n) {
        Decode(s, i, n);
        if (n == 0)
            return false;
    }
    return true;
}

// The code page's characters, learnt from the other direction.
const std::map<char32_t, char>& CodePage()
{
    static const std::map<char32_t, char> table = [] {
        std::map<char32_t, char> t;
        for (int byte = 0; byte < 256; ++byte) {
            const std::string utf8 = Cp1251ToUtf8(std::string(1, static_cast<char>(byte)));
            std::size_t n = 0;
            const char32_t c = Decode(utf8, 0, n);
            Check(n == utf8.size());
            if (c != 0xFFFD)
                Check(t.emplace(c, static_cast<char>(byte)).second);
        }
        Check(t.size() == 255);
        return t;
    }();
    return table;
}

void CheckCodePage(std::string_view bytes)
{
    const std::string utf8 = Cp1251ToUtf8(bytes);
    Check(WellFormed(utf8));
    std::string back(bytes);
    for (char& c : back)
        c = c == '\x98' ? '?' : c;
    Check(Utf8ToCp1251(utf8) == back);

    // The input read as UTF-8.
    std::string expected;
    for (std::size_t i = 0, n = 0; i < bytes.size(); i += n ? n : 1) {
        const char32_t c = Decode(bytes, i, n);
        const auto found = CodePage().find(c);
        expected += n != 0 && found != CodePage().end() ? found->second : '?';
    }
    Check(Utf8ToCp1251(bytes) == expected);
    if (expected.find('?') == std::string::npos)
        Check(Cp1251ToUtf8(expected) == bytes);
}

std::array<int32_t, 8> Stored(const PortSettings& s)
{
    return {s.portIndex,        s.baudIndex, s.dataBitsIndex, s.parityIndex, s.stopBitsIndex,
            s.flowControlIndex, s.xonByte,   s.xoffByte};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckCodePage(bytes);

    PortSettings read;
    ReadSettingsText(bytes, read);
    if (bytes.substr(0, 3) != "\xEF\xBB\xBF") {
        PortSettings fromUtf8;
        ReadSettingsText("\xEF\xBB\xBF" + Cp1251ToUtf8(bytes), fromUtf8);
        Check(Stored(fromUtf8) == Stored(read));
    }

    const std::string written = SettingsFileText(read);
    PortSettings again;
    ReadSettingsText(written, again);
    Check(Stored(again) == Stored(read));
    Check(Cp1251ToUtf8(written).find('?') == std::string::npos);
    return 0;
}
