// Scoped owner of an open registry key.
#include "registry_key.h"

#include "registry_calls.h"

void RegistryKey::Close()
{
    if (key_) {
        registryCalls.closeKey(key_);
        key_ = nullptr;
    }
}
