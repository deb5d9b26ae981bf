// The table of registry calls, filled with the real API.
#include "registry_calls.h"

RegistryCalls registryCalls = {
    RegOpenKeyExA,     RegOpenKeyExW,     RegCreateKeyExA, RegCreateKeyExW, RegQueryInfoKeyA, RegQueryInfoKeyW,
    RegEnumKeyExA,     RegEnumKeyExW,     RegEnumValueA,   RegEnumValueW,   RegQueryValueExW, RegSetValueExW,
    RegGetKeySecurity, RegSetKeySecurity, SHDeleteKeyA,    RegDeleteValueA, RegCloseKey,
};
