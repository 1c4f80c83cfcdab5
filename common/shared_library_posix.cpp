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
    // The program's own directories are looked at by hand rather than through
    // $ORIGIN in the run path: a loader wrapped by a sanitizer or preload
    // library resolves $ORIGIN against that library, not against the program.
    const std::string programDir = ProgramDirectory();
    if (!programDir.empty()) {
        // Beside the program (the build tree), then the installed tree's library directory.
        for (const std::string& dir : {programDir, programDir + BENCH_LIBRARY_DIR_FROM_PROGRAM "/"}) {
            if (void* library = ::dlopen((dir + fileName).c_str(), kOpenFlags))
                return static_cast<SharedLibrary*>(library);
        }
    }
    // Then the system's search.
    return static_cast<SharedLibrary*>(::dlopen(fileName, kOpenFlags));
}

void* FindExport(SharedLibrary* library, const char* name) { return library ? ::dlsym(library, name) : nullptr; }

void FreeSharedLibrary(SharedLibrary* library)
{
    if (library)
        ::dlclose(library);
}
