// Scoped owner of an open registry key that knows the registry view it was opened in.
#pragma once

#include "unique_handle.h"

#include <windows.h>

struct RegistryKeyTraits {
    using Handle = HKEY;
    static bool IsValid(HKEY key) { return key != nullptr; }
    // Through the store's call table, so that tests see every key closed.
    static void Close(HKEY key);
};

// The view is the KEY_WOW64_* part of the access a key was opened with; every key opened under it is opened in the
// same view, so a caller names the view once, where it opens a location.
class RegistryKey : public UniqueHandle<RegistryKeyTraits> {
public:
    RegistryKey() = default;
    explicit RegistryKey(HKEY key) : UniqueHandle(key) {}

    REGSAM View() const { return view_; }
    // Opens parent\name with `access`, whose view flag the key keeps, and the open call's `options`
    // (REG_OPTION_OPEN_LINK to open a link key itself). Returns the registry's code.
    [[nodiscard]] LONG Open(HKEY parent, const char* name, REGSAM access, DWORD options = 0);
    // Opens or creates parent\name with `access`, as Open does.
    [[nodiscard]] LONG Create(HKEY parent, const char* name, REGSAM access, DWORD* disposition = nullptr);
    // Opens this key's subkey in this key's view.
    [[nodiscard]] LONG OpenSubkey(const char* name, REGSAM access, RegistryKey& subkey, DWORD options = 0) const;

private:
    REGSAM view_ = 0;
};
