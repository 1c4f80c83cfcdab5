// The layer's system calls on POSIX: thread-local slots, the local time
// offset, and the calls on the in-process component system.
#include "automation_internal.h"

#include <pthread.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

enum SlotState { kNone, kAllocating, kReady };
std::atomic<int> g_slotState{kNone};
pthread_key_t g_depthKey;
pthread_key_t g_recordKey;

// A thread that ends without AutomationShutdown does not leak its record.
void FreeRecordAtThreadExit(void* record) { FreeErrorRecord(static_cast<AutomationErrorRecord*>(record)); }

bool AllocateSlots()
{
    if (pthread_key_create(&g_depthKey, nullptr) != 0)
        return false;
    if (pthread_key_create(&g_recordKey, FreeRecordAtThreadExit) != 0) {
        pthread_key_delete(g_depthKey);
        return false;
    }
    return true;
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
        // Another thread is allocating them.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::intptr_t GetDepthSlot() { return reinterpret_cast<std::intptr_t>(pthread_getspecific(g_depthKey)); }

void SetDepthSlot(std::intptr_t depth) { pthread_setspecific(g_depthKey, reinterpret_cast<void*>(depth)); }

AutomationErrorRecord* GetRecordSlot()
{
    return static_cast<AutomationErrorRecord*>(pthread_getspecific(g_recordKey));
}

void SetRecordSlot(AutomationErrorRecord* record) { pthread_setspecific(g_recordKey, record); }

std::int32_t LocalOffsetSeconds(std::int64_t unixSeconds)
{
    const time_t t = static_cast<time_t>(unixSeconds);
    struct tm local {};
    if (!localtime_r(&t, &local))
        return 0;
    return static_cast<std::int32_t>(local.tm_gmtoff);
}

BSTR AllocString(std::u16string_view text)
{
    return SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
}

HRESULT LookUpMember(IDispatch* object, const char16_t* name, DISPID* id)
{
    return object->GetIDsOfNames(&name, 1, LOCALE_USER_DEFAULT, id);
}

HRESULT InvokeMember(IDispatch* object, DISPID id, std::uint16_t kind, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* exception, std::uint32_t* argError)
{
    return object->Invoke(id, LOCALE_USER_DEFAULT, kind, params, result, exception, argError);
}

void TakeExceptionInfo(EXCEPINFO* e, AutomationErrorRecord* record)
{
    if (e->deferredFillIn)
        e->deferredFillIn(e);
    record->exceptionCode = e->code ? e->code : e->scode;
    record->description = e->description ? SysAllocString(e->description) : nullptr;
    record->source = e->source ? SysAllocString(e->source) : nullptr;
    record->helpFile = e->helpFile ? SysAllocString(e->helpFile) : nullptr;
    record->helpContext = e->helpContext;
}

void FreeExceptionInfo(EXCEPINFO* e)
{
    SysFreeString(e->source);
    SysFreeString(e->description);
    SysFreeString(e->helpFile);
    *e = EXCEPINFO{};
}

HRESULT ClassFromText(const char16_t* id, CLSID* clsid)
{
    return id[0] == u'{' ? CLSIDFromString(id, clsid) : CLSIDFromProgID(id, clsid);
}

COSERVERINFO ServerOn(const char16_t* machine)
{
    return COSERVERINFO{machine};
}

HRESULT GetClassFactory(const CLSID& clsid, std::uint32_t context, const void* serverInfo, IClassFactory** factory)
{
    return CoGetClassObject(clsid, context, static_cast<const COSERVERINFO*>(serverInfo), IID_IClassFactory,
                            reinterpret_cast<void**>(factory));
}

HRESULT GetRunningObject(const CLSID& clsid, IUnknown** object)
{
    return GetActiveObject(clsid, object);
}

HRESULT BindDisplayName(const char16_t* name, const IID& iid, void** object)
{
    return CoGetObject(name, iid, object);
}

HRESULT LoadFileInto(IPersistFile* file, const char16_t* fileName)
{
    return file->Load(fileName, 0);
}
