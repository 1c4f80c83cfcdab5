// The automation call layer: one call per access to a member of a dispatch
// object, named in a text with printf-like argument letters:
//
//     CallMethod(agent, u"Characters.Load(%T)", "Genie");
//     GetValue(u"%o", &character, agent, u"Characters(%T)", "Genie");
//     PutValue(agent, u"Connected = %b", 1);
//
// A dotted path walks to sub-objects (each segment read as an object); the
// last segment is invoked. Each "%" with a letter takes the next argument:
//
//   b  int, passed as boolean (non-zero -> true, all bits set)
//   i  int (16-bit value)          I  unsigned (16-bit value)
//   d  int32_t                     u  uint32_t
//   p  intptr_t; must fit in 32 bits (DISP_E_OVERFLOW otherwise)
//   r  const float*                e  const double*
//   D  const DATE*                 W  const SYSTEMTIME*
//   f  const std::uint64_t* file time (100 ns units since 1601-01-01)
//   t  int32_t seconds since 1970-01-01 UTC, passed as a local-time date
//   s  const char* UTF-8           S  const char16_t*
//   T  s or S by the string mode   B  BSTR, passed unchanged
//   o  IDispatch*                  O  IUnknown*
//   v  const VARIANT*              m  (no argument) an omitted optional
//
// At most 12 letters per segment; the member text is shorter than 512
// UTF-16 units. Every operation returns an HRESULT; failures are recorded in
// a per-thread error record and reported once, by the outermost operation
// (message box, callback), unless silent.
//
// Threads: settings are program-wide and set before use; nesting depth and
// error record are per thread. Each thread calls AutomationInit first and
// AutomationShutdown when done.
#pragma once

#include "object_model.h"

#include <cstdarg>
#include <cstdint>

struct AutomationErrorRecord {
    const char16_t* function;  // outermost operation that failed
    const char16_t* errorIn;   // innermost operation that failed first
    HRESULT result;
    char16_t memberName[64];   // name looked up, when the invoke failed
    char16_t memberText[256];  // member text of the outermost operation
    std::int32_t exceptionCode;
    BSTR description;
    BSTR source;
    BSTR helpFile;
    std::uint32_t helpContext;
    std::uint32_t argumentIndex;
    std::int32_t fromInvoke;
    std::int32_t complete;
};

using AutomationErrorCallback = void (*)(const AutomationErrorRecord* record);

struct AutomationSettings {
    void* ownerWindow;         // QWidget* parent of the box, or null
    const char16_t* caption;   // null: "Ошибка"; the caller keeps it alive
    std::int32_t showMessages;
    std::int32_t silent;
    AutomationErrorCallback errorCallback;
};

// ---- set-up ----------------------------------------------------------------

// utf16Strings chooses what %T means (1: const char16_t*, 0: const char*).
HRESULT AutomationInit(std::int32_t initialise, std::int32_t utf16Strings);
HRESULT AutomationShutdown(std::int32_t release);
HRESULT SetErrorDisplay(std::int32_t show);
HRESULT GetAutomationSettings(AutomationSettings* settings);
HRESULT SetAutomationSettings(const AutomationSettings* settings);

// ---- objects ---------------------------------------------------------------

// id: a ProgID, or a CLSID in braces. machine: null for this machine.
HRESULT CreateObject(const char16_t* id, const char16_t* machine, IDispatch** object);
HRESULT CreateObjectEx(const char16_t* id, const IID& iid, std::uint32_t context, const void* serverInfo,
                       void** object);
HRESULT GetObject(const char16_t* fileName, const char16_t* progId, IDispatch** object);
HRESULT GetObjectEx(const char16_t* fileName, const char16_t* id, const IID& iid, std::uint32_t context,
                    void* reserved, void** object);

// ---- calls -----------------------------------------------------------------

HRESULT CallMethod(IDispatch* object, const char16_t* member, ...);
HRESULT PutValue(IDispatch* object, const char16_t* member, ...);
HRESULT PutRef(IDispatch* object, const char16_t* member, ...);
// format: one result letter, a leading "%" allowed. `out` points to:
//   o IDispatch*   O IUnknown*   (a null object fails with E_NOINTERFACE)
//   b int32_t (-1 or 0)   i int16_t   I uint16_t   d int32_t   p intptr_t
//   u uint32_t   r float   e double   D DATE   W SYSTEMTIME
//   f uint64_t file time   t int32_t seconds since 1970-01-01 UTC
//   B, S BSTR (the caller frees it)
//   s char*: UTF-8 in a BSTR allocation (free with SysFreeString)
//   T S or s by the string mode   v VARIANT (the whole result)
// The out value is written only on success.
HRESULT GetValue(const char16_t* format, void* out, IDispatch* object, const char16_t* member, ...);
// wantedType 0 keeps the result as it comes. result may be null for kinds
// 1, 4 and 8; it is initialised first, then owned by the caller.
HRESULT Invoke(std::uint16_t kind, std::uint16_t wantedType, VARIANT* result, IDispatch* object,
               const char16_t* member, ...);

HRESULT CallMethodV(IDispatch* object, const char16_t* member, va_list args);
HRESULT PutValueV(IDispatch* object, const char16_t* member, va_list args);
HRESULT PutRefV(IDispatch* object, const char16_t* member, va_list args);
HRESULT GetValueV(const char16_t* format, void* out, IDispatch* object, const char16_t* member, va_list args);
HRESULT InvokeV(std::uint16_t kind, std::uint16_t wantedType, VARIANT* result, IDispatch* object,
                const char16_t* member, va_list args);

// One lookup of `name` and one invoke; args holds `count` variants, last
// argument first, as the dispatch interface takes them.
HRESULT InvokeArray(std::uint16_t kind, VARIANT* result, std::uint32_t count, IDispatch* object,
                    const char16_t* name, VARIANT* args);

// Collections: EnumBegin asks the collection for its enumerator; the Next
// forms give S_FALSE (and a null object / empty variant) after the last item.
HRESULT EnumBegin(IEnumVARIANT** enumerator, IDispatch* collection);
HRESULT EnumNextObject(IEnumVARIANT* enumerator, IDispatch** object);
HRESULT EnumNextVariant(IEnumVARIANT* enumerator, VARIANT* item);

// ---- error report ----------------------------------------------------------

// The calling thread's record, or null when it has none.
const AutomationErrorRecord* GetAutomationErrorRecord();
// The report in the caller's layout ("Member:   ..."), cut to the buffer;
// the last character written is always the terminator. The single-byte
// form is UTF-8 and never cut inside a character; it writes at most 1024
// bytes. Both give the number of units written without the terminator.
std::uint32_t GetAutomationErrorText(char16_t* buffer, std::uint32_t size);
std::uint32_t GetAutomationErrorTextA(char* buffer, std::uint32_t size);

// Shows the error box. The default one shows it on the GUI thread and waits
// for OK, from whichever thread; tests put their own in. Null restores the
// default.
using AutomationBoxFunction = void (*)(void* owner, const char16_t* caption, const char16_t* text);
void SetAutomationBoxFunction(AutomationBoxFunction box);
