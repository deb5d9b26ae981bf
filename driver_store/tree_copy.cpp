// The tree copy of a move: the whole tree is read and judged first, then written. The W forms carry names, classes
// and string data unconverted, whatever the code page.
#include "tree_copy.h"

#include "driver_entries.h"
#include "key_security.h"
#include "registry_calls.h"
#include "system_error_text.h"

#include <cwchar>

namespace {

constexpr wchar_t kRegistrationValueW[] = L"CLSID";
// What a link key holds: the path of the key it stands for.
constexpr wchar_t kLinkValueW[] = L"SymbolicLinkValue";
constexpr REGSAM kDeleteAccess = DELETE;

// A name the registry gave with `length` characters that a NUL ends earlier: written back, it would be cut there.
bool CutShortByNul(const wchar_t* name, DWORD length)
{
    return std::wcslen(name) != length;
}

// The sizes a key's enumeration needs, in characters without the terminator, and bytes of the largest value.
struct KeyInfo {
    DWORD subkeys = 0;
    DWORD longestSubkeyName = 0;
    DWORD values = 0;
    DWORD longestValueName = 0;
    DWORD largestValue = 0;
};

LONG QueryKeyInfo(HKEY key, KeyInfo& info, WideText& className)
{
    // Asked twice only for a class name longer than a short guess: the first answer gives its length.
    className.resize(64);
    for (;;) {
        DWORD classSize = static_cast<DWORD>(className.size());
        const LONG rc = registryCalls.queryInfoKeyW(key, className.data(), &classSize, nullptr, &info.subkeys,
                                                    &info.longestSubkeyName, nullptr, &info.values,
                                                    &info.longestValueName, &info.largestValue, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA && classSize >= className.size()) {
            className.resize(classSize + 1);
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return rc;
        if (CutShortByNul(className.data(), classSize))
            return kNameCutShortError;
        className.resize(classSize + 1);
        return ERROR_SUCCESS;
    }
}

LONG ReadValues(HKEY key, const KeyInfo& info, KeyImage& image)
{
    std::vector<wchar_t> name(info.longestValueName + 1);
    for (DWORD index = 0; index < info.values; ++index) {
        ValueImage value;
        value.data.resize(info.largestValue + sizeof(wchar_t));
        DWORD nameSize = static_cast<DWORD>(name.size());
        value.size = info.largestValue;
        const LONG rc = registryCalls.enumValueW(key, index, name.data(), &nameSize, nullptr, &value.type,
                                                 value.data.data(), &value.size);
        if (rc != ERROR_SUCCESS)
            return rc;
        if (CutShortByNul(name.data(), nameSize))
            return kNameCutShortError;
        if (value.type == REG_LINK && SameRegistryName(name.data(), kLinkValueW))
            return kRegistryLinkError;
        value.name.assign(name.data(), name.data() + nameSize + 1);
        value.data.resize(value.size);
        value.data.insert(value.data.end(), sizeof(wchar_t), 0xFF);
        image.values.push_back(std::move(value));
    }
    return ERROR_SUCCESS;
}

LONG ReadSubkeys(HKEY key, const KeyInfo& info, REGSAM view, KeyImage& image)
{
    std::vector<wchar_t> name(info.longestSubkeyName + 1);
    for (DWORD index = 0; index < info.subkeys; ++index) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        LONG rc = registryCalls.enumKeyExW(key, index, name.data(), &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS)
            return rc;
        if (CutShortByNul(name.data(), nameSize))
            return kNameCutShortError;
        RegistryKey subkey;
        // Opened as itself: a link is then seen as a link rather than as the key it points to.
        rc = registryCalls.openKeyExW(key, name.data(), REG_OPTION_OPEN_LINK, KEY_READ | view, subkey.Receive());
        if (rc != ERROR_SUCCESS)
            return rc;
        image.subkeys.emplace_back();
        image.subkeys.back().name.assign(name.data(), name.data() + nameSize + 1);
        rc = ReadKeyImage(subkey.Get(), view, image.subkeys.back());
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    return ERROR_SUCCESS;
}

LONG WriteValue(HKEY copy, const ValueImage& value)
{
    return registryCalls.setValueExW(copy, value.name.data(), 0, value.type, value.data.data(), value.size);
}

LONG WriteKey(const KeyImage& image, HKEY copy, REGSAM view, bool top)
{
    // The security first: subkeys made afterwards inherit from the copy's own DACL, as the originals did.
    LONG rc = ApplyKeySecurity(image.security, copy);
    if (rc != ERROR_SUCCESS)
        return rc;
    const ValueImage* registration = nullptr;
    for (const ValueImage& value : image.values) {
        if (top && SameRegistryName(value.name.data(), kRegistrationValueW)) {
            registration = &value;
            continue;
        }
        rc = WriteValue(copy, value);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    for (const KeyImage& subimage : image.subkeys) {
        RegistryKey subkey;
        rc = CreateKeyWithClass(copy, subimage.name.data(), subimage.className, view, subkey, nullptr);
        if (rc != ERROR_SUCCESS)
            return rc;
        rc = WriteKey(subimage, subkey.Get(), view, false);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    return registration ? WriteValue(copy, *registration) : ERROR_SUCCESS;
}

}  // namespace

LONG ReadKeyImage(HKEY key, REGSAM view, KeyImage& image)
{
    KeyInfo info;
    LONG rc = QueryKeyInfo(key, info, image.className);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = ReadKeySecurity(key, image.security);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = ReadValues(key, info, image);
    if (rc != ERROR_SUCCESS)
        return rc;
    return ReadSubkeys(key, info, view, image);
}

LONG CreateKeyWithClass(HKEY parent, const wchar_t* name, const WideText& className, REGSAM view, RegistryKey& key,
                        DWORD* disposition)
{
    const bool hasClass = className.size() > 1;
    // The call takes a class it does not change through a pointer that is not const.
    wchar_t* classText = hasClass ? const_cast<wchar_t*>(className.data()) : nullptr;
    return registryCalls.createKeyExW(parent, name, 0, classText, 0, KEY_ALL_ACCESS | view, nullptr, key.Receive(),
                                      disposition);
}

LONG WriteKeyImage(const KeyImage& image, HKEY copy, REGSAM view)
{
    return WriteKey(image, copy, view, true);
}

LONG DeleteOpenTree(HKEY key, const KeyImage& image, REGSAM view)
{
    for (const KeyImage& subimage : image.subkeys) {
        const LONG rc = DeleteTree(key, subimage.name.data(), subimage, view);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    // Through the handle: it reaches the key opened, a link as a link. A key that has gained subkeys since it was
    // read is refused, and stays.
    return registryCalls.deleteOpenKey(key);
}

LONG DeleteTree(HKEY parent, const wchar_t* name, const KeyImage& image, REGSAM view)
{
    RegistryKey key;
    const LONG rc = registryCalls.openKeyExW(parent, name, REG_OPTION_OPEN_LINK, kDeleteAccess | view, key.Receive());
    // A key of the image that is not there is already as the delete would leave it: a copy cut short lacks some.
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS)
        return rc;
    return DeleteOpenTree(key.Get(), image, view);
}
