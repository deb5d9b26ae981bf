// The registry calls of the driver store, reached through one table so a test can make any call fail.
#pragma once

#include <windows.h>
#include <shlwapi.h>

// Names and lists go through the A forms; a tree is copied through the W forms, which carry every name, class and
// string value byte for byte on any code page.
struct RegistryCalls {
    decltype(&RegOpenKeyExA) openKeyEx;
    decltype(&RegOpenKeyExW) openKeyExW;
    decltype(&RegCreateKeyExA) createKeyEx;
    decltype(&RegCreateKeyExW) createKeyExW;
    decltype(&RegQueryInfoKeyA) queryInfoKey;
    decltype(&RegQueryInfoKeyW) queryInfoKeyW;
    decltype(&RegEnumKeyExA) enumKeyEx;
    decltype(&RegEnumKeyExW) enumKeyExW;
    decltype(&RegEnumValueA) enumValue;
    decltype(&RegEnumValueW) enumValueW;
    decltype(&RegQueryValueExW) queryValueExW;
    decltype(&RegSetValueExW) setValueExW;
    decltype(&RegGetKeySecurity) getKeySecurity;
    decltype(&RegSetKeySecurity) setKeySecurity;
    decltype(&SHDeleteKeyA) deleteKey;
    decltype(&RegDeleteValueA) deleteValue;
    decltype(&RegCloseKey) closeKey;
};

// Holds the real API unless a test has put stand-ins in.
extern RegistryCalls registryCalls;
