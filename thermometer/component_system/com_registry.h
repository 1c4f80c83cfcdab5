// Where components are found: classes by ProgID and CLSID with their class
// factories, and the running-object table. All of it is process-wide and
// guarded by one lock; a thread must call CoInitialize before creating or
// finding objects.
#pragma once

#include "com.h"

// Server contexts.
inline constexpr std::uint32_t CLSCTX_INPROC_SERVER = 1;
inline constexpr std::uint32_t CLSCTX_LOCAL_SERVER = 4;
inline constexpr std::uint32_t CLSCTX_SERVER = 5;  // in-process or local
inline constexpr std::uint32_t CLSCTX_REMOTE_SERVER = 16;

struct COSERVERINFO {
    const char16_t* machineName;
};

// Per thread, counted: every successful CoInitialize needs a CoUninitialize.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

// Makes a class known. The registry keeps a reference on the factory.
// Fails with E_INVALIDARG for a taken ProgID or CLSID.
HRESULT RegisterComponentClass(const char16_t* progId, const CLSID& clsid, IClassFactory* factory);
// Forgets it again (tests, and programs that unload a component).
HRESULT RevokeComponentClass(const CLSID& clsid);

// CO_E_CLASSSTRING for an unknown ProgID.
HRESULT CLSIDFromProgID(const char16_t* progId, CLSID* clsid);

// Only in-process classes exist: a context without CLSCTX_INPROC_SERVER, or
// a machine name, gives REGDB_E_CLASSNOTREG, as does an unknown CLSID.
HRESULT CoGetClassObject(const CLSID& clsid, std::uint32_t context, const COSERVERINFO* server, const IID& iid,
                         void** object);
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, std::uint32_t context, const IID& iid,
                         void** object);

// Running objects, by class or by a display name (what a file moniker binds).
// The table keeps a reference until the object is revoked.
HRESULT RegisterActiveObject(IUnknown* object, const CLSID& clsid, std::uint32_t* cookie);
HRESULT RegisterRunningName(IUnknown* object, const char16_t* name, std::uint32_t* cookie);
HRESULT RevokeActiveObject(std::uint32_t cookie);
// MK_E_UNAVAILABLE when nothing runs under that class.
HRESULT GetActiveObject(const CLSID& clsid, IUnknown** object);
// MK_E_UNAVAILABLE when nothing runs under that name.
HRESULT CoGetObject(const char16_t* name, const IID& iid, void** object);
