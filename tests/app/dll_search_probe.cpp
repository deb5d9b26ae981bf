// A test program that loads a DLL by name, as its own code or Windows on its behalf would, after the DLL-search guard
// or without it, and tells by its exit code which file it got.
// Usage: dll_search_probe guarded|fallback|unguarded NAME.dll
#include "dll_search_guard.h"
#include "dll_search_probe.h"

#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 3)
        return kUsage;
    const char* mode = argv[1];
    if (std::strcmp(mode, "guarded") == 0) {
        if (GuardDllSearch() != DllSearch::SystemFolderOnly)
            return kGuardSaidOtherwise;
    } else if (std::strcmp(mode, "fallback") == 0) {
        // This program's own module has no SetDefaultDllDirectories, as kernel32 of Windows 7 without its update.
        if (GuardDllSearch(GetModuleHandleA(nullptr)) != DllSearch::CurrentFolderLeftOut)
            return kGuardSaidOtherwise;
    } else if (std::strcmp(mode, "unguarded") != 0) {
        return kUsage;
    }
    HMODULE dll = LoadLibraryA(argv[2]);
    if (!dll)
        return kLoadedNothing;
    return GetProcAddress(dll, kPlantedExport) ? kLoadedPlanted : kLoadedAnother;
}
