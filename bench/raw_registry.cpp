// Raw baselines of the registry rows: the listing with the store's calls, and a move loop with the shell's copy.
#include "raw_registry.h"

#include <shlwapi.h>
#include <cstring>

namespace {

DWORD CountOf(HKEY key, bool subkeys)
{
    char className[260] = {};
    DWORD classSize = sizeof className;
    DWORD subkeyCount = 0, maxSubkeyName = 0, maxClass = 0, valueCount = 0, maxValueName = 0, maxValue = 0,
          security = 0;
    FILETIME lastWrite = {};
    if (RegQueryInfoKeyA(key, className, &classSize, nullptr, &subkeyCount, &maxSubkeyName, &maxClass, &valueCount,
                         &maxValueName, &maxValue, &security, &lastWrite) != ERROR_SUCCESS)
        return 0;
    return subkeys ? subkeyCount : valueCount;
}

bool HasClsid(HKEY location, const char* name)
{
    HKEY entry = nullptr;
    if (RegOpenKeyExA(location, name, 0, KEY_READ, &entry) != ERROR_SUCCESS)
        return false;
    bool found = false;
    char valueName[16384];
    for (DWORD index = 0, count = CountOf(entry, false); index < count; ++index) {
        DWORD size = 16383;
        valueName[0] = '\0';
        if (RegEnumValueA(entry, index, valueName, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
            std::strcmp(valueName, "CLSID") == 0)
            found = true;
    }
    RegCloseKey(entry);
    return found;
}

}  // namespace

int RawListDrivers(const char* path, void (*onEntry)(const char* name, void* context), void* context)
{
    HKEY location = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &location) != ERROR_SUCCESS)
        return 0;
    int listed = 0;
    for (DWORD index = 0, count = CountOf(location, true); index < count; ++index) {
        char name[256] = {};
        DWORD size = 255;
        FILETIME lastWrite = {};
        if (RegEnumKeyExA(location, index, name, &size, nullptr, nullptr, nullptr, &lastWrite) != ERROR_SUCCESS)
            continue;
        if (HasClsid(location, name)) {
            ++listed;
            if (onEntry)
                onEntry(name, context);
        }
    }
    RegCloseKey(location);
    return listed;
}

int RawMoveAll(const char* sourcePath, const char* destinationPath, const std::vector<std::string>& names)
{
    HKEY source = nullptr;
    HKEY destination = nullptr;
    const LONG sourceOpened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, sourcePath, 0, KEY_ALL_ACCESS, &source);
    const LONG destinationOpened = RegCreateKeyExA(HKEY_LOCAL_MACHINE, destinationPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                   nullptr, &destination, nullptr);
    int moved = 0;
    if (sourceOpened == ERROR_SUCCESS && destinationOpened == ERROR_SUCCESS) {
        for (const std::string& name : names) {
            HKEY copy = nullptr;
            DWORD disposition = 0;
            if (RegCreateKeyExA(destination, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &copy,
                                &disposition) != ERROR_SUCCESS)
                continue;
            const LONG copied = SHCopyKeyA(source, name.c_str(), copy, 0);
            RegCloseKey(copy);
            if (copied == ERROR_SUCCESS && SHDeleteKeyA(source, name.c_str()) == ERROR_SUCCESS)
                ++moved;
        }
    }
    if (sourceOpened == ERROR_SUCCESS)
        RegCloseKey(source);
    if (destinationOpened == ERROR_SUCCESS)
        RegCloseKey(destination);
    return moved;
}
