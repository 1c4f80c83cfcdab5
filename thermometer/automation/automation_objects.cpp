// Creating objects and finding running ones.
#include "automation_internal.h"

namespace {

HRESULT AskFor(IUnknown* object, const IID& iid, void** out)
{
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

HRESULT LoadFromFile(const char16_t* fileName, const CLSID& clsid, std::uint32_t context, const IID& iid,
                     void** out)
{
    void* persist = nullptr;
    HRESULT hr = CoCreateInstance(clsid, nullptr, context, IID_IPersistFile, &persist);
    if (FAILED(hr))
        return hr;
    auto* file = static_cast<IPersistFile*>(persist);
    hr = LoadFileInto(file, fileName);
    if (FAILED(hr)) {
        file->Release();
        return hr;
    }
    return AskFor(file, iid, out);
}

}  // namespace

HRESULT CreateObjectEx(const char16_t* id, const IID& iid, std::uint32_t context, const void* serverInfo,
                       void** object)
{
    OperationScope scope(u"CreateObjectEx");
    if (!id || !object)
        return scope.Exit(E_INVALIDARG, id);
    *object = nullptr;
    CLSID clsid;
    HRESULT hr = ClassFromText(id, &clsid);
    IClassFactory* classFactory = nullptr;
    if (SUCCEEDED(hr))
        hr = GetClassFactory(clsid, context, serverInfo, &classFactory);
    if (SUCCEEDED(hr)) {
        hr = classFactory->CreateInstance(nullptr, iid, object);
        classFactory->Release();
    }
    return scope.Exit(hr, id);
}

HRESULT CreateObject(const char16_t* id, const char16_t* machine, IDispatch** object)
{
    OperationScope scope(u"CreateObject");
    if (!id || !object)
        return scope.Exit(E_INVALIDARG, id);
    const COSERVERINFO server = ServerOn(machine);
    const HRESULT hr = CreateObjectEx(id, IID_IDispatch, machine ? CLSCTX_REMOTE_SERVER : CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                      machine ? &server : nullptr, reinterpret_cast<void**>(object));
    return scope.Exit(hr, id);
}

HRESULT GetObjectEx(const char16_t* fileName, const char16_t* id, const IID& iid, std::uint32_t context,
                    void* reserved, void** object)
{
    OperationScope scope(u"GetObjectEx");
    const bool haveFile = fileName && *fileName;
    const bool haveId = id && *id;
    const char16_t* member = haveFile ? fileName : id;
    if (!object || reserved || (!haveFile && !haveId))
        return scope.Exit(E_INVALIDARG, member);
    *object = nullptr;
    if (haveFile && !haveId)
        return scope.Exit(BindDisplayName(fileName, iid, object), member);
    CLSID clsid;
    HRESULT hr = ClassFromText(id, &clsid);
    if (SUCCEEDED(hr) && haveFile) {
        hr = LoadFromFile(fileName, clsid, context, iid, object);
    } else if (SUCCEEDED(hr)) {
        IUnknown* running = nullptr;
        hr = GetRunningObject(clsid, &running);
        if (SUCCEEDED(hr))
            hr = AskFor(running, iid, object);
    }
    return scope.Exit(hr, member);
}

HRESULT GetObject(const char16_t* fileName, const char16_t* progId, IDispatch** object)
{
    OperationScope scope(u"GetObject");
    const char16_t* member = fileName && *fileName ? fileName : progId;
    if (!object)
        return scope.Exit(E_INVALIDARG, member);
    const HRESULT hr =
        GetObjectEx(fileName, progId, IID_IDispatch, CLSCTX_SERVER, nullptr, reinterpret_cast<void**>(object));
    return scope.Exit(hr, member);
}
