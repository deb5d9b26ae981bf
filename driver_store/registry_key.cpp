// Scoped owner of an open registry key.
#include "registry_key.h"

void RegistryKey::Close()
{
    if (key_) {
        RegCloseKey(key_);
        key_ = nullptr;
    }
}
