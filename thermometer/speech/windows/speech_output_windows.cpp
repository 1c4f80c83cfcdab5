// Windows: the Speech API 5 automation voice and the Speech API 4
// text-to-speech control, created by their class identifiers and called by
// the positions of their methods in the published interfaces (0 to 6 are
// the unknown and dispatch operations), with their events received through
// connection points. One voice table: the kind-5 voices, then the kind-4
// engines.
#include "speech_output.h"
#include "voice_table.h"

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <ocidl.h>

#include <string>
#include <vector>

namespace {

constexpr CLSID kModernClass{0x96749377, 0x3391, 0x11D2, {0x9E, 0xE3, 0x00, 0xC0, 0x4F, 0x79, 0x73, 0x96}};
constexpr IID kModernInterface{0x269316D8, 0x57BD, 0x11D2, {0x9E, 0xEE, 0x00, 0xC0, 0x4F, 0x79, 0x73, 0x96}};
constexpr IID kModernEvents{0xA372ACD1, 0x3BEF, 0x4BBD, {0x8F, 0xFB, 0xCB, 0x3E, 0x2B, 0x41, 0x6A, 0xF8}};
constexpr CLSID kLegacyClass{0xEEE78591, 0xFE22, 0x11D0, {0x8B, 0xEF, 0x00, 0x60, 0x08, 0x18, 0x41, 0xDE}};
constexpr IID kLegacyInterface{0xEEE78590, 0xFE22, 0x11D0, {0x8B, 0xEF, 0x00, 0x60, 0x08, 0x18, 0x41, 0xDE}};
constexpr IID kLegacyEvents{0xEEE78597, 0xFE22, 0x11D0, {0x8B, 0xEF, 0x00, 0x60, 0x08, 0x18, 0x41, 0xDE}};
constexpr IID kConnectionPointContainer{
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

// Positions in the automation voice's interfaces.
enum ModernPosition : int {
    kVoicePutRef = 9,
    kVolumePut = 17,
    kEventInterestsPut = 21,
    kAlertBoundaryPut = 24,
    kSpeak = 28,
    kGetVoices = 33,
    kTokensCount = 7,
    kTokensItem = 8,
    kTokenGetAttribute = 12,
};
constexpr long kEventInterests = 0x26;  // start and end of stream, word boundary
constexpr long kAlertBoundaryPhoneme = 0x40;
constexpr long kSpeakFlags = 0x23;      // asynchronous, purge what is spoken, keep mark-up state

// Positions in the text-to-speech control's interface.
enum LegacyPosition : int {
    kLegacySetUp = 10,
    kLegacyVolumeSecond = 25,
    kLegacyLowestVolume = 26,
    kLegacyHighestVolume = 28,
    kLegacySelectEngine = 30,
    kLegacyEngineCount = 32,
    kLegacyFirstName = 33,
    kLegacySecondName = 37,
    kLegacyStop = 52,
    kLegacySpeak = 59,
    kLegacyVolumeFirst = 108,
};

// Calls the method at a position of an object's interface table.
template <typename... Args>
HRESULT CallAt(IUnknown* object, int position, Args... args)
{
    using Method = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, Args...);
    void** table = *reinterpret_cast<void***>(object);
    return reinterpret_cast<Method>(table[position])(object, args...);
}

struct SpeechState {
    IUnknown* modernVoice = nullptr;
    IUnknown* modernVoiceTokens = nullptr;
    IUnknown* legacyEngine = nullptr;
    std::vector<VoiceEntry> voiceTable;
    std::int32_t currentVoice = 0;
    SpeechEventCallback onStart = nullptr;
    SpeechEventCallback onEnd = nullptr;
    SpeechWordCallback onWord = nullptr;
    bool started = false;
    std::int32_t engines = 0;
};

SpeechState g_speech;

std::wstring Widen(const char* utf8)
{
    int units = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(units > 0 ? units - 1 : 0), L'\0');
    if (units > 1)
        MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), units);
    return wide;
}

std::string Narrow(BSTR text)
{
    if (!text)
        return {};
    int length = static_cast<int>(SysStringLen(text));
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

// The static event receivers, one per engine kind: a dispatch interface
// whose invoke turns the engine's events into the callbacks.
class EventReceiver final : public IDispatch {
public:
    explicit EventReceiver(int kind) : kind_(kind) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (IsEqualIID(iid, kModernEvents) || IsEqualIID(iid, kLegacyEvents)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&count_)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&count_)); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID event, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        const bool modern = kind_ == kModernKind;
        if (event == (modern ? 1 : 3) && g_speech.onStart)
            g_speech.onStart();
        else if (event == (modern ? 2 : 4) && g_speech.onEnd)
            g_speech.onEnd();
        else if (event == (modern ? 5 : 7) && g_speech.onWord)
            g_speech.onWord(modern ? ThirdParameter(params) : ThirdParameter(params) / 2);
        return S_OK;
    }

private:
    // The event's parameter at position 2 in declaration order; the array
    // holds the parameters last first.
    static std::int32_t ThirdParameter(DISPPARAMS* params)
    {
        if (!params || params->cArgs < 3)
            return 0;
        VARIANT value;
        VariantInit(&value);
        if (FAILED(VariantChangeType(&value, &params->rgvarg[params->cArgs - 3], 0, VT_I4)))
            return 0;
        return value.lVal;
    }

    int kind_;
    LONG count_ = 1;
};

EventReceiver g_modernReceiver(kModernKind);
EventReceiver g_legacyReceiver(kLegacyKind);

// Any failure leaves the engine without events; nobody is told.
void ConnectEvents(IUnknown* engine, const IID& events, IDispatch* receiver)
{
    IConnectionPointContainer* container = nullptr;
    if (FAILED(engine->QueryInterface(kConnectionPointContainer, reinterpret_cast<void**>(&container))))
        return;
    IConnectionPoint* point = nullptr;
    HRESULT hr = container->FindConnectionPoint(events, &point);
    container->Release();
    if (FAILED(hr))
        return;
    DWORD cookie = 0;
    point->Advise(receiver, &cookie);
    point->Release();  // the registration lasts as long as the engine
}

IUnknown* Create(const CLSID& clsid, const IID& iid)
{
    IUnknown* engine = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, iid, reinterpret_cast<void**>(&engine))))
        return nullptr;
    return engine;
}

std::int32_t StartModernVoice()
{
    g_speech.modernVoice = Create(kModernClass, kModernInterface);
    if (!g_speech.modernVoice)
        return 0;
    ConnectEvents(g_speech.modernVoice, kModernEvents, &g_modernReceiver);
    CallAt(g_speech.modernVoice, kEventInterestsPut, kEventInterests);
    CallAt(g_speech.modernVoice, kAlertBoundaryPut, kAlertBoundaryPhoneme);
    BSTR none = nullptr;
    CallAt(g_speech.modernVoice, kGetVoices, none, none, &g_speech.modernVoiceTokens);
    return 1;
}

std::int32_t ModernVoiceCount()
{
    long count = 0;
    if (g_speech.modernVoiceTokens && FAILED(CallAt(g_speech.modernVoiceTokens, kTokensCount, &count)))
        count = 0;
    return static_cast<std::int32_t>(count);
}

std::int32_t StartLegacyEngine()
{
    g_speech.legacyEngine = Create(kLegacyClass, kLegacyInterface);
    if (!g_speech.legacyEngine)
        return 0;
    ConnectEvents(g_speech.legacyEngine, kLegacyEvents, &g_legacyReceiver);
    CallAt(g_speech.legacyEngine, kLegacySetUp, 1L);
    return 2;
}

std::int32_t LegacyEngineCount()
{
    long count = 0;
    if (g_speech.legacyEngine && FAILED(CallAt(g_speech.legacyEngine, kLegacyEngineCount, &count)))
        count = 0;
    return static_cast<std::int32_t>(count);
}

// The i-th voice token of the automation voice, or null.
IUnknown* ModernToken(std::int32_t index)
{
    IUnknown* token = nullptr;
    if (!g_speech.modernVoiceTokens ||
        FAILED(CallAt(g_speech.modernVoiceTokens, kTokensItem, static_cast<long>(index), &token)))
        return nullptr;
    return token;
}

std::string LegacyName(std::int32_t engine, int position)
{
    BSTR name = nullptr;
    CallAt(g_speech.legacyEngine, position, static_cast<long>(engine), &name);
    std::string text = Narrow(name);
    SysFreeString(name);
    return text;
}

const VoiceEntry* Entry(std::int32_t index)
{
    if (index < 0 || index >= static_cast<std::int32_t>(g_speech.voiceTable.size()))
        return nullptr;
    return &g_speech.voiceTable[static_cast<size_t>(index)];
}

}  // namespace

int32_t SpeechInit(SpeechEventCallback onStart, SpeechEventCallback onEnd, SpeechWordCallback onWord)
{
    if (g_speech.started)
        return g_speech.engines;
    g_speech.started = true;
    g_speech.onStart = onStart;
    g_speech.onEnd = onEnd;
    g_speech.onWord = onWord;
    CoInitialize(nullptr);
    g_speech.engines = StartModernVoice() + StartLegacyEngine();
    const std::int32_t modern = ModernVoiceCount();
    const std::int32_t legacy = LegacyEngineCount();
    if (modern + legacy > 0)
        g_speech.voiceTable = BuildVoiceTable(modern, legacy);
    return g_speech.engines;
}

void SpeechOnVoicesChanged(SpeechVoicesChangedCallback)
{
    // Both engines answer at start-up; the table never changes later.
}

int32_t SpeechLastVoiceIndex()
{
    return static_cast<int32_t>(g_speech.voiceTable.size()) - 1;
}

std::string SpeechVoiceName(int32_t index)
{
    const VoiceEntry* entry = Entry(index);
    if (!entry)
        return "Unavailable";
    if (entry->kind == kLegacyKind)
        return ShorterName(LegacyName(entry->engineIndex, kLegacyFirstName),
                           LegacyName(entry->engineIndex, kLegacySecondName));
    std::string name;
    if (IUnknown* token = ModernToken(entry->engineIndex)) {
        BSTR attribute = SysAllocString(L"Name");
        BSTR value = nullptr;
        CallAt(token, kTokenGetAttribute, attribute, &value);
        name = Narrow(value);
        SysFreeString(value);
        SysFreeString(attribute);
        token->Release();
    }
    return name;
}

int32_t SpeechSelectVoice(int32_t index)
{
    const VoiceEntry* entry = Entry(index);
    if (!entry)
        return 0;
    if (entry->kind == kLegacyKind) {
        CallAt(g_speech.legacyEngine, kLegacySelectEngine, static_cast<long>(entry->engineIndex));
    } else if (IUnknown* token = ModernToken(entry->engineIndex)) {
        CallAt(g_speech.modernVoice, kVoicePutRef, token);
        token->Release();
    }
    g_speech.currentVoice = index;
    return 1;
}

int32_t SpeechSetVolume(int32_t percent)
{
    const VoiceEntry* entry = Entry(g_speech.currentVoice);
    if (!entry || percent < 0 || percent > 100)
        return 0;
    if (entry->kind == kModernKind) {
        CallAt(g_speech.modernVoice, kVolumePut, static_cast<long>(percent));
        return 1;
    }
    long lowest = 0, highest = 0;
    CallAt(g_speech.legacyEngine, kLegacyLowestVolume, &lowest);
    CallAt(g_speech.legacyEngine, kLegacyHighestVolume, &highest);
    const long volume = ScaleVolume(percent, static_cast<int32_t>(lowest), static_cast<int32_t>(highest));
    CallAt(g_speech.legacyEngine, kLegacyVolumeFirst, volume);
    CallAt(g_speech.legacyEngine, kLegacyVolumeSecond, volume);
    return 1;
}

int32_t SpeechSay(const char* text)
{
    const VoiceEntry* entry = Entry(g_speech.currentVoice);
    if (!entry || !text)
        return 0;
    BSTR spoken = SysAllocString(Widen(text).c_str());
    if (entry->kind == kLegacyKind) {
        CallAt(g_speech.legacyEngine, kLegacyStop);
        CallAt(g_speech.legacyEngine, kLegacySpeak, 0L, 1L, spoken);
    } else {
        long stream = 0;
        CallAt(g_speech.modernVoice, kSpeak, spoken, kSpeakFlags, &stream);
    }
    SysFreeString(spoken);
    return 1;
}
