// Loading a shared library at run time and finding its exports by name.
#pragma once

// The adapter library's file name as the system's loader looks it up (the
// program's own directory first, through its run path, then the usual search).
inline constexpr const char* kVantrelLibraryFile = "libVantrel_PIC.so.1";

struct SharedLibrary;

// nullptr when the library cannot be loaded.
SharedLibrary* LoadSharedLibrary(const char* fileName);

// The export's address, or nullptr when the library has no such export.
void* FindExport(SharedLibrary* library, const char* name);

void FreeSharedLibrary(SharedLibrary* library);
