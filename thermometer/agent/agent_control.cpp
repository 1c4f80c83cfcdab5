// The agent component and its two kinds of sub-object, the character
// collection and the character.
#include "agent_control.h"

#include "agent_stage.h"
#include "com_registry.h"
#include "dispatch_object.h"

#include <QApplication>

#include <deque>
#include <map>
#include <mutex>

const CLSID CLSID_AgentControl{0x6B0C1E52, 0x4A7D, 0x4F3E, {0x9C, 0x21, 0x5E, 0x8A, 0x33, 0x71, 0xD4, 0x0B}};

namespace {

constexpr const char16_t* kProgId = u"Agent.Control.1";
constexpr std::size_t kHistoryLength = 64;

std::mutex g_hookLock;
AgentSpeechFunction g_speak = nullptr;
double g_timeScale = 1.0;
std::deque<std::string> g_history;

struct AgentState {
    std::mutex lock;
    bool connected = false;
    std::map<QString, std::shared_ptr<AgentStage>> characters;  // by lower-case name
};

HRESULT Fail(EXCEPINFO* e, const QString& description, HRESULT scode)
{
    return DispatchObject::Raise(e, kProgId, reinterpret_cast<const char16_t*>(description.utf16()), scode);
}

QString ToQString(const std::u16string& s) { return QString::fromStdU16String(s); }

HRESULT ReturnObject(VARIANT* result, IDispatch* object)
{
    if (!result) {
        object->Release();
        return S_OK;
    }
    result->vt = VT_DISPATCH;
    result->pdispVal = object;
    return S_OK;
}

class AgentCharacter final : public DispatchObject {
public:
    explicit AgentCharacter(std::shared_ptr<AgentStage> stage) : DispatchObject(kMembers), stage_(std::move(stage)) {}

protected:
    HRESULT Call(DISPID id, std::uint16_t kind, const DispatchArgs& args, VARIANT*, EXCEPINFO* e) override
    {
        if (!(kind & DISPATCH_METHOD))
            return DISP_E_MEMBERNOTFOUND;
        switch (id) {
        case kShow: return Queue({AgentRequest::Show, {}});
        case kHide: return Queue({AgentRequest::Hide, {}});
        case kStop: return Queue({AgentRequest::Stop, {}});
        case kMoveTo: return MoveTo(args);
        default: return WithText(id, args, e);
        }
    }

private:
    enum : DISPID { kShow = 1, kHide, kMoveTo, kPlay, kSpeak, kStop };
    static constexpr Member kMembers[] = {{u"Show", kShow},   {u"Hide", kHide},   {u"MoveTo", kMoveTo},
                                          {u"Play", kPlay},   {u"Speak", kSpeak}, {u"Stop", kStop}};

    HRESULT Queue(const AgentRequest& request)
    {
        stage_->Post(request);
        return S_OK;
    }

    HRESULT MoveTo(const DispatchArgs& args)
    {
        AgentRequest request{AgentRequest::MoveTo, {}};
        HRESULT hr = args.Int(0, &request.x);
        if (SUCCEEDED(hr))
            hr = args.Int(1, &request.y);
        return SUCCEEDED(hr) ? Queue(request) : hr;
    }

    HRESULT WithText(DISPID id, const DispatchArgs& args, EXCEPINFO* e)
    {
        std::u16string text;
        const HRESULT hr = args.Text(0, &text);
        if (FAILED(hr))
            return hr;
        const QString value = ToQString(text);
        if (id == kSpeak)
            return Queue({AgentRequest::Speak, value});
        if (!AgentStage::KnownAnimation(value))
            return Fail(e, "The character has no animation '" + value + "'", E_INVALIDARG);
        return Queue({AgentRequest::Play, value});
    }

    std::shared_ptr<AgentStage> stage_;
};

// Finds a loaded character and hands out a new object for it.
HRESULT LoadedCharacter(AgentState& state, const DispatchArgs& args, VARIANT* result, EXCEPINFO* e)
{
    std::u16string name;
    const HRESULT hr = args.Text(0, &name);
    if (FAILED(hr))
        return hr;
    std::shared_ptr<AgentStage> stage;
    {
        std::lock_guard lock(state.lock);
        const auto it = state.characters.find(ToQString(name).toLower());
        if (it != state.characters.end())
            stage = it->second;
    }
    if (!stage)
        return Fail(e, "The character '" + ToQString(name) + "' is not loaded", E_INVALIDARG);
    return ReturnObject(result, new AgentCharacter(stage));
}

class AgentCharacters final : public DispatchObject {
public:
    explicit AgentCharacters(std::shared_ptr<AgentState> state) : DispatchObject(kMembers), state_(std::move(state)) {}

protected:
    HRESULT Call(DISPID id, std::uint16_t, const DispatchArgs& args, VARIANT* result, EXCEPINFO* e) override
    {
        if (id == kLoad)
            return Load(args, e);
        if (id == kUnload)
            return Unload(args);
        return LoadedCharacter(*state_, args, result, e);
    }

private:
    enum : DISPID { kItem = DISPID_VALUE, kLoad = 1, kUnload, kCharacter };
    static constexpr Member kMembers[] = {
        {u"Item", kItem}, {u"Load", kLoad}, {u"Unload", kUnload}, {u"Character", kCharacter}};

    HRESULT Load(const DispatchArgs& args, EXCEPINFO* e)
    {
        std::u16string name;
        const HRESULT hr = args.Text(0, &name);
        if (FAILED(hr))
            return hr;
        const QString key = ToQString(name).toLower();
        if (key != "genie")
            return Fail(e, "The character '" + ToQString(name) + "' could not be found", Code(0x80070002));
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            return Fail(e, "The character needs a window system", E_FAIL);
        std::lock_guard lock(state_->lock);
        if (!state_->characters.count(key))
            state_->characters[key] = std::make_shared<AgentStage>();
        return S_OK;
    }

    HRESULT Unload(const DispatchArgs& args)
    {
        std::u16string name;
        const HRESULT hr = args.Text(0, &name);
        if (SUCCEEDED(hr)) {
            std::lock_guard lock(state_->lock);
            state_->characters.erase(ToQString(name).toLower());
        }
        return hr;
    }

    std::shared_ptr<AgentState> state_;
};

class AgentControl final : public DispatchObject {
public:
    AgentControl() : DispatchObject(kMembers), state_(std::make_shared<AgentState>()) {}

protected:
    HRESULT Call(DISPID id, std::uint16_t kind, const DispatchArgs& args, VARIANT* result, EXCEPINFO* e) override
    {
        if (id == kCharacters)
            return args.Count() == 0 ? ReturnObject(result, new AgentCharacters(state_))
                                     : LoadedCharacter(*state_, args, result, e);
        std::lock_guard lock(state_->lock);
        if (kind & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            bool connected = false;
            const HRESULT hr = args.Bool(0, &connected);
            if (SUCCEEDED(hr))
                state_->connected = connected;
            return hr;
        }
        if (result) {
            result->vt = VT_BOOL;
            result->boolVal = state_->connected ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return S_OK;
    }

private:
    enum : DISPID { kConnected = 1, kCharacters };
    static constexpr Member kMembers[] = {{u"Connected", kConnected}, {u"Characters", kCharacters}};

    std::shared_ptr<AgentState> state_;
};

}  // namespace

void SpeakWithDefaultVoice(const std::string& text);  // agent_voice*.cpp

HRESULT RegisterAgentControl()
{
    static std::mutex once;
    std::lock_guard lock(once);
    CLSID known;
    if (SUCCEEDED(CLSIDFromProgID(kProgId, &known)))
        return S_FALSE;
    auto* factory = new DispatchClassFactory<AgentControl>();
    const HRESULT hr = RegisterComponentClass(kProgId, CLSID_AgentControl, factory);
    factory->Release();
    return hr;
}

HRESULT RevokeAgentControl() { return RevokeComponentClass(CLSID_AgentControl); }

void SetAgentSpeechFunction(AgentSpeechFunction speak)
{
    std::lock_guard lock(g_hookLock);
    g_speak = speak;
}

void SetAgentTimeScale(double scale)
{
    std::lock_guard lock(g_hookLock);
    g_timeScale = scale >= 0 ? scale : 1.0;
}

double AgentTimeScale()
{
    std::lock_guard lock(g_hookLock);
    return g_timeScale;
}

void SpeakWithAgentVoice(const QString& text)
{
    AgentSpeechFunction speak;
    {
        std::lock_guard lock(g_hookLock);
        speak = g_speak;
    }
    const std::string words = SpokenEnglish(text).toStdString();
    if (speak)
        speak(words);
    else
        SpeakWithDefaultVoice(words);
}

void NoteAgentRequest(const QString& request)
{
    std::lock_guard lock(g_hookLock);
    g_history.push_back(request.toStdString());
    if (g_history.size() > kHistoryLength)
        g_history.pop_front();
}

std::vector<std::string> AgentRequestHistory()
{
    std::lock_guard lock(g_hookLock);
    return {g_history.begin(), g_history.end()};
}

void ClearAgentRequestHistory()
{
    std::lock_guard lock(g_hookLock);
    g_history.clear();
}
