// What the layer's files share: where arguments come from, the argument
// array, the operation scope that keeps the per-thread record, and dates.
#pragma once

#include "automation.h"

#include <cstdarg>
#include <string>

inline constexpr std::uint32_t kMaxArguments = 12;
inline constexpr std::uint32_t kMemberTextUnits = 512;  // terminator included
inline constexpr std::uint32_t kMemberNameUnits = 64;

// The values behind the argument letters, taken one by one. The layer's own
// source reads a va_list; the fuzz target feeds bytes.
class ArgumentSource {
public:
    virtual std::int32_t Int() = 0;
    virtual std::uint32_t UInt() = 0;
    virtual std::intptr_t PointerSized() = 0;
    // letter tells what the pointer is to (a string, an object, a value).
    virtual const void* Pointer(char16_t letter) = 0;

protected:
    ~ArgumentSource() = default;
};

class VaListSource final : public ArgumentSource {
public:
    explicit VaListSource(va_list args) { va_copy(args_, args); }
    ~VaListSource() { va_end(args_); }
    VaListSource(const VaListSource&) = delete;
    VaListSource& operator=(const VaListSource&) = delete;

    std::int32_t Int() override { return va_arg(args_, int); }
    std::uint32_t UInt() override { return va_arg(args_, unsigned); }
    std::intptr_t PointerSized() override { return va_arg(args_, std::intptr_t); }
    const void* Pointer(char16_t) override { return va_arg(args_, const void*); }

private:
    va_list args_;
};

// Arguments of one invoke, filled from the last slot backwards.
struct ArgumentArray {
    VARIANT slots[kMaxArguments];
    bool owned[kMaxArguments];  // the layer made the string and frees it
    std::uint32_t count;

    VARIANT* First() { return slots + kMaxArguments - count; }
    void Free();
};

// Splits a segment into its member name and arguments.
HRESULT CreateArgumentArray(const char16_t* segment, std::u16string* name, ArgumentArray* args,
                            ArgumentSource& source);

// Walks the dotted path; on success *object holds a reference the caller
// releases and *lastSegment points at the last segment within `text`.
HRESULT TraverseSubObjects(IDispatch** object, char16_t* text, const char16_t** lastSegment,
                           ArgumentSource& source);

HRESULT InvokeWithSource(std::uint16_t kind, std::uint16_t wantedType, VARIANT* result, IDispatch* object,
                         const char16_t* member, ArgumentSource& source);
HRESULT GetValueWithSource(const char16_t* format, void* out, IDispatch* object, const char16_t* member,
                           ArgumentSource& source);

// Result formats: the wanted variant type of a format letter, and storing a
// result into the caller's out value (the variant is consumed).
HRESULT ResultFormatType(const char16_t* format, char16_t* letter, std::uint16_t* wantedType);
HRESULT StoreResult(char16_t letter, VARIANT* result, void* out);

// The current meaning of %T.
bool Utf16StringMode();

// Details of a failure, known only where it happened.
struct FailureDetail {
    const char16_t* memberName = nullptr;
    std::uint32_t argumentIndex = 0;
    bool fromInvoke = false;
    EXCEPINFO* exception = nullptr;
};

// Entered by every operation of the layer; Exit records a failure and, at
// the outermost exit, completes and reports it.
class OperationScope {
public:
    explicit OperationScope(const char16_t* operation);
    ~OperationScope();
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

    HRESULT Exit(HRESULT hr, const char16_t* memberText, const FailureDetail& detail = {});

private:
    const char16_t* operation_;
    bool entered_;
    bool exited_ = false;
};

// Dates (days since 1899-12-30).
// The converters from dates fail (false) outside years 100 to 9999 or the
// target's range; SystemTimeToDate also for fields out of range.
bool SystemTimeToDate(const SYSTEMTIME& time, DATE* date);
bool DateToSystemTime(DATE date, SYSTEMTIME* time);
DATE FileTimeToDate(std::uint64_t fileTime);
bool DateToFileTime(DATE date, std::uint64_t* fileTime);
DATE UnixTimeToLocalDate(std::int32_t seconds);
bool LocalDateToUnixTime(DATE date, std::int32_t* seconds);
// Seconds east of UTC in local time at that moment.
std::int32_t LocalOffsetSeconds(std::int64_t unixSeconds);

// ---- Where the platform's component system and the stand-in differ in form
// (automation_posix.cpp, automation_windows.cpp). The layer's text is
// char16_t; OLECHAR has the same UTF-16 units on both.

BSTR AllocString(std::u16string_view text);  // null when memory runs out
inline const char16_t* TextOf(const OLECHAR* text) { return reinterpret_cast<const char16_t*>(text); }

// One name to its dispatch identifier (user's default locale), and the
// invoke with that identifier.
HRESULT LookUpMember(IDispatch* object, const char16_t* name, DISPID* id);
HRESULT InvokeMember(IDispatch* object, DISPID id, std::uint16_t kind, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* exception, std::uint32_t* argError);
// Runs the deferred fill-in, if any, and copies the exception's code and
// texts into the record; frees the exception's strings.
void TakeExceptionInfo(EXCEPINFO* exception, AutomationErrorRecord* record);
void FreeExceptionInfo(EXCEPINFO* exception);

// Object creation: a class identifier from "{...}" or a ProgID, the class
// factory (serverInfo as made by ServerOn, or null), running objects by class
// and by display name, and loading a file into a persist-file interface.
HRESULT ClassFromText(const char16_t* id, CLSID* clsid);
COSERVERINFO ServerOn(const char16_t* machine);
HRESULT GetClassFactory(const CLSID& clsid, std::uint32_t context, const void* serverInfo, IClassFactory** factory);
HRESULT GetRunningObject(const CLSID& clsid, IUnknown** object);
HRESULT BindDisplayName(const char16_t* name, const IID& iid, void** object);
HRESULT LoadFileInto(IPersistFile* file, const char16_t* fileName);

// Per-thread slots (nesting depth and record), allocated once per process.
bool ThreadSlotsReady();
std::intptr_t GetDepthSlot();
void SetDepthSlot(std::intptr_t depth);
AutomationErrorRecord* GetRecordSlot();
void SetRecordSlot(AutomationErrorRecord* record);
void FreeErrorRecord(AutomationErrorRecord* record);

// The box function in use (the default one lives with the window system).
void ShowAutomationBox(void* owner, const char16_t* caption, const char16_t* text);
void ShowAutomationBoxOnGuiThread(void* owner, const char16_t* caption, const char16_t* text);
