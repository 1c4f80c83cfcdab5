// libFuzzer target for the member-text and result-format parsers, driven
// through the layer's own call path against an object that answers with
// results taken from the input.
//
// Input: one mode byte, the member text up to "\n", the result format up
// to "\n", then the bytes that argument values and results are drawn from.
//   mode bit 0      %T means UTF-16 strings
//   mode bits 1-2   0 CallMethod, 1 PutValue, 2 GetValue, 3 Invoke (get)
#include "automation_internal.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

namespace {

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    template <typename T>
    T Take()
    {
        T value{};
        const std::size_t n = std::min(sizeof value, size_ - at_);
        std::memcpy(&value, data_ + at_, n);
        at_ += n;
        return value;
    }

    std::string Text()
    {
        const std::size_t length = std::min<std::size_t>(Take<std::uint8_t>(), size_ - at_);
        std::string s(reinterpret_cast<const char*>(data_ + at_), length);
        at_ += length;
        return s;
    }

    std::string Line()
    {
        std::string s;
        while (at_ < size_ && data_[at_] != '\n')
            s += static_cast<char>(data_[at_++]);
        if (at_ < size_)
            ++at_;
        return s;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Answers every name but those starting with "X"; each invoke takes its
// outcome from the input. Counts its references so a leak shows.
class FuzzObject final : public IDispatch {
public:
    explicit FuzzObject(Bytes& bytes) : bytes_(bytes) {}
    std::uint32_t References() const { return references_; }

    HRESULT QueryInterface(const IID& iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return ++references_; }
    std::uint32_t Release() override
    {
        if (references_ == 0)
            std::abort();  // released more often than referenced
        return --references_;
    }
    HRESULT GetIDsOfNames(const char16_t* const* names, std::uint32_t, std::uint32_t, DISPID* ids) override
    {
        *ids = 1;
        return names[0][0] == u'X' ? DISP_E_UNKNOWNNAME : S_OK;
    }
    HRESULT Invoke(DISPID, std::uint32_t, std::uint16_t, DISPPARAMS* params, VARIANT* result, EXCEPINFO* e,
                   std::uint32_t* argError) override
    {
        for (std::uint32_t i = 0; i < params->argCount; ++i)
            (void)params->args[i].vt;  // every slot must be readable
        *argError = bytes_.Take<std::uint8_t>() % (params->argCount + 1);
        const std::uint8_t outcome = bytes_.Take<std::uint8_t>();
        if (outcome >= 0xF0)
            return Fail(outcome, e);
        if (result)
            Answer(outcome, result);
        return S_OK;
    }

private:
    static HRESULT FillIn(EXCEPINFO* e)
    {
        e->description = SysAllocString(u"later");
        return S_OK;
    }

    HRESULT Fail(std::uint8_t outcome, EXCEPINFO* e)
    {
        static constexpr HRESULT kCodes[] = {E_FAIL, DISP_E_TYPEMISMATCH, DISP_E_MEMBERNOTFOUND, E_NOINTERFACE,
                                             Code(0x80049999)};
        if (outcome < 0xF8)
            return kCodes[outcome % 5];
        const std::u16string text = Utf8ToUtf16(bytes_.Text());
        e->description = SysAllocString(text.c_str());
        e->source = outcome & 1 ? SysAllocString(u"fuzz") : nullptr;
        e->code = bytes_.Take<std::uint16_t>();
        e->scode = bytes_.Take<HRESULT>();
        e->deferredFillIn = outcome & 2 ? nullptr : FillIn;
        if (e->deferredFillIn) {
            SysFreeString(e->description);
            e->description = nullptr;
        }
        return DISP_E_EXCEPTION;
    }

    void Answer(std::uint8_t outcome, VARIANT* result)
    {
        switch (outcome % 9) {
        case 0: break;  // nothing
        case 1: result->vt = VT_I4; result->lVal = bytes_.Take<std::int32_t>(); break;
        case 2: result->vt = VT_R8; result->dblVal = bytes_.Take<double>(); break;
        case 3: result->vt = VT_DATE; result->date = bytes_.Take<double>(); break;
        case 4: result->vt = VT_BOOL; result->boolVal = bytes_.Take<std::int16_t>(); break;
        case 5: result->vt = VT_UI4; result->ulVal = bytes_.Take<std::uint32_t>(); break;
        case 6: result->vt = VT_DISPATCH; result->pdispVal = this; AddRef(); break;
        case 7: result->vt = VT_DISPATCH; result->pdispVal = nullptr; break;
        default: {
            const std::u16string text = Utf8ToUtf16(bytes_.Text());
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
        }
        }
    }

    Bytes& bytes_;
    std::uint32_t references_ = 1;
};

// Argument values from the input, each pointer to storage of its kind.
class FuzzSource final : public ArgumentSource {
public:
    FuzzSource(Bytes& bytes, FuzzObject* object) : bytes_(bytes), object_(object) {}
    ~FuzzSource()
    {
        for (BSTR s : ready_)
            SysFreeString(s);
        for (VARIANT& v : variants_)
            VariantClear(&v);
    }

    std::int32_t Int() override { return bytes_.Take<std::int32_t>(); }
    std::uint32_t UInt() override { return bytes_.Take<std::uint32_t>(); }
    std::intptr_t PointerSized() override { return bytes_.Take<std::intptr_t>(); }
    const void* Pointer(char16_t letter) override
    {
        if (bytes_.Take<std::uint8_t>() == 0xFF)
            return nullptr;
        switch (letter) {
        case u's': return narrow_.emplace_back(bytes_.Text()).c_str();
        case u'S': return wide_.emplace_back(Utf8ToUtf16(bytes_.Text())).c_str();
        case u'B': {
            const std::u16string text = Utf8ToUtf16(bytes_.Text());
            return ready_.emplace_back(SysAllocString(text.c_str()));
        }
        case u'o': case u'O': return object_;
        case u'v': return &variants_.emplace_back(Variant());
        default: return Block();  // r, e, D, W, f
        }
    }

private:
    VARIANT Variant()
    {
        VARIANT v;
        VariantInit(&v);
        if (bytes_.Take<std::uint8_t>() & 1) {
            v.vt = VT_BSTR;
            v.bstrVal = SysAllocString(Utf8ToUtf16(bytes_.Text()).c_str());
        } else {
            v.vt = VT_I4;
            v.lVal = bytes_.Take<std::int32_t>();
        }
        return v;
    }

    const void* Block()
    {
        auto& block = blocks_.emplace_back();
        for (auto& word : block)
            word = bytes_.Take<std::uint64_t>();
        return block.data();
    }

    Bytes& bytes_;
    FuzzObject* object_;
    std::deque<std::string> narrow_;
    std::deque<std::u16string> wide_;
    std::deque<BSTR> ready_;
    std::deque<VARIANT> variants_;
    std::deque<std::array<std::uint64_t, 2>> blocks_;
};

void FreeOut(char16_t letter, void* out)
{
    if (letter == u'T')
        letter = Utf16StringMode() ? u'S' : u's';
    if (letter == u'o' || letter == u'O')
        (*static_cast<IUnknown**>(out))->Release();
    else if (letter == u'B' || letter == u'S')
        SysFreeString(*static_cast<BSTR*>(out));
    else if (letter == u's')
        SysFreeString(reinterpret_cast<BSTR>(*static_cast<char**>(out)));
    else if (letter == u'v')
        VariantClear(static_cast<VARIANT*>(out));
}

void Run(std::uint8_t mode, const std::u16string& member, const std::u16string& format, Bytes& bytes,
         FuzzObject& object)
{
    FuzzSource source(bytes, &object);
    switch ((mode >> 1) & 3) {
    case 0: InvokeWithSource(DISPATCH_METHOD, VT_EMPTY, nullptr, &object, member.c_str(), source); break;
    case 1: InvokeWithSource(DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, &object, member.c_str(), source); break;
    case 2: {
        alignas(16) unsigned char out[64] = {};
        if (SUCCEEDED(GetValueWithSource(format.c_str(), out, &object, member.c_str(), source)))
            FreeOut(format[0] == u'%' ? format[1] : format[0], out);
        break;
    }
    default: {
        VARIANT result;
        InvokeWithSource(DISPATCH_METHOD | DISPATCH_PROPERTYGET, mode >> 3, &result, &object, member.c_str(), source);
        VariantClear(&result);
    }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Bytes bytes(data, size);
    const auto mode = bytes.Take<std::uint8_t>();
    const std::u16string member = Utf8ToUtf16(bytes.Line());
    const std::u16string format = Utf8ToUtf16(bytes.Line());
    AutomationSettings settings{};
    SetAutomationSettings(&settings);
    AutomationInit(0, mode & 1);
    FuzzObject object(bytes);
    Run(mode, member, format, bytes, object);
    if (object.References() != 1)
        std::abort();  // the layer kept or dropped a reference
    char16_t wide[600];
    char narrow[1100];
    GetAutomationErrorText(wide, 600);
    GetAutomationErrorTextA(narrow, sizeof narrow);
    AutomationShutdown(0);
    return 0;
}
