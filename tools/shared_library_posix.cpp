#include "shared_library.h"

#include <dlfcn.h>

SharedLibrary* LoadSharedLibrary(const char* fileName)
{
    return static_cast<SharedLibrary*>(::dlopen(fileName, RTLD_NOW | RTLD_LOCAL));
}

void* FindExport(SharedLibrary* library, const char* name) { return library ? ::dlsym(library, name) : nullptr; }

void FreeSharedLibrary(SharedLibrary* library)
{
    if (library)
        ::dlclose(library);
}
