// Settings, the per-thread error record and the error report.
#include "automation_internal.h"

#include <algorithm>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {

std::mutex g_settingsLock;
AutomationSettings g_settings{};
std::atomic<bool> g_utf16Strings{false};
std::atomic<AutomationBoxFunction> g_box{nullptr};

constexpr std::uint32_t kBoxUnits = 512;
constexpr std::uint32_t kTextBytesMax = 1024;

AutomationSettings Settings()
{
    std::lock_guard lock(g_settingsLock);
    return g_settings;
}

void CopyCut(char16_t* target, std::uint32_t units, const char16_t* text)
{
    std::uint32_t n = 0;
    for (; text && text[n] && n + 1 < units; ++n)
        target[n] = text[n];
    target[n] = u'\0';
}

void ClearRecord(AutomationErrorRecord* record)
{
    SysFreeString(record->description);
    SysFreeString(record->source);
    SysFreeString(record->helpFile);
    *record = AutomationErrorRecord{};
}

AutomationErrorRecord* RecordForFailure()
{
    AutomationErrorRecord* record = GetRecordSlot();
    if (!record) {
        record = static_cast<AutomationErrorRecord*>(std::calloc(1, sizeof(AutomationErrorRecord)));
        SetRecordSlot(record);
    }
    return record;
}

void StoreFirstFailure(HRESULT hr, const char16_t* operation, const FailureDetail& detail)
{
    AutomationErrorRecord* record = RecordForFailure();
    if (!record)
        return;  // out of memory: the result code still tells the caller
    if (record->complete)
        ClearRecord(record);
    if (FAILED(record->result))
        return;  // an inner operation got here first
    record->result = hr;
    record->errorIn = operation;
    record->argumentIndex = detail.argumentIndex;
    record->fromInvoke = detail.fromInvoke;
    if (detail.memberName)
        CopyCut(record->memberName, kMemberNameUnits, detail.memberName);
    if (hr == DISP_E_EXCEPTION && detail.exception)
        TakeExceptionInfo(detail.exception, record);
}

std::u16string Replace(std::u16string text, std::u16string_view mark, std::u16string_view value)
{
    const std::size_t at = text.find(mark);
    if (at != std::u16string::npos)
        text.replace(at, mark.size(), value);
    return text;
}

std::u16string MadeDescription(const AutomationErrorRecord& r)
{
    std::u16string text;
    if (r.result == E_NOINTERFACE)
        text = u"Object required";
    else if (r.result == DISP_E_MEMBERNOTFOUND || r.result == DISP_E_UNKNOWNNAME)
        text = Replace(u"Object doesn't support this property or method: '%s'", u"%s", r.memberName);
    else if (r.result == DISP_E_TYPEMISMATCH && r.memberName[0])
        text = Replace(Replace(u"Type mismatch: '%s'. Argument Index: %d", u"%s", r.memberName), u"%d",
                       Utf8ToUtf16(std::to_string(r.argumentIndex)));
    else
        text = SystemMessageText(r.result);
    if (text.empty())
        text = u"Unknown runtime error";
    return text;
}

BSTR WithoutLineEnd(const char16_t* text)
{
    std::u16string s = text ? text : u"";
    while (!s.empty() && (s.back() == u'\n' || s.back() == u'\r'))
        s.pop_back();
    return AllocString(s);
}

void Complete(AutomationErrorRecord* record, const char16_t* operation, const char16_t* memberText)
{
    record->complete = 1;
    record->function = operation;
    CopyCut(record->memberText, 256, memberText);
    const std::u16string made = record->description ? std::u16string() : MadeDescription(*record);
    BSTR description = WithoutLineEnd(record->description ? TextOf(record->description) : made.c_str());
    SysFreeString(record->description);
    record->description = description;
    if (!record->source)
        record->source = AllocString(record->fromInvoke ? u"IDispatch Interface" : u"Application");
}

std::u16string Hex(std::uint32_t value)
{
    char digits[9];
    std::snprintf(digits, sizeof digits, "%x", value);
    return Utf8ToUtf16(digits);
}

std::u16string ReportText(const AutomationErrorRecord* r, bool boxLayout)
{
    if (!r || !FAILED(r->result))
        return u"No error information available.";
    static constexpr const char16_t* kBox[] = {u"Member:\t  ", u"\r\nFunction:\t  ", u"\t\t\r\nError In:\t  ",
                                               u"\r\nError:\t  ", u"\r\nCode:\t  ", u"\r\nSource:\t  "};
    static constexpr const char16_t* kText[] = {u"Member:   ", u"\r\nFunction: ", u"\r\nError In: ",
                                                u"\r\nError:    ", u"\r\nCode:     ", u"\r\nSource:   "};
    const char16_t* const* label = boxLayout ? kBox : kText;
    const std::uint32_t code =
        static_cast<std::uint32_t>(r->result == DISP_E_EXCEPTION ? r->exceptionCode : r->result);
    auto orEmpty = [](const char16_t* s) { return std::u16string(s ? s : u""); };
    return label[0] + orEmpty(r->memberText) + label[1] + orEmpty(r->function) + label[2] +
           orEmpty(r->errorIn) + label[3] + orEmpty(TextOf(r->description)) + label[4] + Hex(code) + label[5] +
           orEmpty(TextOf(r->source));
}

// Set while this thread shows a report or runs the error callback.
thread_local bool t_reporting = false;

// A callback that calls the layer may fail again. That failure is recorded
// in a record of its own, which the callback can read, and is not reported:
// otherwise each report would start the next, and clearing the record for
// it would free the strings of the one still being reported.
void Report(AutomationErrorRecord* record, const AutomationSettings& settings)
{
    t_reporting = true;
    SetRecordSlot(nullptr);
    if (settings.showMessages) {
        const std::u16string text = ReportText(record, true).substr(0, kBoxUnits - 1);
        ShowAutomationBox(settings.ownerWindow, settings.caption ? settings.caption : u"Ошибка", text.c_str());
    }
    if (settings.errorCallback)
        settings.errorCallback(record);
    FreeErrorRecord(GetRecordSlot());
    SetRecordSlot(record);
    t_reporting = false;
}

}  // namespace

bool Utf16StringMode() { return g_utf16Strings.load(); }

void FreeErrorRecord(AutomationErrorRecord* record)
{
    if (!record)
        return;
    ClearRecord(record);
    std::free(record);
}

OperationScope::OperationScope(const char16_t* operation) : operation_(operation), entered_(ThreadSlotsReady())
{
    if (entered_)
        SetDepthSlot(GetDepthSlot() + 1);
}

OperationScope::~OperationScope()
{
    if (entered_ && !exited_)
        SetDepthSlot(GetDepthSlot() - 1);
}

HRESULT OperationScope::Exit(HRESULT hr, const char16_t* memberText, const FailureDetail& detail)
{
    if (!entered_ || exited_)
        return hr;
    exited_ = true;
    const std::intptr_t depth = GetDepthSlot() - 1;
    SetDepthSlot(depth);
    const AutomationSettings settings = Settings();
    if (settings.silent)
        return hr;
    if (FAILED(hr))
        StoreFirstFailure(hr, operation_, detail);
    AutomationErrorRecord* record = GetRecordSlot();
    if (depth != 0 || !record || record->complete || !FAILED(record->result))
        return hr;
    if (SUCCEEDED(hr)) {
        ClearRecord(record);  // an inner failure that the outer operation got over
        return hr;
    }
    Complete(record, operation_, memberText);
    if (!t_reporting)
        Report(record, settings);
    return hr;
}

HRESULT AutomationInit(std::int32_t initialise, std::int32_t utf16Strings)
{
    g_utf16Strings = utf16Strings != 0;
    if (!ThreadSlotsReady())
        return E_OUTOFMEMORY;
    return initialise ? CoInitialize(nullptr) : S_OK;
}

HRESULT AutomationShutdown(std::int32_t release)
{
    if (ThreadSlotsReady()) {
        FreeErrorRecord(GetRecordSlot());
        SetRecordSlot(nullptr);
    }
    if (release)
        CoUninitialize();
    return S_OK;
}

HRESULT SetErrorDisplay(std::int32_t show)
{
    std::lock_guard lock(g_settingsLock);
    g_settings.showMessages = show;
    if (show)
        g_settings.silent = 0;
    return S_OK;
}

HRESULT GetAutomationSettings(AutomationSettings* settings)
{
    if (!settings)
        return E_INVALIDARG;
    *settings = Settings();
    return S_OK;
}

HRESULT SetAutomationSettings(const AutomationSettings* settings)
{
    if (!settings)
        return E_INVALIDARG;
    std::lock_guard lock(g_settingsLock);
    g_settings = *settings;
    return S_OK;
}

const AutomationErrorRecord* GetAutomationErrorRecord()
{
    return ThreadSlotsReady() ? GetRecordSlot() : nullptr;
}

std::uint32_t GetAutomationErrorText(char16_t* buffer, std::uint32_t size)
{
    if (!buffer || size == 0)
        return 0;
    const std::u16string text = ReportText(GetAutomationErrorRecord(), false);
    CopyCut(buffer, size, text.c_str());
    return static_cast<std::uint32_t>(Utf16Length(buffer));
}

std::uint32_t GetAutomationErrorTextA(char* buffer, std::uint32_t size)
{
    if (!buffer || size == 0)
        return 0;
    size = std::min(size, kTextBytesMax);
    const std::string text = Utf16ToUtf8(ReportText(GetAutomationErrorRecord(), false));
    std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;  // do not cut a character in two
    text.copy(buffer, n);
    buffer[n] = '\0';
    return static_cast<std::uint32_t>(n);
}

void SetAutomationBoxFunction(AutomationBoxFunction box) { g_box = box; }

void ShowAutomationBox(void* owner, const char16_t* caption, const char16_t* text)
{
    if (AutomationBoxFunction box = g_box.load())
        box(owner, caption, text);
    else
        ShowAutomationBoxOnGuiThread(owner, caption, text);
}
