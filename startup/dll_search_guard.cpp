// The DLL-search guard: the search order set at the entry, and the load configuration that sets it for the DLLs
// loaded before the entry.
#include "dll_search_guard.h"

#include <cstddef>

namespace {

using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);

#if defined(__GNUC__)
// The structure as the mingw-w64 headers have it, up to the safe exception handler table: the layout from before
// control-flow guard, whose fields Windows would otherwise read too. The headers still call DependentLoadFlags by its
// old name, Reserved1.
static_assert(offsetof(IMAGE_LOAD_CONFIG_DIRECTORY, Reserved1) == (sizeof(void*) == 8 ? 78 : 54),
              "Reserved1 is where Windows reads DependentLoadFlags");

constexpr IMAGE_LOAD_CONFIG_DIRECTORY SystemFolderImports()
{
    IMAGE_LOAD_CONFIG_DIRECTORY config = {};
    config.Size = sizeof config;
    // What Microsoft's linker writes for /DEPENDENTLOADFLAG:0x800: from Windows 10 version 1607 on, the DLLs that
    // the program's imports import come from System32 only.
    config.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;
    // No security cookie: nothing here is built with stack-protector checks, and mingw-w64's start-up code seeds
    // its own. Without safe exception handler tables the 32-bit loader allows every handler, as it does for images
    // without a load configuration.
    return config;
}
#endif

}  // namespace

#if defined(__GNUC__)
// GNU ld does not fill the load-configuration directory from this symbol as Microsoft's linker and LLD do, so
// the structure has a section of its own, which scripts/set-load-config finds and enters in the directory after the
// link; quimble_guard_program keeps the symbol through --gc-sections. (Microsoft's runtime defines its own.)
extern "C" __attribute__((section(".loadcfg"), used)) const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used =
    SystemFolderImports();
#endif

DllSearch GuardDllSearch(HMODULE kernel)
{
    // Looked up, not imported: without it the program would not even start on such a Windows 7. Through
    // void (*)(): the cast between two unrelated function types is deliberate.
    const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesCall>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return DllSearch::SystemFolderOnly;
    SetDllDirectoryA("");
    return DllSearch::CurrentFolderLeftOut;
}
