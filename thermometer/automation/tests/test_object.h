// A component for the layer's tests: it records every lookup and invoke as
// the dispatch interface received it and answers a few members.
//
//   Characters      an object (a new test object sharing the log)
//   Load, Connected accept anything; Connected reads as true
//   Echo(x)         returns its first argument unchanged
//   Nothing         returns no value
//   Return(code)    fails with the given code
//   Mismatch(...)   converts each argument to a number; the first that
//                   does not convert is blamed
//   Fail            raises an exception filled in later (deferred)
//   Coded           raises an exception with the short code 1001
//   Raise(text)     raises an exception described by text
//   _NewEnum        an enumerator of 7, a test object and "x"
#pragma once

#include "com.h"
#include "dispatch_object.h"

#include <mutex>
#include <string>
#include <vector>

struct RecordedCall {
    std::u16string name;
    std::uint16_t kind = 0;
    std::vector<VARIANT> args;  // as received: last argument first
    std::vector<DISPID> named;
    bool wantedResult = false;
};

struct CallLog {
    std::mutex lock;
    std::vector<std::u16string> lookups;
    std::vector<RecordedCall> calls;

    void Clear();
    std::vector<RecordedCall> Calls();
};

// The one log every test object writes to.
CallLog& TestLog();

inline constexpr CLSID kTestObjectClsid{0x1D2C3B4A, 0x5F6E, 0x7A8B, {0x9C, 0x0D, 0x1E, 0x2F, 0x3A, 0x4B, 0x5C, 0x6D}};
inline constexpr const char16_t* kTestObjectProgId = u"Bench.TestObject";
inline constexpr const char16_t* kTestObjectClsidText = u"{1D2C3B4A-5F6E-7A8B-9C0D-1E2F3A4B5C6D}";

class TestObject final : public DispatchObject {
public:
    TestObject();
    HRESULT GetIDsOfNames(const char16_t* const* names, std::uint32_t count, std::uint32_t locale,
                          DISPID* ids) override;
    HRESULT Invoke(DISPID id, std::uint32_t locale, std::uint16_t kind, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, std::uint32_t* argError) override;

    static std::uint32_t LiveObjects();

protected:
    ~TestObject() override;
    HRESULT Call(DISPID id, std::uint16_t kind, const DispatchArgs& args, VARIANT* result,
                 EXCEPINFO* exception) override;

private:
    const DISPPARAMS* raw_ = nullptr;
};

// Registers the class once per process.
void RegisterTestObject();
