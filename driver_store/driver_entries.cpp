// Deciding which subkeys are driver entries and listing them, with the buffer sizes the registry calls are given.
#include "driver_entries.h"

#include "list_redraw.h"
#include "registry_calls.h"

#include <cstring>

const DriverLocation kActiveLocation = {kActiveLocationPath, 124};
const DriverLocation kHiddenLocation = {kHiddenLocationPath, 121};

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

// A key whose information cannot be read counts as empty, and the call's code is returned. A class name too long
// for the buffer is the one failure that still fills the counts (ERROR_MORE_DATA), and they are used then.
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
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA)
        return ERROR_SUCCESS;
    counts = KeyCounts();
    return rc;
}

// Where the system ignores the programs' UTF-8 code page, a name outside the ANSI code page comes back converted
// (question marks, or a best-fit look-alike that may name another key). Such a name is compared with the true one
// and left out unless it is the same name.
bool CarriedWhole(HKEY location, DWORD index, const char* name)
{
    if (GetACP() == CP_UTF8)
        return true;
    wchar_t trueName[256] = {};
    DWORD size = 256;
    if (registryCalls.enumKeyExW(location, index, trueName, &size, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
        return false;
    char converted[kSubkeyNameBufferSize] = {};
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, trueName, -1, converted, sizeof converted,
                                           nullptr, &lossy);
    return length > 0 && !lossy && std::strcmp(converted, name) == 0;
}

int CharacterCount(const char* name)
{
    return MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0) - 1;
}

}  // namespace

LONG OpenLocation(const char* path, REGSAM access, RegistryKey& key)
{
    return registryCalls.openKeyEx(HKEY_LOCAL_MACHINE, path, 0, access, key.Receive());
}

LONG OpenLocationForListing(const DriverLocation& location, RegistryKey& key)
{
    return OpenLocation(location.path, KEY_ALL_ACCESS, key);
}

LONG OpenActiveLocationAtStart(RegistryKey& key)
{
    const LONG rc = OpenLocationForListing(kActiveLocation, key);
    if (rc != ERROR_FILE_NOT_FOUND)
        return rc;
    RegistryKey hidden;
    if (OpenLocationForListing(kHiddenLocation, hidden) != ERROR_SUCCESS || ListDriverEntries(hidden.Get()).empty())
        return rc;
    hidden.Close();
    return registryCalls.createKeyEx(HKEY_LOCAL_MACHINE, kActiveLocationPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                     key.Receive(), nullptr);
}

bool SubkeyHasValue(HKEY parent, const char* subkeyName, const char* valueName, REGSAM view)
{
    RegistryKey subkey;
    if (registryCalls.openKeyEx(parent, subkeyName, 0, KEY_READ | view, subkey.Receive()) != ERROR_SUCCESS)
        return false;
    bool found = false;
    // Listing takes a value it cannot read for one that is not there.
    FindValue(subkey.Get(), valueName, found);
    return found;
}

LONG FindValue(HKEY key, const char* valueName, bool& found)
{
    found = false;
    KeyCounts counts;
    LONG failure = QueryKeyCounts(key, counts);
    char name[kValueNameBufferSize];
    for (DWORD index = 0; index < counts.values; ++index) {
        DWORD nameSize = kValueNameSize;
        name[0] = '\0';
        const LONG rc = registryCalls.enumValue(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        // An index gone meanwhile is no failure; any other is, and the walk goes on to find the value all the same.
        if (rc != ERROR_SUCCESS) {
            if (rc != ERROR_NO_MORE_ITEMS && failure == ERROR_SUCCESS)
                failure = rc;
            continue;
        }
        if (std::strcmp(name, valueName) == 0)
            found = true;
    }
    return found ? ERROR_SUCCESS : failure;
}

std::vector<std::string> ListDriverEntries(HKEY location, REGSAM view)
{
    std::vector<std::string> entries;
    KeyCounts counts;
    // A location that cannot be counted lists nothing.
    QueryKeyCounts(location, counts);
    for (DWORD index = 0; index < counts.subkeys; ++index) {
        char name[kSubkeyNameBufferSize] = {};
        DWORD nameSize = kSubkeyNameBufferSize;
        FILETIME lastWrite = {};
        // Fails for an index gone meanwhile, which is skipped.
        const LONG rc =
            registryCalls.enumKeyEx(location, index, name, &nameSize, nullptr, nullptr, nullptr, &lastWrite);
        if (rc != ERROR_SUCCESS || CharacterCount(name) > kLongestListedName || !CarriedWhole(location, index, name))
            continue;
        if (SubkeyHasValue(location, name, kRegistrationValue, view))
            entries.push_back(name);
    }
    return entries;
}

void FillDriverList(HKEY location, HWND dialog, const DriverLocation& shownIn)
{
    // Looked up once: under Wine each look-up asks the server for the dialog's children.
    HWND list = GetDlgItem(dialog, shownIn.listId);
    const std::vector<std::string> names = ListDriverEntries(location);
    // Each added item would otherwise update the scroll bar and redraw, many times the registry's cost.
    ListRedrawPaused paused(list);
    size_t bytes = 0;
    for (const std::string& name : names)
        bytes += name.size() + 1;
    SendMessageA(list, LB_INITSTORAGE, names.size(), bytes);
    for (const std::string& name : names)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}
