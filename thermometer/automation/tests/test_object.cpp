#include "test_object.h"

#include "com_registry.h"

#include <atomic>

namespace {

enum : DISPID { kCharacters = 1, kLoad, kConnected, kEcho, kNothing, kReturn, kMismatch, kFail, kCoded, kRaise };

constexpr DispatchObject::Member kMembers[] = {
    {u"Characters", kCharacters}, {u"Load", kLoad},       {u"Connected", kConnected},
    {u"Echo", kEcho},             {u"Nothing", kNothing}, {u"Return", kReturn},
    {u"Mismatch", kMismatch},     {u"Fail", kFail},       {u"Coded", kCoded},
    {u"Raise", kRaise},           {u"_NewEnum", DISPID_NEWENUM},
};

// Hands out 7, a new test object and the text "x", in that order.
class ThreeItems final : public IEnumVARIANT {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IEnumVARIANT) {
            *object = static_cast<IEnumVARIANT*>(this);
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
        if (!left)
            delete this;
        return left;
    }
    HRESULT Next(std::uint32_t count, VARIANT* items, std::uint32_t* fetched) override
    {
        *fetched = 0;
        for (; *fetched < count && next_ < 3; ++*fetched, ++next_) {
            VARIANT& v = items[*fetched];
            if (next_ == 0) {
                v.vt = VT_I4;
                v.lVal = 7;
            } else if (next_ == 1) {
                v.vt = VT_DISPATCH;
                v.pdispVal = new TestObject();
            } else {
                v.vt = VT_BSTR;
                v.bstrVal = SysAllocString(u"x");
            }
        }
        return *fetched == count ? S_OK : S_FALSE;
    }

private:
    ~ThreeItems() = default;
    std::atomic<std::uint32_t> references_{1};
    int next_ = 0;
};

std::atomic<std::uint32_t> g_live{0};

HRESULT FillInLater(EXCEPINFO* e)
{
    e->description = SysAllocString(u"Deferred description");
    e->source = SysAllocString(u"TestSource");
    e->scode = Code(0x80041234);
    return S_OK;
}

}  // namespace

void CallLog::Clear()
{
    std::lock_guard guard(lock);
    for (RecordedCall& call : calls)
        for (VARIANT& v : call.args)
            VariantClear(&v);
    calls.clear();
    lookups.clear();
}

std::vector<RecordedCall> CallLog::Calls()
{
    std::lock_guard guard(lock);
    return calls;  // variants shared with the log; read only
}

CallLog& TestLog()
{
    static CallLog log;
    return log;
}

TestObject::TestObject() : DispatchObject(kMembers) { ++g_live; }

TestObject::~TestObject() { --g_live; }

std::uint32_t TestObject::LiveObjects() { return g_live; }

HRESULT TestObject::GetIDsOfNames(const char16_t* const* names, std::uint32_t count, std::uint32_t locale,
                                  DISPID* ids)
{
    {
        std::lock_guard guard(TestLog().lock);
        for (std::uint32_t i = 0; i < count; ++i)
            TestLog().lookups.push_back(names[i]);
    }
    return DispatchObject::GetIDsOfNames(names, count, locale, ids);
}

HRESULT TestObject::Invoke(DISPID id, std::uint32_t locale, std::uint16_t kind, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* exception, std::uint32_t* argError)
{
    RecordedCall call;
    for (const Member& m : kMembers)
        if (m.id == id)
            call.name = m.name;
    call.kind = kind;
    call.wantedResult = result != nullptr;
    for (std::uint32_t i = 0; params && i < params->argCount; ++i) {
        VARIANT copy;
        VariantInit(&copy);
        VariantCopy(&copy, &params->args[i]);
        call.args.push_back(copy);
    }
    for (std::uint32_t i = 0; params && i < params->namedArgCount; ++i)
        call.named.push_back(params->namedArgs[i]);
    {
        std::lock_guard guard(TestLog().lock);
        TestLog().calls.push_back(call);
    }
    raw_ = params;
    return DispatchObject::Invoke(id, locale, kind, params, result, exception, argError);
}

HRESULT TestObject::Call(DISPID id, std::uint16_t, const DispatchArgs& args, VARIANT* result, EXCEPINFO* e)
{
    switch (id) {
    case kCharacters:
        if (!result)
            return S_OK;
        result->vt = VT_DISPATCH;
        result->pdispVal = new TestObject();
        return S_OK;
    case kConnected:
        if (result) {
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_TRUE;
        }
        return S_OK;
    case kEcho:
        return result && raw_->argCount ? VariantCopy(result, &raw_->args[raw_->argCount - 1]) : S_OK;
    case kReturn: {
        std::int32_t code = 0;
        args.Int(0, &code);
        return code;
    }
    case kMismatch:
        for (std::uint32_t i = 0; i < args.Count(); ++i) {
            std::int32_t ignored;
            if (FAILED(args.Int(i, &ignored)))
                return DISP_E_TYPEMISMATCH;
        }
        return S_OK;
    case kFail:
        *e = EXCEPINFO{};
        e->deferredFillIn = FillInLater;
        return DISP_E_EXCEPTION;
    case kCoded:
        Raise(e, u"CodedSource", u"Coded failure", E_FAIL);
        e->code = 1001;
        return DISP_E_EXCEPTION;
    case DISPID_NEWENUM:
        if (result) {
            result->vt = VT_UNKNOWN;
            result->punkVal = new ThreeItems();
        }
        return S_OK;
    case kRaise: {
        std::u16string text;
        args.Text(0, &text);
        return Raise(e, u"TestSource", text.c_str(), E_FAIL);
    }
    default:
        return S_OK;  // Load, Nothing
    }
}

void RegisterTestObject()
{
    static const HRESULT registered = [] {
        auto* factory = new DispatchClassFactory<TestObject>();
        const HRESULT hr = RegisterComponentClass(kTestObjectProgId, kTestObjectClsid, factory);
        factory->Release();
        return hr;
    }();
    (void)registered;
}
