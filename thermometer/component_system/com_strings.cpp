// Length-prefixed UTF-16 strings and the UTF-8 conversions.
#include "com.h"

#include "utf8.h"

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
