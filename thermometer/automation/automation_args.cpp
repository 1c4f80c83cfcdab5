// Member segments: the name and the argument letters.
#include "automation_internal.h"

#include <cstdint>

namespace {

HRESULT MakeString(const char* utf8, VARIANT* v, bool* owned)
{
    v->vt = VT_BSTR;
    if (!utf8) {
        v->bstrVal = nullptr;  // a null BSTR is an empty string
        return S_OK;
    }
    v->bstrVal = AllocString(Utf8ToUtf16(utf8));
    *owned = v->bstrVal != nullptr;
    return v->bstrVal ? S_OK : E_OUTOFMEMORY;
}

HRESULT CopyString(const char16_t* text, VARIANT* v, bool* owned)
{
    v->vt = VT_BSTR;
    v->bstrVal = text ? AllocString(text) : nullptr;
    *owned = v->bstrVal != nullptr;
    return text && !v->bstrVal ? E_OUTOFMEMORY : S_OK;
}

template <typename T>
const T* NonNull(char16_t letter, ArgumentSource& source, HRESULT& hr)
{
    const T* p = static_cast<const T*>(source.Pointer(letter));
    if (!p)
        hr = E_INVALIDARG;
    return p;
}

HRESULT MakeNumber(char16_t letter, ArgumentSource& source, VARIANT* v)
{
    switch (letter) {
    case u'b': v->vt = VT_BOOL; v->boolVal = source.Int() ? VARIANT_TRUE : VARIANT_FALSE; return S_OK;
    case u'i': v->vt = VT_I2; v->iVal = static_cast<std::int16_t>(source.Int()); return S_OK;
    case u'd': v->vt = VT_I4; v->lVal = source.Int(); return S_OK;
    case u'u': v->vt = VT_UI4; v->ulVal = source.UInt(); return S_OK;
    case u'I': v->vt = VT_UI2; v->uiVal = static_cast<std::uint16_t>(source.UInt()); return S_OK;
    case u'p': {
        // Pointers are 64-bit here; the variant holds 32 bits and must not lose any.
        const std::intptr_t value = source.PointerSized();
        if (value < INT32_MIN || value > INT32_MAX)
            return DISP_E_OVERFLOW;
        v->vt = VT_I4;
        v->lVal = static_cast<std::int32_t>(value);
        return S_OK;
    }
    case u't': v->vt = VT_DATE; v->date = UnixTimeToLocalDate(source.Int()); return S_OK;
    default: return E_INVALIDARG;
    }
}

HRESULT MakeFromPointer(char16_t letter, ArgumentSource& source, VARIANT* v, bool* owned)
{
    HRESULT hr = S_OK;
    switch (letter) {
    case u'r': if (auto p = NonNull<float>(letter, source, hr)) { v->vt = VT_R4; v->fltVal = *p; } return hr;
    case u'e': if (auto p = NonNull<double>(letter, source, hr)) { v->vt = VT_R8; v->dblVal = *p; } return hr;
    case u'D': if (auto p = NonNull<DATE>(letter, source, hr)) { v->vt = VT_DATE; v->date = *p; } return hr;
    case u'W':
        if (auto p = NonNull<SYSTEMTIME>(letter, source, hr)) {
            v->vt = VT_DATE;
            hr = SystemTimeToDate(*p, &v->date) ? S_OK : E_INVALIDARG;
        }
        return hr;
    case u'f':
        if (auto p = NonNull<std::uint64_t>(letter, source, hr)) { v->vt = VT_DATE; v->date = FileTimeToDate(*p); }
        return hr;
    case u'v':
        if (auto p = NonNull<VARIANT>(letter, source, hr)) {
            VariantInit(v);
            hr = VariantCopy(v, const_cast<VARIANT*>(p));  // some system headers lack the const
            *owned = SUCCEEDED(hr);
        }
        return hr;
    default: return E_INVALIDARG;
    }
}

HRESULT MakeArgument(char16_t letter, ArgumentSource& source, VARIANT* v, bool* owned)
{
    if (letter == u'T')
        letter = Utf16StringMode() ? u'S' : u's';
    switch (letter) {
    case u's': return MakeString(static_cast<const char*>(source.Pointer(letter)), v, owned);
    case u'S': return CopyString(static_cast<const char16_t*>(source.Pointer(letter)), v, owned);
    case u'B':  // the caller's own string, passed as it is
        v->vt = VT_BSTR;
        v->bstrVal = static_cast<BSTR>(const_cast<void*>(source.Pointer(letter)));
        return S_OK;
    case u'o':
        v->vt = VT_DISPATCH;
        v->pdispVal = const_cast<IDispatch*>(static_cast<const IDispatch*>(source.Pointer(letter)));
        return S_OK;
    case u'O':
        v->vt = VT_UNKNOWN;
        v->punkVal = const_cast<IUnknown*>(static_cast<const IUnknown*>(source.Pointer(letter)));
        return S_OK;
    case u'm': v->vt = VT_ERROR; v->scode = DISP_E_PARAMNOTFOUND; return S_OK;
    case u'r': case u'e': case u'D': case u'W': case u'f': case u'v':
        return MakeFromPointer(letter, source, v, owned);
    default:
        return MakeNumber(letter, source, v);
    }
}

bool EndsName(char16_t c) { return c == u' ' || c == u'(' || c == u'=' || c == u'%'; }

}  // namespace

void ArgumentArray::Free()
{
    for (std::uint32_t i = 0; i < kMaxArguments; ++i) {
        if (owned[i])
            VariantClear(&slots[i]);
        owned[i] = false;
    }
    count = 0;
}

HRESULT CreateArgumentArray(const char16_t* segment, std::u16string* name, ArgumentArray* args,
                            ArgumentSource& source)
{
    OperationScope scope(u"CreateArgumentArray");
    *args = ArgumentArray{};
    if (!segment)
        return scope.Exit(E_INVALIDARG, nullptr);
    const char16_t* p = segment;
    while (*p && !EndsName(*p))
        ++p;
    name->assign(segment, static_cast<std::size_t>(p - segment));
    HRESULT hr = S_OK;
    for (; *p && SUCCEEDED(hr); ++p) {
        if (*p != u'%')
            continue;  // "(", ",", ")", "=" and blanks only decorate
        if (args->count == kMaxArguments || !p[1]) {
            hr = E_INVALIDARG;
            break;
        }
        const std::uint32_t slot = kMaxArguments - 1 - args->count;
        VariantInit(&args->slots[slot]);
        hr = MakeArgument(*++p, source, &args->slots[slot], &args->owned[slot]);
        if (SUCCEEDED(hr))
            ++args->count;
    }
    if (FAILED(hr))
        args->Free();
    return scope.Exit(hr, segment);
}
