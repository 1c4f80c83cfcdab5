// Calls: member texts walked to their last segment, argument letters turned
// into an argument array, one lookup and one invoke.
#include "automation_internal.h"

#include <algorithm>

namespace {

bool KindTakesResult(std::uint16_t kind)
{
    return kind != DISPATCH_METHOD && kind != DISPATCH_PROPERTYPUT && kind != DISPATCH_PROPERTYPUTREF;
}

// The last segment, with the kind and wanted type the caller asked for.
HRESULT InternalInvokeV(std::uint16_t kind, std::uint16_t wantedType, VARIANT* result, IDispatch* object,
                        const char16_t* segment, ArgumentSource& source)
{
    ArgumentArray args;
    std::u16string name;
    HRESULT hr = CreateArgumentArray(segment, &name, &args, source);
    if (FAILED(hr))
        return hr;
    hr = InvokeArray(kind, result, args.count, object, name.c_str(), args.First());
    args.Free();
    if (SUCCEEDED(hr) && result && wantedType != VT_EMPTY && result->vt != wantedType) {
        hr = VariantChangeType(result, result, VARIANT_LOCALBOOL, wantedType);
        if (FAILED(hr))
            VariantClear(result);
    }
    return hr;
}

}  // namespace

HRESULT TraverseSubObjects(IDispatch** object, char16_t* text, const char16_t** lastSegment,
                           ArgumentSource& source)
{
    OperationScope scope(u"TraverseSubObjects");
    if (!object || !*object || !text || !lastSegment)
        return scope.Exit(E_INVALIDARG, text);
    const std::u16string member = text;  // for the record; the walk cuts text up
    IDispatch* current = *object;
    current->AddRef();  // the caller's reference is never consumed
    char16_t* segment = text[0] == u'.' ? text + 1 : text;
    HRESULT hr = S_OK;
    for (char16_t* dot; (dot = std::find(segment, segment + Utf16Length(segment), u'.')) && *dot;
         segment = dot + 1) {
        *dot = u'\0';
        VARIANT next;
        VariantInit(&next);
        hr = InternalInvokeV(DISPATCH_METHOD | DISPATCH_PROPERTYGET, VT_DISPATCH, &next, current, segment, source);
        if (SUCCEEDED(hr) && !next.pdispVal)
            hr = E_NOINTERFACE;
        current->Release();
        current = SUCCEEDED(hr) ? next.pdispVal : nullptr;
        if (FAILED(hr)) {
            VariantClear(&next);
            break;
        }
    }
    *object = current;
    *lastSegment = segment;
    return scope.Exit(hr, member.c_str());
}

HRESULT InvokeWithSource(std::uint16_t kind, std::uint16_t wantedType, VARIANT* result, IDispatch* object,
                         const char16_t* member, ArgumentSource& source)
{
    OperationScope scope(u"InvokeV");
    if (result)
        VariantInit(result);
    if (!object || !member || Utf16Length(member) >= kMemberTextUnits)
        return scope.Exit(E_INVALIDARG, member);
    char16_t text[kMemberTextUnits];
    std::copy(member, member + Utf16Length(member) + 1, text);
    IDispatch* current = object;
    const char16_t* last = nullptr;
    HRESULT hr = TraverseSubObjects(&current, text, &last, source);
    if (SUCCEEDED(hr)) {
        hr = InternalInvokeV(kind, wantedType, KindTakesResult(kind) ? result : nullptr, current, last, source);
        current->Release();
    }
    return scope.Exit(hr, member);
}

HRESULT InvokeV(std::uint16_t kind, std::uint16_t wantedType, VARIANT* result, IDispatch* object,
                const char16_t* member, va_list args)
{
    VaListSource source(args);
    return InvokeWithSource(kind, wantedType, result, object, member, source);
}

HRESULT CallMethodV(IDispatch* object, const char16_t* member, va_list args)
{
    OperationScope scope(u"CallMethodV");
    return scope.Exit(InvokeV(DISPATCH_METHOD, VT_EMPTY, nullptr, object, member, args), member);
}

HRESULT PutValueV(IDispatch* object, const char16_t* member, va_list args)
{
    OperationScope scope(u"PutValueV");
    return scope.Exit(InvokeV(DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, object, member, args), member);
}

HRESULT PutRefV(IDispatch* object, const char16_t* member, va_list args)
{
    OperationScope scope(u"PutRefV");
    return scope.Exit(InvokeV(DISPATCH_PROPERTYPUTREF, VT_EMPTY, nullptr, object, member, args), member);
}

HRESULT GetValueWithSource(const char16_t* format, void* out, IDispatch* object, const char16_t* member,
                           ArgumentSource& source)
{
    OperationScope scope(u"GetValueV");
    char16_t letter = 0;
    std::uint16_t wanted = VT_EMPTY;
    if (!out || FAILED(ResultFormatType(format, &letter, &wanted)))
        return scope.Exit(E_INVALIDARG, member);
    VARIANT result;
    HRESULT hr = InvokeWithSource(DISPATCH_METHOD | DISPATCH_PROPERTYGET, wanted, &result, object, member, source);
    if (SUCCEEDED(hr))
        hr = StoreResult(letter, &result, out);
    return scope.Exit(hr, member);
}

HRESULT GetValueV(const char16_t* format, void* out, IDispatch* object, const char16_t* member, va_list args)
{
    VaListSource source(args);
    return GetValueWithSource(format, out, object, member, source);
}

HRESULT CallMethod(IDispatch* object, const char16_t* member, ...)
{
    OperationScope scope(u"CallMethod");
    va_list args;
    va_start(args, member);
    const HRESULT hr = CallMethodV(object, member, args);
    va_end(args);
    return scope.Exit(hr, member);
}

HRESULT PutValue(IDispatch* object, const char16_t* member, ...)
{
    OperationScope scope(u"PutValue");
    va_list args;
    va_start(args, member);
    const HRESULT hr = PutValueV(object, member, args);
    va_end(args);
    return scope.Exit(hr, member);
}

HRESULT PutRef(IDispatch* object, const char16_t* member, ...)
{
    OperationScope scope(u"PutRef");
    va_list args;
    va_start(args, member);
    const HRESULT hr = PutRefV(object, member, args);
    va_end(args);
    return scope.Exit(hr, member);
}

HRESULT GetValue(const char16_t* format, void* out, IDispatch* object, const char16_t* member, ...)
{
    OperationScope scope(u"GetValue");
    va_list args;
    va_start(args, member);
    const HRESULT hr = GetValueV(format, out, object, member, args);
    va_end(args);
    return scope.Exit(hr, member);
}

HRESULT Invoke(std::uint16_t kind, std::uint16_t wantedType, VARIANT* result, IDispatch* object,
               const char16_t* member, ...)
{
    OperationScope scope(u"Invoke");
    va_list args;
    va_start(args, member);
    const HRESULT hr = InvokeV(kind, wantedType, result, object, member, args);
    va_end(args);
    return scope.Exit(hr, member);
}

HRESULT InvokeArray(std::uint16_t kind, VARIANT* result, std::uint32_t count, IDispatch* object,
                    const char16_t* name, VARIANT* args)
{
    OperationScope scope(u"InvokeArray");
    if (!object || !name || (count && !args))
        return scope.Exit(E_INVALIDARG, name);
    FailureDetail detail;
    detail.memberName = name;
    detail.fromInvoke = true;
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = LookUpMember(object, name, &id);
    if (FAILED(hr))
        return scope.Exit(hr, name, detail);
    DISPID putId = DISPID_PROPERTYPUT;
    const bool put = kind == DISPATCH_PROPERTYPUT || kind == DISPATCH_PROPERTYPUTREF;
    DISPPARAMS params{args, put ? &putId : nullptr, count, put ? 1u : 0u};
    EXCEPINFO exception{};
    hr = InvokeMember(object, id, kind, &params, KindTakesResult(kind) ? result : nullptr, &exception,
                      &detail.argumentIndex);
    detail.exception = &exception;
    hr = scope.Exit(hr, name, detail);
    FreeExceptionInfo(&exception);
    return hr;
}

HRESULT EnumBegin(IEnumVARIANT** enumerator, IDispatch* collection)
{
    OperationScope scope(u"EnumBegin");
    if (!enumerator || !collection)
        return scope.Exit(E_INVALIDARG, nullptr);
    *enumerator = nullptr;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    FailureDetail detail;
    detail.memberName = u"_NewEnum";
    detail.fromInvoke = true;
    detail.exception = &exception;
    HRESULT hr = InvokeMember(collection, DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &result,
                              &exception, &detail.argumentIndex);
    if (SUCCEEDED(hr)) {
        const bool isObject = (result.vt == VT_UNKNOWN || result.vt == VT_DISPATCH) && result.punkVal;
        hr = isObject ? result.punkVal->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(enumerator))
                      : E_NOINTERFACE;
        detail.fromInvoke = false;
    }
    VariantClear(&result);
    hr = scope.Exit(hr, nullptr, detail);
    FreeExceptionInfo(&exception);
    return hr;
}

HRESULT EnumNextVariant(IEnumVARIANT* enumerator, VARIANT* item)
{
    OperationScope scope(u"EnumNextVariant");
    if (!enumerator || !item)
        return scope.Exit(E_INVALIDARG, nullptr);
    VariantInit(item);
    ULONG fetched = 0;
    const HRESULT hr = enumerator->Next(1, item, &fetched);
    return scope.Exit(SUCCEEDED(hr) && fetched == 0 ? S_FALSE : hr, nullptr);
}

HRESULT EnumNextObject(IEnumVARIANT* enumerator, IDispatch** object)
{
    OperationScope scope(u"EnumNextObject");
    if (!enumerator || !object)
        return scope.Exit(E_INVALIDARG, nullptr);
    *object = nullptr;
    VARIANT item;
    HRESULT hr = EnumNextVariant(enumerator, &item);
    if (hr == S_OK) {
        hr = VariantChangeType(&item, &item, 0, VT_DISPATCH);
        if (SUCCEEDED(hr) && !item.pdispVal)
            hr = E_NOINTERFACE;
        if (SUCCEEDED(hr)) {
            *object = item.pdispVal;
            VariantInit(&item);
        }
    }
    VariantClear(&item);
    return scope.Exit(hr, nullptr);
}
