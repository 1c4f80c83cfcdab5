// The layer's system calls on POSIX: thread-local slots and the local time
// offset.
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
