// The table of registry calls, filled with the real API.
#include "registry_calls.h"

RegistryCalls registryCalls = {
    RegOpenKeyExA, RegCreateKeyExA, RegQueryInfoKeyA, RegEnumKeyExA, RegEnumValueA,
    SHCopyKeyA,    SHDeleteKeyA,    RegDeleteValueA,  RegCloseKey,
};
