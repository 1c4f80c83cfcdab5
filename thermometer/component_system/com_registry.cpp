// Classes, factories and running objects of the component system.
#include "com_registry.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

const IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IEnumVARIANT{0x00020404, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IPersistFile{0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

struct ClassEntry {
    std::u16string progId;
    CLSID clsid;
    IClassFactory* factory;
};

struct RunningEntry {
    std::uint32_t cookie;
    CLSID clsid;
    std::u16string name;  // empty for entries registered by class
    IUnknown* object;
};

std::mutex g_lock;
// Registered classes live until the process ends, their factories with them.
std::vector<ClassEntry>& g_classes = *new std::vector<ClassEntry>();
std::vector<RunningEntry>& g_running = *new std::vector<RunningEntry>();
std::uint32_t g_nextCookie = 1;
thread_local int t_initCount = 0;

bool SameProgId(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads `digits` hex digits at text[pos].
bool ReadHex(std::u16string_view text, std::size_t pos, int digits, std::uint32_t& value)
{
    value = 0;
    for (int i = 0; i < digits; ++i) {
        const int d = HexDigit(text[pos + i]);
        if (d < 0)
            return false;
        value = value << 4 | static_cast<std::uint32_t>(d);
    }
    return true;
}

HRESULT FindRunning(const CLSID* clsid, std::u16string_view name, const IID& iid, void** object)
{
    IUnknown* found = nullptr;
    {
        std::lock_guard lock(g_lock);
        for (const RunningEntry& e : g_running) {
            if (clsid ? (e.name.empty() && e.clsid == *clsid) : (!e.name.empty() && e.name == name)) {
                found = e.object;
                found->AddRef();
                break;
            }
        }
    }
    if (!found)
        return MK_E_UNAVAILABLE;
    const HRESULT hr = found->QueryInterface(iid, object);
    found->Release();
    return hr;
}

HRESULT AddRunning(IUnknown* object, const CLSID& clsid, const char16_t* name, std::uint32_t* cookie)
{
    if (!object || !cookie)
        return E_INVALIDARG;
    object->AddRef();
    std::lock_guard lock(g_lock);
    *cookie = g_nextCookie++;
    g_running.push_back({*cookie, clsid, name ? std::u16string(name) : std::u16string(), object});
    return S_OK;
}

}  // namespace

HRESULT CLSIDFromString(const char16_t* text, CLSID* clsid)
{
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    const std::u16string_view s(text ? text : u"", Utf16Length(text));
    if (!clsid)
        return E_INVALIDARG;
    if (s.size() != 38 || s[0] != u'{' || s[37] != u'}' || s[9] != u'-' || s[14] != u'-' || s[19] != u'-' ||
        s[24] != u'-')
        return CO_E_CLASSSTRING;
    CLSID result{};
    std::uint32_t v = 0;
    bool ok = ReadHex(s, 1, 8, result.data1);
    ok = ok && ReadHex(s, 10, 4, v);
    result.data2 = static_cast<std::uint16_t>(v);
    ok = ok && ReadHex(s, 15, 4, v);
    result.data3 = static_cast<std::uint16_t>(v);
    static constexpr std::size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; ok && i < 8; ++i) {
        ok = ReadHex(s, kBytePos[i], 2, v);
        result.data4[i] = static_cast<std::uint8_t>(v);
    }
    if (!ok)
        return CO_E_CLASSSTRING;
    *clsid = result;
    return S_OK;
}

std::u16string StringFromCLSID(const CLSID& c)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", c.data1, c.data2,
                  c.data3, c.data4[0], c.data4[1], c.data4[2], c.data4[3], c.data4[4], c.data4[5], c.data4[6],
                  c.data4[7]);
    return Utf8ToUtf16(text);
}

HRESULT CoInitialize(void*)
{
    return t_initCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize()
{
    if (t_initCount > 0)
        --t_initCount;
}

HRESULT RegisterComponentClass(const char16_t* progId, const CLSID& clsid, IClassFactory* factory)
{
    if (!progId || !*progId || !factory)
        return E_INVALIDARG;
    std::lock_guard lock(g_lock);
    for (const ClassEntry& e : g_classes)
        if (e.clsid == clsid || SameProgId(e.progId, progId))
            return E_INVALIDARG;
    factory->AddRef();
    g_classes.push_back({progId, clsid, factory});
    return S_OK;
}

HRESULT RevokeComponentClass(const CLSID& clsid)
{
    IClassFactory* factory = nullptr;
    {
        std::lock_guard lock(g_lock);
        for (auto it = g_classes.begin(); it != g_classes.end(); ++it) {
            if (it->clsid == clsid) {
                factory = it->factory;
                g_classes.erase(it);
                break;
            }
        }
    }
    if (!factory)
        return REGDB_E_CLASSNOTREG;
    factory->Release();
    return S_OK;
}

HRESULT CLSIDFromProgID(const char16_t* progId, CLSID* clsid)
{
    if (!progId || !clsid)
        return E_INVALIDARG;
    std::lock_guard lock(g_lock);
    for (const ClassEntry& e : g_classes) {
        if (SameProgId(e.progId, progId)) {
            *clsid = e.clsid;
            return S_OK;
        }
    }
    return CO_E_CLASSSTRING;
}

HRESULT CoGetClassObject(const CLSID& clsid, std::uint32_t context, const COSERVERINFO* server, const IID& iid,
                         void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (t_initCount == 0)
        return CO_E_NOTINITIALIZED;
    if (!(context & CLSCTX_INPROC_SERVER) || (server && server->machineName && *server->machineName))
        return REGDB_E_CLASSNOTREG;
    IClassFactory* factory = nullptr;
    {
        std::lock_guard lock(g_lock);
        for (const ClassEntry& e : g_classes) {
            if (e.clsid == clsid) {
                factory = e.factory;
                factory->AddRef();
                break;
            }
        }
    }
    if (!factory)
        return REGDB_E_CLASSNOTREG;
    const HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, std::uint32_t context, const IID& iid, void** object)
{
    void* factory = nullptr;
    HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, &factory);
    if (FAILED(hr))
        return hr;
    auto* classFactory = static_cast<IClassFactory*>(factory);
    hr = classFactory->CreateInstance(outer, iid, object);
    classFactory->Release();
    return hr;
}

HRESULT RegisterActiveObject(IUnknown* object, const CLSID& clsid, std::uint32_t* cookie)
{
    return AddRunning(object, clsid, nullptr, cookie);
}

HRESULT RegisterRunningName(IUnknown* object, const char16_t* name, std::uint32_t* cookie)
{
    if (!name || !*name)
        return E_INVALIDARG;
    return AddRunning(object, GUID_NULL, name, cookie);
}

HRESULT RevokeActiveObject(std::uint32_t cookie)
{
    IUnknown* object = nullptr;
    {
        std::lock_guard lock(g_lock);
        for (auto it = g_running.begin(); it != g_running.end(); ++it) {
            if (it->cookie == cookie) {
                object = it->object;
                g_running.erase(it);
                break;
            }
        }
    }
    if (!object)
        return E_INVALIDARG;
    object->Release();
    return S_OK;
}

HRESULT GetActiveObject(const CLSID& clsid, IUnknown** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    return FindRunning(&clsid, {}, IID_IUnknown, reinterpret_cast<void**>(object));
}

HRESULT CoGetObject(const char16_t* name, const IID& iid, void** object)
{
    if (!object || !name)
        return E_INVALIDARG;
    *object = nullptr;
    if (t_initCount == 0)
        return CO_E_NOTINITIALIZED;
    return FindRunning(nullptr, name, iid, object);
}
