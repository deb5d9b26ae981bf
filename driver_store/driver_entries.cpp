// Deciding which subkeys are driver entries and listing them, with the buffer sizes the registry calls are given.
#include "driver_entries.h"

#include "registry_calls.h"
#include "registry_key.h"

#include <cstring>

namespace {

constexpr DWORD kClassBufferSize = 260;
// Sizes passed to the calls include the terminator, so the longest name that fits is one shorter.
constexpr DWORD kSubkeyNameBufferSize = 256;
constexpr DWORD kSubkeyNameSize = 255;
constexpr DWORD kValueNameBufferSize = 16384;
constexpr DWORD kValueNameSize = 16383;

struct KeyCounts {
    DWORD subkeys = 0;
    DWORD values = 0;
};

// A key whose information cannot be read counts as empty. A class name too long for the buffer is the one
// failure that still fills the counts (ERROR_MORE_DATA), and they are used then.
KeyCounts QueryKeyCounts(HKEY key)
{
    char className[kClassBufferSize] = {};
    DWORD classSize = kClassBufferSize;
    KeyCounts counts;
    DWORD maxSubkeyNameSize = 0;
    DWORD maxClassSize = 0;
    DWORD maxValueNameSize = 0;
    DWORD maxValueSize = 0;
    DWORD securityDescriptorSize = 0;
    FILETIME lastWrite = {};
    const LONG rc = registryCalls.queryInfoKey(key, className, &classSize, nullptr, &counts.subkeys, &maxSubkeyNameSize,
                                               &maxClassSize, &counts.values, &maxValueNameSize, &maxValueSize,
                                               &securityDescriptorSize, &lastWrite);
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA)
        return KeyCounts();
    return counts;
}

}  // namespace

bool SubkeyHasValue(HKEY parent, const char* subkeyName, const char* valueName)
{
    RegistryKey subkey;
    if (registryCalls.openKeyEx(parent, subkeyName, 0, KEY_READ, subkey.Receive()) != ERROR_SUCCESS)
        return false;

    const DWORD valueCount = QueryKeyCounts(subkey.Get()).values;
    char name[kValueNameBufferSize];
    bool found = false;
    for (DWORD index = 0; index < valueCount; ++index) {
        DWORD nameSize = kValueNameSize;
        name[0] = '\0';
        const LONG rc =
            registryCalls.enumValue(subkey.Get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS)
            continue;
        if (std::strcmp(name, valueName) == 0)
            found = true;
    }
    return found;
}

std::vector<std::string> ListDriverEntries(HKEY location)
{
    std::vector<std::string> entries;
    const DWORD subkeyCount = QueryKeyCounts(location).subkeys;
    for (DWORD index = 0; index < subkeyCount; ++index) {
        char name[kSubkeyNameBufferSize] = {};
        DWORD nameSize = kSubkeyNameSize;
        FILETIME lastWrite = {};
        // Fails for a name too long for the buffer, or an index gone meanwhile; either is skipped.
        const LONG rc =
            registryCalls.enumKeyEx(location, index, name, &nameSize, nullptr, nullptr, nullptr, &lastWrite);
        if (rc != ERROR_SUCCESS)
            continue;
        if (SubkeyHasValue(location, name, kRegistrationValue))
            entries.push_back(name);
    }
    return entries;
}

void FillDriverList(HKEY location, HWND dialog, int listId)
{
    // Looked up once: under Wine each look-up asks the server for the dialog's children.
    HWND list = GetDlgItem(dialog, listId);
    for (const std::string& name : ListDriverEntries(location))
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}
