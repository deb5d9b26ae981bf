// The tree copy of a move. The W forms carry names, classes and string data unconverted, whatever the code page.
#include "tree_copy.h"

#include "key_security.h"
#include "registry_calls.h"

#include <vector>

namespace {

constexpr wchar_t kRegistrationValueW[] = L"CLSID";

// The sizes a key's enumeration needs, in characters without the terminator, and bytes of the largest value.
struct KeyInfo {
    WideText className;
    DWORD subkeys = 0;
    DWORD longestSubkeyName = 0;
    DWORD longestSubkeyClass = 0;
    DWORD values = 0;
    DWORD longestValueName = 0;
    DWORD largestValue = 0;
};

LONG QueryKeyInfo(HKEY key, KeyInfo& info)
{
    // Asked twice only for a class name longer than a short guess: the first answer gives its length.
    std::vector<wchar_t> className(64);
    for (;;) {
        DWORD classSize = static_cast<DWORD>(className.size());
        const LONG rc = registryCalls.queryInfoKeyW(key, className.data(), &classSize, nullptr, &info.subkeys,
                                                    &info.longestSubkeyName, &info.longestSubkeyClass, &info.values,
                                                    &info.longestValueName, &info.largestValue, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA && classSize >= className.size()) {
            className.resize(classSize + 1);
            continue;
        }
        if (rc == ERROR_SUCCESS)
            info.className.assign(className.data(), className.data() + classSize + 1);
        return rc;
    }
}

struct SavedValue {
    bool found = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

LONG CopyValues(HKEY original, HKEY copy, const KeyInfo& info, SavedValue* registration)
{
    std::vector<wchar_t> name(info.longestValueName + 1);
    std::vector<BYTE> data(info.largestValue);
    for (DWORD index = 0; index < info.values; ++index) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        const LONG rc = registryCalls.enumValueW(original, index, name.data(), &nameSize, nullptr, &type,
                                                 data.data(), &dataSize);
        if (rc != ERROR_SUCCESS)
            return rc;
        if (registration && wcscmp(name.data(), kRegistrationValueW) == 0) {
            *registration = SavedValue{true, type, std::vector<BYTE>(data.begin(), data.begin() + dataSize)};
            continue;
        }
        const LONG written = registryCalls.setValueExW(copy, name.data(), 0, type, data.data(), dataSize);
        if (written != ERROR_SUCCESS)
            return written;
    }
    return ERROR_SUCCESS;
}

LONG CopyKey(HKEY original, HKEY copy, REGSAM view, SavedValue* registration);

LONG CopySubkeys(HKEY original, HKEY copy, const KeyInfo& info, REGSAM view)
{
    std::vector<wchar_t> name(info.longestSubkeyName + 1);
    std::vector<wchar_t> className(info.longestSubkeyClass + 1);
    for (DWORD index = 0; index < info.subkeys; ++index) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD classSize = static_cast<DWORD>(className.size());
        LONG rc = registryCalls.enumKeyExW(original, index, name.data(), &nameSize, nullptr, className.data(),
                                           &classSize, nullptr);
        if (rc != ERROR_SUCCESS)
            return rc;
        RegistryKey originalSubkey;
        rc = registryCalls.openKeyExW(original, name.data(), 0, KEY_READ | view, originalSubkey.Receive());
        if (rc != ERROR_SUCCESS)
            return rc;
        RegistryKey copySubkey;
        rc = CreateKeyWithClass(copy, name.data(), WideText(className.data(), className.data() + classSize + 1), view, copySubkey,
                                nullptr);
        if (rc != ERROR_SUCCESS)
            return rc;
        rc = CopyKey(originalSubkey.Get(), copySubkey.Get(), view, nullptr);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    return ERROR_SUCCESS;
}

// The security first: subkeys made afterwards inherit from the copy's own DACL, as the originals did.
LONG CopyKey(HKEY original, HKEY copy, REGSAM view, SavedValue* registration)
{
    KeyInfo info;
    LONG rc = QueryKeyInfo(original, info);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = CopyKeySecurity(original, copy);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = CopyValues(original, copy, info, registration);
    if (rc != ERROR_SUCCESS)
        return rc;
    return CopySubkeys(original, copy, info, view);
}

}  // namespace

LONG ReadClassName(HKEY key, WideText& className)
{
    KeyInfo info;
    const LONG rc = QueryKeyInfo(key, info);
    className = info.className;
    return rc;
}

LONG CreateKeyWithClass(HKEY parent, const wchar_t* name, WideText className, REGSAM view, RegistryKey& key,
                        DWORD* disposition)
{
    const bool hasClass = className.size() > 1;
    return registryCalls.createKeyExW(parent, name, 0, hasClass ? className.data() : nullptr, 0,
                                      KEY_ALL_ACCESS | view, nullptr, key.Receive(), disposition);
}

LONG CopyTree(HKEY original, HKEY copy, REGSAM view)
{
    SavedValue registration;
    const LONG rc = CopyKey(original, copy, view, &registration);
    if (rc != ERROR_SUCCESS || !registration.found)
        return rc;
    return registryCalls.setValueExW(copy, kRegistrationValueW, 0, registration.type, registration.data.data(),
                                     static_cast<DWORD>(registration.data.size()));
}
