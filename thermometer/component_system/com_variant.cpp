// Variants: lifetime and the conversions the automation layer asks for.
#include "com.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace {

bool IsNumeric(std::uint16_t vt)
{
    switch (vt) {
    case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_DATE: case VT_BOOL: case VT_UI2: case VT_UI4:
        return true;
    default:
        return false;
    }
}

double NumberOf(const VARIANT& v)
{
    switch (v.vt) {
    case VT_I2: return v.iVal;
    case VT_I4: return v.lVal;
    case VT_R4: return v.fltVal;
    case VT_R8: return v.dblVal;
    case VT_DATE: return v.date;
    case VT_BOOL: return v.boolVal;
    case VT_UI2: return v.uiVal;
    case VT_UI4: return v.ulVal;
    default: return 0;
    }
}

bool IsTrueWord(std::u16string_view s, bool wantTrue)
{
    const std::u16string_view word = wantTrue ? u"true" : u"false";
    if (s.size() != word.size())
        return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char16_t c = s[i];
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != word[i])
            return false;
    }
    return true;
}

std::u16string_view Trimmed(BSTR s)
{
    std::u16string_view text(s ? s : u"", SysStringLen(s));
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\t'))
        text.remove_suffix(1);
    return text;
}

// Text to a number: decimal notation only, no locale.
std::optional<double> ParseNumber(BSTR s, bool words)
{
    const std::u16string_view text = Trimmed(s);
    if (words && IsTrueWord(text, true))
        return -1.0;
    if (words && IsTrueWord(text, false))
        return 0.0;
    std::string ascii;
    for (char16_t c : text) {
        if (c > 0x7F)
            return std::nullopt;
        ascii += static_cast<char>(c);
    }
    double value = 0;
    const char* first = ascii.data();
    const char* last = first + ascii.size();
    if (first != last && *first == '+')
        ++first;
    auto [end, error] = std::from_chars(first, last, value);
    if (ascii.empty() || error != std::errc() || end != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::u16string FormatNumber(const VARIANT& v, bool words)
{
    std::string text;
    switch (v.vt) {
    case VT_BOOL:
        text = words ? (v.boolVal ? "True" : "False") : (v.boolVal ? "-1" : "0");
        break;
    case VT_R4: case VT_R8: case VT_DATE: {
        char buffer[64];
        auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, NumberOf(v));
        text.assign(buffer, error == std::errc() ? end : buffer);
        break;
    }
    case VT_UI2: case VT_UI4:
        text = std::to_string(static_cast<std::uint64_t>(NumberOf(v)));
        break;
    default:
        text = std::to_string(static_cast<std::int64_t>(NumberOf(v)));
    }
    return Utf8ToUtf16(text);
}

bool FitsIn(double value, double low, double high) { return value >= low && value <= high; }

// Integers round half to even, as the system's conversion does.
HRESULT StoreNumber(VARIANT* out, double value, std::uint16_t vt)
{
    const double whole = std::nearbyint(value);
    switch (vt) {
    case VT_I2:
        if (!FitsIn(whole, -32768, 32767)) return DISP_E_OVERFLOW;
        out->iVal = static_cast<std::int16_t>(whole);
        break;
    case VT_I4:
        if (!FitsIn(whole, -2147483648.0, 2147483647.0)) return DISP_E_OVERFLOW;
        out->lVal = static_cast<std::int32_t>(whole);
        break;
    case VT_UI2:
        if (!FitsIn(whole, 0, 65535)) return DISP_E_OVERFLOW;
        out->uiVal = static_cast<std::uint16_t>(whole);
        break;
    case VT_UI4:
        if (!FitsIn(whole, 0, 4294967295.0)) return DISP_E_OVERFLOW;
        out->ulVal = static_cast<std::uint32_t>(whole);
        break;
    case VT_R4:
        if (std::fabs(value) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
        out->fltVal = static_cast<float>(value);
        break;
    case VT_R8: out->dblVal = value; break;
    case VT_DATE: out->date = value; break;
    case VT_BOOL: out->boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE; break;
    default: return DISP_E_TYPEMISMATCH;
    }
    out->vt = vt;
    return S_OK;
}

HRESULT ConvertObject(VARIANT* out, const VARIANT& in, std::uint16_t vt)
{
    IUnknown* object = in.punkVal;
    if (!object) {
        out->vt = vt;
        out->punkVal = nullptr;
        return S_OK;
    }
    void* converted = nullptr;
    const HRESULT hr = object->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &converted);
    if (FAILED(hr))
        return DISP_E_TYPEMISMATCH;
    out->vt = vt;
    out->punkVal = static_cast<IUnknown*>(converted);
    return S_OK;
}

HRESULT Convert(VARIANT* out, const VARIANT& in, std::uint16_t flags, std::uint16_t vt)
{
    const bool words = (flags & VARIANT_LOCALBOOL) != 0;
    const bool inObject = in.vt == VT_DISPATCH || in.vt == VT_UNKNOWN;
    const bool outObject = vt == VT_DISPATCH || vt == VT_UNKNOWN;
    if (in.vt == VT_EMPTY && outObject) {  // nothing came back: a null object
        out->vt = vt;
        out->punkVal = nullptr;
        return S_OK;
    }
    if (inObject || outObject)
        return inObject && outObject ? ConvertObject(out, in, vt) : DISP_E_TYPEMISMATCH;
    if (vt == VT_BSTR) {
        if (!IsNumeric(in.vt) && in.vt != VT_EMPTY)
            return DISP_E_TYPEMISMATCH;
        const std::u16string text = in.vt == VT_EMPTY ? std::u16string() : FormatNumber(in, words);
        out->bstrVal = SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
        if (!out->bstrVal)
            return E_OUTOFMEMORY;
        out->vt = VT_BSTR;
        return S_OK;
    }
    if (in.vt == VT_BSTR) {
        const std::optional<double> value = ParseNumber(in.bstrVal, words || vt == VT_BOOL);
        return value ? StoreNumber(out, *value, vt) : DISP_E_TYPEMISMATCH;
    }
    if (in.vt == VT_EMPTY)
        return StoreNumber(out, 0, vt);
    if (!IsNumeric(in.vt))
        return DISP_E_TYPEMISMATCH;
    return StoreNumber(out, NumberOf(in), vt);
}

}  // namespace

void VariantInit(VARIANT* v)
{
    v->vt = VT_EMPTY;
    v->dblVal = 0;
}

HRESULT VariantClear(VARIANT* v)
{
    if (!v)
        return E_INVALIDARG;
    if (v->vt == VT_BSTR)
        SysFreeString(v->bstrVal);
    else if ((v->vt == VT_DISPATCH || v->vt == VT_UNKNOWN) && v->punkVal)
        v->punkVal->Release();
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src)
{
    if (!dest || !src)
        return E_INVALIDARG;
    if (dest == src)
        return S_OK;
    VARIANT copy = *src;
    if (src->vt == VT_BSTR && src->bstrVal) {
        copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
        if (!copy.bstrVal)
            return E_OUTOFMEMORY;
    } else if ((src->vt == VT_DISPATCH || src->vt == VT_UNKNOWN) && src->punkVal) {
        src->punkVal->AddRef();
    }
    VariantClear(dest);
    *dest = copy;
    return S_OK;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, std::uint16_t flags, std::uint16_t vt)
{
    if (!dest || !src)
        return E_INVALIDARG;
    if (src->vt == vt)
        return VariantCopy(dest, src);
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = Convert(&result, *src, flags, vt);
    if (FAILED(hr))
        return hr;
    VariantClear(dest);  // also frees src when they are the same variant
    *dest = result;
    return S_OK;
}
