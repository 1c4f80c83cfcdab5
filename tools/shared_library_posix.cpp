#include "shared_library.h"

#include <climits>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace {

// The directory of the running program, with a trailing "/"; empty if unknown.
std::string ProgramDirectory()
{
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    const std::string exe(path, static_cast<std::size_t>(n));
    return exe.substr(0, exe.rfind('/') + 1);
}

}  // namespace

// Unloading must not pull the adapter's state from under an open port: the
// library stays mapped until the process ends, whatever dlclose is called on.
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;

SharedLibrary* LoadSharedLibrary(const char* fileName)
{
    // The program's own directory is looked at by hand rather than through
    // $ORIGIN alone: a loader wrapped by a sanitizer or preload library
    // resolves $ORIGIN against that library, not against the program.
    const std::string beside = ProgramDirectory();
    if (!beside.empty()) {
        if (void* library = ::dlopen((beside + fileName).c_str(), kOpenFlags))
            return static_cast<SharedLibrary*>(library);
    }
    // Then the run path ($ORIGIN/../lib of an installed tree) and the system's search.
    return static_cast<SharedLibrary*>(::dlopen(fileName, kOpenFlags));
}

void* FindExport(SharedLibrary* library, const char* name) { return library ? ::dlsym(library, name) : nullptr; }

void FreeSharedLibrary(SharedLibrary* library)
{
    if (library)
        ::dlclose(library);
}
