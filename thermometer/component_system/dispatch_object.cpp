#include "dispatch_object.h"

namespace {

bool SameName(const char16_t* a, const char16_t* b)
{
    auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    for (; *a && *b; ++a, ++b)
        if (fold(*a) != fold(*b))
            return false;
    return *a == *b;
}

}  // namespace

HRESULT DispatchArgs::Converted(std::uint32_t i, std::uint16_t vt, VARIANT* out) const
{
    if (i >= Count())
        return DISP_E_PARAMNOTFOUND;
    // Arguments arrive last first.
    const std::uint32_t slot = Count() - 1 - i;
    const VARIANT& arg = params_->args[slot];
    if (arg.vt == VT_ERROR && arg.scode == DISP_E_PARAMNOTFOUND)
        return DISP_E_PARAMNOTFOUND;
    VariantInit(out);
    const HRESULT hr = VariantChangeType(out, &arg, 0, vt);
    if (FAILED(hr)) {
        if (argError_)
            *argError_ = slot;
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

HRESULT DispatchArgs::Text(std::uint32_t i, std::u16string* out) const
{
    VARIANT v;
    const HRESULT hr = Converted(i, VT_BSTR, &v);
    if (SUCCEEDED(hr)) {
        out->assign(v.bstrVal, SysStringLen(v.bstrVal));
        VariantClear(&v);
    }
    return hr;
}

HRESULT DispatchArgs::Int(std::uint32_t i, std::int32_t* out) const
{
    VARIANT v;
    const HRESULT hr = Converted(i, VT_I4, &v);
    if (SUCCEEDED(hr))
        *out = v.lVal;
    return hr;
}

HRESULT DispatchArgs::Bool(std::uint32_t i, bool* out) const
{
    VARIANT v;
    const HRESULT hr = Converted(i, VT_BOOL, &v);
    if (SUCCEEDED(hr))
        *out = v.boolVal != VARIANT_FALSE;
    return hr;
}

bool DispatchArgs::IsPropertyPut() const
{
    return params_ && params_->namedArgCount == 1 && params_->namedArgs &&
           params_->namedArgs[0] == DISPID_PROPERTYPUT;
}

HRESULT DispatchObject::QueryInterface(const IID& iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

std::uint32_t DispatchObject::AddRef() { return ++references_; }

std::uint32_t DispatchObject::Release()
{
    const std::uint32_t left = --references_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT DispatchObject::GetIDsOfNames(const char16_t* const* names, std::uint32_t count, std::uint32_t,
                                      DISPID* ids)
{
    if (!names || !ids)
        return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (std::uint32_t n = 0; n < count; ++n) {
        ids[n] = DISPID_UNKNOWN;
        for (const Member& m : members_)
            if (names[n] && SameName(m.name, names[n]))
                ids[n] = m.id;
        if (ids[n] == DISPID_UNKNOWN)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT DispatchObject::Invoke(DISPID id, std::uint32_t, std::uint16_t kind, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* exception, std::uint32_t* argError)
{
    if (!params || (params->argCount && !params->args))
        return E_INVALIDARG;
    bool known = false;
    for (const Member& m : members_)
        known = known || m.id == id;
    if (!known)
        return DISP_E_MEMBERNOTFOUND;
    if (result)
        VariantInit(result);
    return Call(id, kind, DispatchArgs(params, argError), result, exception);
}

HRESULT DispatchObject::Raise(EXCEPINFO* exception, const char16_t* source, const char16_t* description,
                              HRESULT scode)
{
    if (exception) {
        *exception = EXCEPINFO{};
        exception->source = SysAllocString(source);
        exception->description = SysAllocString(description);
        exception->scode = scode;
    }
    return DISP_E_EXCEPTION;
}
