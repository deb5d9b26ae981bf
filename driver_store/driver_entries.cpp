// Deciding which subkeys are driver entries and reading their names, with the buffer sizes the registry calls are
// given.
#include "driver_entries.h"

#include "registry_calls.h"

#include <cstring>

namespace {

constexpr DWORD kClassBufferSize = 260;
// A registry name is at most 255 characters, and one character may take three bytes in UTF-8, the code page the
// programs ask for. The longest name listed is 254 characters, counted as the registry counts them.
constexpr DWORD kSubkeyNameBufferSize = 3 * 255 + 1;
constexpr int kLongestListedName = 254;
constexpr DWORD kValueNameBufferSize = 16384;
constexpr DWORD kValueNameSize = 16383;

struct KeyCounts {
    DWORD subkeys = 0;
    DWORD values = 0;
};

// A class name too long for the buffer is the one failure that still fills the counts (ERROR_MORE_DATA), and they
// are used then.
LONG QueryKeyCounts(HKEY key, KeyCounts& counts)
{
    char className[kClassBufferSize] = {};
    DWORD classSize = kClassBufferSize;
    DWORD maxSubkeyNameSize = 0;
    DWORD maxClassSize = 0;
    DWORD maxValueNameSize = 0;
    DWORD maxValueSize = 0;
    DWORD securityDescriptorSize = 0;
    FILETIME lastWrite = {};
    const LONG rc = registryCalls.queryInfoKey(key, className, &classSize, nullptr, &counts.subkeys, &maxSubkeyNameSize,
                                               &maxClassSize, &counts.values, &maxValueNameSize, &maxValueSize,
                                               &securityDescriptorSize, &lastWrite);
    if (rc == ERROR_MORE_DATA)
        return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS)
        counts = KeyCounts();
    return rc;
}

// Where the system ignores the programs' UTF-8 code page, a name outside the ANSI code page comes back converted
// (question marks, or a best-fit look-alike that may name another key). Such a name is compared with the true one
// and left out unless it is the same name. Returns the failure of the call that reads the true name.
LONG CarriedWhole(HKEY location, DWORD index, const char* name, bool& whole)
{
    whole = true;
    if (GetACP() == CP_UTF8)
        return ERROR_SUCCESS;
    whole = false;
    wchar_t trueName[256] = {};
    DWORD size = 256;
    const LONG rc = registryCalls.enumKeyExW(location, index, trueName, &size, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    char converted[kSubkeyNameBufferSize] = {};
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, trueName, -1, converted, sizeof converted,
                                           nullptr, &lossy);
    whole = length > 0 && !lossy && std::strcmp(converted, name) == 0;
    return ERROR_SUCCESS;
}

int CharacterCount(const char* name)
{
    return MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0) - 1;
}

// The first failure is the one reported.
void KeepFirst(LONG& first, LONG rc)
{
    if (first == ERROR_SUCCESS)
        first = rc;
}

// An exact name is looked for among the names the subkey enumerates: the registry itself would match any case.
LONG FindExactValue(HKEY subkey, const char* valueName)
{
    KeyCounts counts;
    LONG failure = QueryKeyCounts(subkey, counts);
    char name[kValueNameBufferSize];
    for (DWORD index = 0; index < counts.values; ++index) {
        DWORD nameSize = kValueNameSize;
        name[0] = '\0';
        const LONG rc =
            registryCalls.enumValue(subkey, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            KeepFirst(failure, rc);
        else if (std::strcmp(name, valueName) == 0)
            return ERROR_SUCCESS;
    }
    return failure != ERROR_SUCCESS ? failure : ERROR_FILE_NOT_FOUND;
}

LONG ReadEntries(HKEY location, REGSAM view, NameCase registration, std::vector<std::string>& entries)
{
    std::vector<std::string> names;
    LONG failure = ReadSubkeyNames(location, names);
    for (const std::string& name : names) {
        const LONG rc = FindValue(location, name.c_str(), kRegistrationValue, registration, view);
        if (rc == ERROR_SUCCESS)
            entries.push_back(name);
        else if (rc != ERROR_FILE_NOT_FOUND)
            KeepFirst(failure, rc);
    }
    return failure;
}

}  // namespace

LONG OpenLocation(const char* path, REGSAM access, RegistryKey& key)
{
    return key.Open(HKEY_LOCAL_MACHINE, path, access);
}

LONG OpenActiveLocation(REGSAM access, NameCase registration, RegistryKey& key)
{
    const LONG rc = OpenLocation(kActiveLocationPath, access, key);
    if (rc != ERROR_FILE_NOT_FOUND)
        return rc;
    std::vector<std::string> parked;
    {
        RegistryKey hidden;
        // Whatever cannot be read of the hidden location, the active one stays as it is: gone.
        if (OpenLocation(kHiddenLocationPath, KEY_READ | key.View(), hidden) != ERROR_SUCCESS ||
            ReadDriverEntries(hidden, registration, parked) != ERROR_SUCCESS || parked.empty())
            return rc;
    }
    return key.Create(HKEY_LOCAL_MACHINE, kActiveLocationPath, access);
}

LONG FindValue(HKEY parent, const char* subkeyName, const char* valueName, NameCase match, REGSAM view)
{
    RegistryKey subkey;
    const LONG rc = subkey.Open(parent, subkeyName, KEY_READ | view);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (match == NameCase::Exact)
        return FindExactValue(subkey.Get(), valueName);
    return registryCalls.queryValueEx(subkey.Get(), valueName, nullptr, nullptr, nullptr, nullptr);
}

bool SameRegistryName(const wchar_t* a, const wchar_t* b)
{
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

LONG ReadSubkeyNames(HKEY key, std::vector<std::string>& names)
{
    KeyCounts counts;
    LONG failure = QueryKeyCounts(key, counts);
    for (DWORD index = 0; index < counts.subkeys; ++index) {
        char name[kSubkeyNameBufferSize] = {};
        DWORD nameSize = kSubkeyNameBufferSize;
        FILETIME lastWrite = {};
        LONG rc = registryCalls.enumKeyEx(key, index, name, &nameSize, nullptr, nullptr, nullptr, &lastWrite);
        // An index gone meanwhile is no failure: the key changed while it was read.
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        bool whole = false;
        if (rc == ERROR_SUCCESS)
            rc = CarriedWhole(key, index, name, whole);
        if (rc != ERROR_SUCCESS)
            KeepFirst(failure, rc);
        else if (whole && CharacterCount(name) <= kLongestListedName)
            names.push_back(name);
    }
    return failure;
}

LONG ReadDriverEntries(const RegistryKey& location, NameCase registration, std::vector<std::string>& entries)
{
    return ReadEntries(location.Get(), location.View(), registration, entries);
}

std::vector<std::string> ListDriverEntries(HKEY location, REGSAM view)
{
    std::vector<std::string> entries;
    // The dialog lists what it can read: a failure loses only the entries it was about, and the user sees which are
    // missing from the list.
    static_cast<void>(ReadEntries(location, view, NameCase::Exact, entries));
    return entries;
}
