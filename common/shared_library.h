// Loading a shared library that ships with the bench programs, and finding
// its exports by name.
#pragma once

struct SharedLibrary;

// Looks for fileName beside the running program, then in the installed
// tree's library directory (relative to the program's), then by the system's
// search. nullptr when it cannot be loaded. The library stays mapped until the
// process ends, whatever FreeSharedLibrary does.
SharedLibrary* LoadSharedLibrary(const char* fileName);

// The export's address, or nullptr when the library has no such export.
void* FindExport(SharedLibrary* library, const char* name);

void FreeSharedLibrary(SharedLibrary* library);
