// Opening a web address from a program that runs as administrator without lending the browser those rights.
#pragma once

#include <windows.h>
#include <shellapi.h>

// The calls that decide how an address opens, reached through one table so a test can choose each outcome.
struct UnelevatedOpenCalls {
    bool (*openThroughDesktopShell)(const char* address);
    bool (*processIsElevated)();
    decltype(&ShellExecuteA) shellExecute;
};

// Holds the real calls unless a test has put stand-ins in.
extern UnelevatedOpenCalls unelevatedOpenCalls;

// Hands the address to the desktop's shell (the user's Explorer, which runs unelevated) to open, as if the user had
// opened it there. True when the shell took it.
bool OpenThroughDesktopShell(const char* address);

// True when this process runs with an elevated token, and when that cannot be found out.
bool ProcessIsElevated();

// Opens the address through the desktop's shell; where that is not available and this process is not elevated,
// with ShellExecuteA; otherwise shows the address in a box owned by `owner`, for the user to open. True when a
// browser was asked to open it.
bool OpenUnelevated(const char* address, HWND owner);
