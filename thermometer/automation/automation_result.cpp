// Result formats of GetValue: the wanted type of each letter and how the
// result is stored (the table is in automation.h).
#include "automation_internal.h"

#include <cstring>

namespace {

struct FormatType {
    char16_t letter;
    std::uint16_t vt;
};

constexpr FormatType kFormats[] = {
    {u'o', VT_DISPATCH}, {u'O', VT_UNKNOWN}, {u'b', VT_BOOL}, {u'i', VT_I2}, {u'I', VT_UI2},
    {u'd', VT_I4},       {u'p', VT_I4},      {u'u', VT_UI4},  {u'r', VT_R4}, {u'e', VT_R8},
    {u'D', VT_DATE},     {u'W', VT_DATE},    {u'f', VT_DATE}, {u't', VT_DATE}, {u'B', VT_BSTR},
    {u'S', VT_BSTR},     {u's', VT_BSTR},    {u'T', VT_BSTR}, {u'v', VT_EMPTY},
};

template <typename T>
HRESULT Put(void* out, T value)
{
    std::memcpy(out, &value, sizeof value);
    return S_OK;
}

HRESULT StoreUtf8(BSTR text, void* out)
{
    const std::string bytes = Utf16ToUtf8(std::u16string_view(text ? TextOf(text) : u"", SysStringLen(text)));
    BSTR copy = SysAllocStringByteLen(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    if (!copy)
        return E_OUTOFMEMORY;
    return Put(out, reinterpret_cast<char*>(copy));
}

HRESULT StoreDate(char16_t letter, DATE date, void* out)
{
    switch (letter) {
    case u'D':
        return Put(out, date);
    case u'W': {
        SYSTEMTIME time{};
        return DateToSystemTime(date, &time) ? Put(out, time) : DISP_E_OVERFLOW;
    }
    case u'f': {
        std::uint64_t fileTime = 0;
        return DateToFileTime(date, &fileTime) ? Put(out, fileTime) : DISP_E_OVERFLOW;
    }
    default: {
        std::int32_t seconds = 0;
        return LocalDateToUnixTime(date, &seconds) ? Put(out, seconds) : DISP_E_OVERFLOW;
    }
    }
}

// Takes over the variant's object or string, or leaves it to be cleared.
HRESULT StoreOwned(char16_t letter, VARIANT* result, void* out)
{
    if (letter == u'o' || letter == u'O') {
        if (!result->punkVal)
            return E_NOINTERFACE;
        Put(out, result->punkVal);
    } else if (letter == u'v') {
        Put(out, *result);
    } else if (letter == u'B' || letter == u'S') {
        Put(out, result->bstrVal);
    } else {
        return StoreUtf8(result->bstrVal, out);  // the UTF-16 result is cleared by the caller
    }
    VariantInit(result);
    return S_OK;
}

}  // namespace

HRESULT ResultFormatType(const char16_t* format, char16_t* letter, std::uint16_t* wantedType)
{
    if (!format)
        return E_INVALIDARG;
    if (*format == u'%')
        ++format;
    if (!format[0] || format[1])
        return E_INVALIDARG;
    for (const FormatType& f : kFormats) {
        if (f.letter == format[0]) {
            *letter = f.letter == u'T' ? (Utf16StringMode() ? u'S' : u's') : f.letter;
            *wantedType = f.vt;
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

HRESULT StoreResult(char16_t letter, VARIANT* result, void* out)
{
    HRESULT hr;
    switch (letter) {
    case u'b': hr = Put<std::int32_t>(out, result->boolVal ? -1 : 0); break;
    case u'i': hr = Put(out, result->iVal); break;
    case u'I': hr = Put(out, result->uiVal); break;
    case u'd': hr = Put(out, result->lVal); break;
    case u'p': hr = Put<std::intptr_t>(out, result->lVal); break;
    case u'u': hr = Put(out, result->ulVal); break;
    case u'r': hr = Put(out, result->fltVal); break;
    case u'e': hr = Put(out, result->dblVal); break;
    case u'D': case u'W': case u'f': case u't': hr = StoreDate(letter, result->date, out); break;
    default: hr = StoreOwned(letter, result, out); break;
    }
    VariantClear(result);
    return hr;
}
