// A small in-process component system: the part of the Windows one that the
// automation layer and the agent need, with the same names and codes so that
// the layer reads as it would on Windows.
//
// Objects are reference counted (AddRef/Release); late-bound calls go through
// IDispatch with variants; strings are length-prefixed UTF-16 (BSTR) owned by
// whoever the contract names, freed with SysFreeString.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

using HRESULT = std::int32_t;

constexpr HRESULT Code(std::uint32_t bits) { return static_cast<HRESULT>(bits); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = Code(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = Code(0x80004002);
inline constexpr HRESULT E_POINTER = Code(0x80004003);
inline constexpr HRESULT E_FAIL = Code(0x80004005);
inline constexpr HRESULT E_OUTOFMEMORY = Code(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = Code(0x80070057);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = Code(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = Code(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = Code(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = Code(0x80020006);
inline constexpr HRESULT DISP_E_BADVARTYPE = Code(0x80020008);
inline constexpr HRESULT DISP_E_EXCEPTION = Code(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = Code(0x8002000A);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = Code(0x8002000E);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = Code(0x80040154);
inline constexpr HRESULT MK_E_UNAVAILABLE = Code(0x800401E3);
inline constexpr HRESULT CO_E_NOTINITIALIZED = Code(0x800401F0);
inline constexpr HRESULT CO_E_CLASSSTRING = Code(0x800401F3);

constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }

// ---- identifiers ----------------------------------------------------------

struct GUID {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
    friend bool operator==(const GUID&, const GUID&) = default;
};
using CLSID = GUID;
using IID = GUID;

inline constexpr GUID GUID_NULL{};
extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const IID IID_IClassFactory;
extern const IID IID_IEnumVARIANT;
extern const IID IID_IPersistFile;

// "{01234567-89AB-CDEF-0123-456789ABCDEF}" (either letter case) to a GUID.
HRESULT CLSIDFromString(const char16_t* text, CLSID* clsid);
// The same form, upper case.
std::u16string StringFromCLSID(const CLSID& clsid);

// ---- strings --------------------------------------------------------------

using BSTR = char16_t*;

// Length-prefixed, zero-terminated UTF-16; null text allocates an empty one.
// Null only when memory runs out.
BSTR SysAllocString(const char16_t* text);
BSTR SysAllocStringLen(const char16_t* text, std::uint32_t length);
// A byte string in a BSTR allocation: `length` bytes and a zero byte. Read it
// through reinterpret_cast<char*>; free it with SysFreeString.
BSTR SysAllocStringByteLen(const char* bytes, std::uint32_t length);
void SysFreeString(BSTR text);  // null is allowed
std::uint32_t SysStringLen(BSTR text);      // in UTF-16 units; 0 for null
std::uint32_t SysStringByteLen(BSTR text);  // in bytes; 0 for null

// The system's single-byte ("ANSI") code page is UTF-8 here. Bad sequences
// become U+FFFD; nothing fails.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
std::size_t Utf16Length(const char16_t* text);  // 0 for null

// ---- variants -------------------------------------------------------------

enum VarType : std::uint16_t {
    VT_EMPTY = 0,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_UI2 = 18,
    VT_UI4 = 19,
};

using VARIANT_BOOL = std::int16_t;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;
using DATE = double;  // days since 1899-12-30; the fraction is the time of day

// VariantChangeType flag: booleans as the words "True" and "False".
inline constexpr std::uint16_t VARIANT_LOCALBOOL = 16;

struct IUnknown;
struct IDispatch;

struct VARIANT {
    std::uint16_t vt;
    union {
        VARIANT_BOOL boolVal;
        std::int16_t iVal;
        std::uint16_t uiVal;
        std::int32_t lVal;
        std::uint32_t ulVal;
        float fltVal;
        double dblVal;
        DATE date;
        BSTR bstrVal;
        IDispatch* pdispVal;
        IUnknown* punkVal;
        HRESULT scode;
    };
};

void VariantInit(VARIANT* v);
// Frees what the variant owns (string, reference) and makes it empty.
HRESULT VariantClear(VARIANT* v);
// dest is cleared first; strings are duplicated, references added.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
// Converts src into dest (they may be the same variant). Numbers are checked
// for range (DISP_E_OVERFLOW); text is parsed as a number or, for booleans,
// also as "True"/"False"; objects convert only between the two interface
// types. DISP_E_TYPEMISMATCH for anything else; dest is unchanged on failure.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, std::uint16_t flags, std::uint16_t vt);

// Calendar date and time.
struct SYSTEMTIME {
    std::uint16_t wYear;
    std::uint16_t wMonth;      // 1..12
    std::uint16_t wDayOfWeek;  // 0 = Sunday; ignored on input
    std::uint16_t wDay;
    std::uint16_t wHour;
    std::uint16_t wMinute;
    std::uint16_t wSecond;
    std::uint16_t wMilliseconds;
};

// ---- interfaces -----------------------------------------------------------

struct IUnknown {
    virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

using DISPID = std::int32_t;
inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr DISPID DISPID_NEWENUM = -4;
inline constexpr DISPID DISPID_UNKNOWN = -1;

enum InvokeKind : std::uint16_t {
    DISPATCH_METHOD = 1,
    DISPATCH_PROPERTYGET = 2,
    DISPATCH_PROPERTYPUT = 4,
    DISPATCH_PROPERTYPUTREF = 8,
};

inline constexpr std::uint32_t LOCALE_USER_DEFAULT = 0x400;

struct DISPPARAMS {
    VARIANT* args;  // in reverse order: args[0] is the last argument
    DISPID* namedArgs;
    std::uint32_t argCount;
    std::uint32_t namedArgCount;
};

struct EXCEPINFO {
    std::uint16_t code;  // a short code, or 0 when scode says it
    std::uint16_t reserved;
    BSTR source;
    BSTR description;
    BSTR helpFile;
    std::uint32_t helpContext;
    void* reservedPointer;
    // Fills in the fields above later, when someone looks; may be null.
    HRESULT (*deferredFillIn)(EXCEPINFO* info);
    HRESULT scode;
};

struct IDispatch : IUnknown {
    virtual HRESULT GetIDsOfNames(const char16_t* const* names, std::uint32_t count, std::uint32_t locale,
                                  DISPID* ids) = 0;
    // argError receives the index (in params->args) of the argument blamed.
    virtual HRESULT Invoke(DISPID id, std::uint32_t locale, std::uint16_t kind, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, std::uint32_t* argError) = 0;

protected:
    ~IDispatch() = default;
};

struct IEnumVARIANT : IUnknown {
    // Fills up to `count` variants; S_FALSE when fewer were left.
    virtual HRESULT Next(std::uint32_t count, VARIANT* items, std::uint32_t* fetched) = 0;

protected:
    ~IEnumVARIANT() = default;
};

struct IPersistFile : IUnknown {
    virtual HRESULT Load(const char16_t* fileName, std::uint32_t mode) = 0;

protected:
    ~IPersistFile() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;

protected:
    ~IClassFactory() = default;
};

// Releases and nulls; for the many cleanup paths.
template <typename T>
void SafeRelease(T*& object)
{
    if (object) {
        object->Release();
        object = nullptr;
    }
}

// ---- system message texts --------------------------------------------------

// The system's English text for a code, with its trailing "\r\n", or an
// empty string when it has none.
std::u16string SystemMessageText(HRESULT code);
