// On Windows the system's library search decides which file a bare name
// loads (the program's directory first).
#include "shared_library.h"

#include <windows.h>

SharedLibrary* LoadSharedLibrary(const char* fileName)
{
    return reinterpret_cast<SharedLibrary*>(::LoadLibraryA(fileName));
}

void* FindExport(SharedLibrary* library, const char* name)
{
    if (!library)
        return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(reinterpret_cast<HMODULE>(library), name));
}

void FreeSharedLibrary(SharedLibrary* library)
{
    if (library)
        ::FreeLibrary(reinterpret_cast<HMODULE>(library));
}
