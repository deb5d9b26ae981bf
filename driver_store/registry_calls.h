// Every registry call of both programs, reached through one table so a test can make any call fail.
#pragma once

#include <windows.h>

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
    decltype(&RegQueryValueExA) queryValueEx;
    decltype(&RegSetValueExW) setValueExW;
    decltype(&RegGetKeySecurity) getKeySecurity;
    decltype(&RegSetKeySecurity) setKeySecurity;
    LONG(WINAPI* deleteOpenKey)(HKEY key);
    decltype(&RegDeleteValueA) deleteValue;
    decltype(&RegCloseKey) closeKey;
};

// Deletes the key a handle was opened on, a link key itself where it was opened as one: the Reg calls that delete
// find a key by name, and a name leads through links.
LONG WINAPI DeleteOpenKey(HKEY key);

// Holds the real API unless a test has put stand-ins in.
extern RegistryCalls registryCalls;
