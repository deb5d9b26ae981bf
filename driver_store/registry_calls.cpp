// The table of registry calls, filled with the real API.
#include "registry_calls.h"

#include <winternl.h>

// Documented for drivers as ZwDeleteKey; the headers for programs do not declare it.
extern "C" NTSTATUS NTAPI NtDeleteKey(HANDLE key);

LONG WINAPI DeleteOpenKey(HKEY key)
{
    return static_cast<LONG>(RtlNtStatusToDosError(NtDeleteKey(key)));
}

RegistryCalls registryCalls = {
    RegOpenKeyExA,     RegOpenKeyExW,  RegCreateKeyExA,   RegCreateKeyExW,   RegQueryInfoKeyA,
    RegQueryInfoKeyW,  RegEnumKeyExA,  RegEnumKeyExW,     RegEnumValueA,     RegEnumValueW,
    RegQueryValueExA,  RegSetValueExW, RegGetKeySecurity, RegSetKeySecurity, DeleteOpenKey,
    RegDeleteValueA,   RegCloseKey,
};
