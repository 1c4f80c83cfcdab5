// A base for components written in C++: reference counting, the name table
// behind GetIDsOfNames and argument access for Invoke, so that a component
// only says what its members do.
#pragma once

#include "com.h"

#include <atomic>
#include <span>
#include <string>

// The arguments of one Invoke in the order the caller wrote them.
class DispatchArgs {
public:
    DispatchArgs(const DISPPARAMS* params, std::uint32_t* argError) : params_(params), argError_(argError) {}

    std::uint32_t Count() const { return params_ ? params_->argCount : 0; }
    // The i-th argument converted; DISP_E_TYPEMISMATCH (and the blamed
    // argument set) when it does not convert, DISP_E_PARAMNOTFOUND when it
    // is missing.
    HRESULT Text(std::uint32_t i, std::u16string* out) const;
    HRESULT Int(std::uint32_t i, std::int32_t* out) const;
    HRESULT Bool(std::uint32_t i, bool* out) const;
    // True when the call carries the property-put named argument.
    bool IsPropertyPut() const;

private:
    HRESULT Converted(std::uint32_t i, std::uint16_t vt, VARIANT* out) const;

    const DISPPARAMS* params_;
    std::uint32_t* argError_;
};

class DispatchObject : public IDispatch {
public:
    struct Member {
        const char16_t* name;
        DISPID id;
    };

    HRESULT QueryInterface(const IID& iid, void** object) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;
    HRESULT GetIDsOfNames(const char16_t* const* names, std::uint32_t count, std::uint32_t locale,
                          DISPID* ids) override;
    HRESULT Invoke(DISPID id, std::uint32_t locale, std::uint16_t kind, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, std::uint32_t* argError) override;

    // Fills an exception for DISP_E_EXCEPTION; returns DISP_E_EXCEPTION.
    static HRESULT Raise(EXCEPINFO* exception, const char16_t* source, const char16_t* description,
                         HRESULT scode);

protected:
    explicit DispatchObject(std::span<const Member> members) : members_(members) {}
    virtual ~DispatchObject() = default;

    // One call on a member found in the table. `result` may be null.
    virtual HRESULT Call(DISPID id, std::uint16_t kind, const DispatchArgs& args, VARIANT* result,
                         EXCEPINFO* exception) = 0;

private:
    std::span<const Member> members_;
    std::atomic<std::uint32_t> references_{1};
};

// A factory that makes T (a DispatchObject with a default constructor).
template <typename T>
class DispatchClassFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return ++references_; }
    std::uint32_t Release() override
    {
        const std::uint32_t left = --references_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return Code(0x80040110);  // CLASS_E_NOAGGREGATION
        T* created = new T();
        const HRESULT hr = created->QueryInterface(iid, object);
        created->Release();
        return hr;
    }

private:
    ~DispatchClassFactory() = default;
    std::atomic<std::uint32_t> references_{1};
};
