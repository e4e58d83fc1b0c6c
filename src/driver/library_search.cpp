#include "driver/library_search.h"

#include <windows.h>

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesCall)(DWORD flags);

// Windows 7 and Vista have the call only with their 2011 security update, so
// it is not imported: a missing import would stop the loader before WinMain.
SetDefaultDllDirectoriesCall find_set_default_dll_directories()
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr)
        return nullptr;
    FARPROC found = GetProcAddress(kernel, "SetDefaultDllDirectories");
    return reinterpret_cast<SetDefaultDllDirectoriesCall>(reinterpret_cast<void*>(found));
}

}  // namespace

void restrict_library_search()
{
    SetDefaultDllDirectoriesCall set_default = find_set_default_dll_directories();
    if (set_default != nullptr)
        set_default(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Takes the current folder out of the search on systems without the call
    // above; the empty string, not null, is what removes it.
    SetDllDirectoryA("");
}
