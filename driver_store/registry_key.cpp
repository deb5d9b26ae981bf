// Scoped owner of an open registry key.
#include "registry_key.h"

#include "registry_calls.h"

namespace {

constexpr REGSAM kViewFlags = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

}  // namespace

void RegistryKeyTraits::Close(HKEY key)
{
    // A key that fails to close is gone all the same; nothing is left to do about it.
    registryCalls.closeKey(key);
}

LONG RegistryKey::Open(HKEY parent, const char* name, REGSAM access, DWORD options)
{
    view_ = access & kViewFlags;
    return registryCalls.openKeyEx(parent, name, options, access, Receive());
}

LONG RegistryKey::Create(HKEY parent, const char* name, REGSAM access, DWORD* disposition)
{
    view_ = access & kViewFlags;
    return registryCalls.createKeyEx(parent, name, 0, nullptr, 0, access, nullptr, Receive(), disposition);
}

LONG RegistryKey::OpenSubkey(const char* name, REGSAM access, RegistryKey& subkey, DWORD options) const
{
    return subkey.Open(Get(), name, access | view_, options);
}
