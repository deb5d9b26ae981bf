// Keeps DLLs planted beside a program, or in its current folder, out of the process: it runs elevated, often from
// the Downloads folder.
#pragma once

#include <windows.h>

// What the guard could do on this system.
enum class DllSearch {
    // Every DLL loaded by name from now on, the system's own deferred loads included, comes from System32.
    SystemFolderOnly,
    // Windows 7 without the update that brings SetDefaultDllDirectories: only the current folder is left out.
    CurrentFolderLeftOut,
};

// Call as the first statement of a program's entry, before anything can load a DLL by name. The DLLs its imports
// import are loaded before the entry; the image's load configuration (dll_search_guard.cpp) covers those.
// `kernel` is where SetDefaultDllDirectories is looked up; tests pass a module without it.
DllSearch GuardDllSearch(HMODULE kernel = GetModuleHandleA("kernel32.dll"));
