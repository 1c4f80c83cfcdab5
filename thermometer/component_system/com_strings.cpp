// Length-prefixed UTF-16 strings and the UTF-8 conversions.
#include "com.h"

#include <cstdlib>
#include <cstring>

namespace {

// The byte length sits in the four bytes before the text, as on Windows.
BSTR AllocateBytes(const void* data, std::uint32_t bytes)
{
    if (bytes > 0x7FFFFFF0u)
        return nullptr;
    auto* block = static_cast<char*>(std::malloc(sizeof(std::uint32_t) + bytes + sizeof(char16_t)));
    if (!block)
        return nullptr;
    std::memcpy(block, &bytes, sizeof bytes);
    char* text = block + sizeof bytes;
    if (data)
        std::memcpy(text, data, bytes);
    else
        std::memset(text, 0, bytes);
    std::memset(text + bytes, 0, sizeof(char16_t));
    return reinterpret_cast<BSTR>(text);
}

char* BlockOf(BSTR text) { return reinterpret_cast<char*>(text) - sizeof(std::uint32_t); }

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t c)
{
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

// One code point from UTF-8 at text[i]; advances i. A byte that cannot
// start a character (80..C1, F5..FF), an overlong form, a surrogate, a value
// above U+10FFFF and a cut sequence give U+FFFD, and only the lead byte is
// taken, so the bytes after it are read again on their own.
char32_t NextUtf8(std::string_view text, std::size_t& i)
{
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80)
        return lead;
    // The second byte's range rules out overlong forms (E0, F0), surrogates
    // (ED) and values past U+10FFFF (F4).
    int more = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0xFFFD;
    }
    char32_t c = lead & (0x3F >> more);
    const std::size_t start = i;
    for (int k = 0; k < more; ++k, ++i) {
        const auto next = i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
        if (next < (k == 0 ? low : 0x80) || next > (k == 0 ? high : 0xBF)) {
            i = start;
            return 0xFFFD;
        }
        c = (c << 6) | (next & 0x3F);
    }
    return c;
}

}  // namespace

BSTR SysAllocStringLen(const char16_t* text, std::uint32_t length)
{
    if (length > 0x3FFFFFF0u)
        return nullptr;
    return AllocateBytes(text, length * sizeof(char16_t));
}

BSTR SysAllocString(const char16_t* text)
{
    return SysAllocStringLen(text ? text : u"", static_cast<std::uint32_t>(Utf16Length(text)));
}

BSTR SysAllocStringByteLen(const char* bytes, std::uint32_t length) { return AllocateBytes(bytes, length); }

void SysFreeString(BSTR text)
{
    if (text)
        std::free(BlockOf(text));
}

std::uint32_t SysStringByteLen(BSTR text)
{
    if (!text)
        return 0;
    std::uint32_t bytes;
    std::memcpy(&bytes, BlockOf(text), sizeof bytes);
    return bytes;
}

std::uint32_t SysStringLen(BSTR text) { return SysStringByteLen(text) / sizeof(char16_t); }

std::size_t Utf16Length(const char16_t* text)
{
    std::size_t n = 0;
    while (text && text[n])
        ++n;
    return n;
}

std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();)
        AppendUtf16(out, NextUtf8(text, i));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        AppendUtf8(out, c);
    }
    return out;
}
