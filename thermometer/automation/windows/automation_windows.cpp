// The layer's system calls on Windows: thread-local slots, the local time
// offset, text conversions, the system's message texts, and the calls on
// the system's component objects.
#include "automation_internal.h"

#include <pthread.h>

#include <atomic>
#include <vector>

namespace {

enum SlotState { kNone, kAllocating, kReady };
std::atomic<int> g_slotState{kNone};
DWORD g_depthSlot = TLS_OUT_OF_INDEXES;
// The record's slot frees what a thread leaves in it when the thread ends.
// Fiber-local storage would do that too, but Windows XP has none; the
// runtime's thread keys run their destructors on XP as well.
pthread_key_t g_recordSlot;

// A thread that ends without AutomationShutdown does not leak its record.
void FreeRecordAtThreadExit(void* record)
{
    FreeErrorRecord(static_cast<AutomationErrorRecord*>(record));
}

bool AllocateSlots()
{
    g_depthSlot = TlsAlloc();
    if (g_depthSlot == TLS_OUT_OF_INDEXES)
        return false;
    if (pthread_key_create(&g_recordSlot, FreeRecordAtThreadExit) != 0) {
        TlsFree(g_depthSlot);
        return false;
    }
    return true;
}

const OLECHAR* Ole(const char16_t* text)
{
    return reinterpret_cast<const OLECHAR*>(text);
}

}  // namespace

bool ThreadSlotsReady()
{
    for (;;) {
        int state = g_slotState.load(std::memory_order_acquire);
        if (state == kReady)
            return true;
        if (state == kNone && g_slotState.compare_exchange_strong(state, kAllocating)) {
            const bool ok = AllocateSlots();
            g_slotState.store(ok ? kReady : kNone, std::memory_order_release);
            return ok;
        }
        Sleep(5);  // another thread is allocating them
    }
}

std::intptr_t GetDepthSlot() { return reinterpret_cast<std::intptr_t>(TlsGetValue(g_depthSlot)); }

void SetDepthSlot(std::intptr_t depth) { TlsSetValue(g_depthSlot, reinterpret_cast<void*>(depth)); }

AutomationErrorRecord* GetRecordSlot()
{
    return static_cast<AutomationErrorRecord*>(pthread_getspecific(g_recordSlot));
}

void SetRecordSlot(AutomationErrorRecord* record) { pthread_setspecific(g_recordSlot, record); }

std::int32_t LocalOffsetSeconds(std::int64_t unixSeconds)
{
    constexpr std::int64_t kUnixToFileTimeSeconds = 11644473600;
    if (unixSeconds < -kUnixToFileTimeSeconds)
        return 0;
    ULARGE_INTEGER ticks;
    ticks.QuadPart = static_cast<ULONGLONG>(unixSeconds + kUnixToFileTimeSeconds) * 10000000ULL;
    FILETIME utc{ticks.LowPart, ticks.HighPart};
    SYSTEMTIME utcTime, localTime;
    FILETIME local;
    if (!FileTimeToSystemTime(&utc, &utcTime) || !SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &localTime) ||
        !SystemTimeToFileTime(&localTime, &local))
        return 0;
    ULARGE_INTEGER localTicks{{local.dwLowDateTime, local.dwHighDateTime}};
    return static_cast<std::int32_t>((static_cast<std::int64_t>(localTicks.QuadPart) -
                                      static_cast<std::int64_t>(ticks.QuadPart)) / 10000000);
}

std::u16string Utf8ToUtf16(std::string_view text)
{
    int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string wide(static_cast<std::size_t>(units), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<LPWSTR>(wide.data()),
                        units);
    return wide;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    auto wide = reinterpret_cast<LPCWCH>(text.data());
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(text.size()), utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

std::size_t Utf16Length(const char16_t* text)
{
    return text ? std::char_traits<char16_t>::length(text) : 0;
}

std::u16string SystemMessageText(HRESULT code)
{
    char text[1024];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                  static_cast<DWORD>(code), LANG_USER_DEFAULT, text, sizeof text, nullptr);
    if (length == 0)
        return {};
    int units = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
    std::u16string wide(static_cast<std::size_t>(units), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), reinterpret_cast<LPWSTR>(wide.data()), units);
    return wide;
}

BSTR AllocString(std::u16string_view text)
{
    return SysAllocStringLen(Ole(text.data()), static_cast<UINT>(text.size()));
}

HRESULT LookUpMember(IDispatch* object, const char16_t* name, DISPID* id)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(Ole(name))};
    return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
}

HRESULT InvokeMember(IDispatch* object, DISPID id, std::uint16_t kind, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* exception, std::uint32_t* argError)
{
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, params, result, exception, argError);
}

void TakeExceptionInfo(EXCEPINFO* e, AutomationErrorRecord* record)
{
    if (e->pfnDeferredFillIn)
        e->pfnDeferredFillIn(e);
    record->exceptionCode = e->wCode ? e->wCode : e->scode;
    record->description = e->bstrDescription ? SysAllocString(e->bstrDescription) : nullptr;
    record->source = e->bstrSource ? SysAllocString(e->bstrSource) : nullptr;
    record->helpFile = e->bstrHelpFile ? SysAllocString(e->bstrHelpFile) : nullptr;
    record->helpContext = e->dwHelpContext;
}

void FreeExceptionInfo(EXCEPINFO* e)
{
    SysFreeString(e->bstrSource);
    SysFreeString(e->bstrDescription);
    SysFreeString(e->bstrHelpFile);
    *e = EXCEPINFO{};
}

HRESULT ClassFromText(const char16_t* id, CLSID* clsid)
{
    return id[0] == u'{' ? CLSIDFromString(Ole(id), clsid) : CLSIDFromProgID(Ole(id), clsid);
}

COSERVERINFO ServerOn(const char16_t* machine)
{
    COSERVERINFO server{};
    server.pwszName = const_cast<LPWSTR>(Ole(machine));
    return server;
}

HRESULT GetClassFactory(const CLSID& clsid, std::uint32_t context, const void* serverInfo, IClassFactory** factory)
{
    auto* server = const_cast<COSERVERINFO*>(static_cast<const COSERVERINFO*>(serverInfo));
    return CoGetClassObject(clsid, context, server, IID_IClassFactory, reinterpret_cast<void**>(factory));
}

HRESULT GetRunningObject(const CLSID& clsid, IUnknown** object)
{
    return GetActiveObject(clsid, nullptr, object);
}

HRESULT BindDisplayName(const char16_t* name, const IID& iid, void** object)
{
    return CoGetObject(Ole(name), nullptr, iid, object);
}

HRESULT LoadFileInto(IPersistFile* file, const char16_t* fileName)
{
    return file->Load(Ole(fileName), 0);
}
