// The registry calls of the driver store, reached through one table so a test can make any call fail.
#pragma once

#include <windows.h>
#include <shlwapi.h>

struct RegistryCalls {
    decltype(&RegOpenKeyExA) openKeyEx;
    decltype(&RegCreateKeyExA) createKeyEx;
    decltype(&RegQueryInfoKeyA) queryInfoKey;
    decltype(&RegEnumKeyExA) enumKeyEx;
    decltype(&RegEnumValueA) enumValue;
    decltype(&SHCopyKeyA) copyKey;
    decltype(&SHDeleteKeyA) deleteKey;
    decltype(&RegDeleteValueA) deleteValue;
    decltype(&RegCloseKey) closeKey;
};

// Holds the real API unless a test has put stand-ins in.
extern RegistryCalls registryCalls;
