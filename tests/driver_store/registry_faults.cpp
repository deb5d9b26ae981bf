// Failures look like real ones where that is cheap: a failing copy or delete does part of its work first.
#include "registry_faults.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

RegistryFaults* current = nullptr;

std::string FirstSubkeyName(HKEY key)
{
    char name[256] = {};
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return std::string();
    return name;
}

std::string FirstValueName(HKEY key)
{
    char name[16384] = {};
    DWORD size = sizeof name;
    if (RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return std::string();
    return name;
}

// Copies everything, then takes one subkey (or, without subkeys, one value) out of the copy again.
void CopyPartly(HKEY source, const char* name, HKEY destination)
{
    if (SHCopyKeyA(source, name, destination, 0) != ERROR_SUCCESS)
        return;
    const std::string subkey = FirstSubkeyName(destination);
    if (!subkey.empty())
        SHDeleteKeyA(destination, subkey.c_str());
    else
        RegDeleteValueA(destination, FirstValueName(destination).c_str());
}

// Deletes the first subkey of the tree, as a delete that stops half-way through leaves it.
void DeletePartly(HKEY parent, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    const std::string subkey = FirstSubkeyName(key);
    if (!subkey.empty())
        SHDeleteKeyA(key, subkey.c_str());
    RegCloseKey(key);
}

// Writes text into a failing call's name buffer, so a caller that ignores the failure reads a plausible name.
void LeaveStaleName(LPSTR buffer, LPDWORD size, const char* text)
{
    if (buffer && size && *size > std::strlen(text))
        std::strcpy(buffer, text);
}

LSTATUS WINAPI OpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    if (current->Fails("RegOpenKeyExA", key, subKey))
        return ERROR_ACCESS_DENIED;
    const LSTATUS rc = RegOpenKeyExA(key, subKey, options, access, result);
    if (rc == ERROR_SUCCESS)
        current->Opened(*result, key, subKey);
    return rc;
}

LSTATUS WINAPI CreateKeyEx(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                           LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition)
{
    if (current->Fails("RegCreateKeyExA", key, subKey))
        return ERROR_ACCESS_DENIED;
    const LSTATUS rc = RegCreateKeyExA(key, subKey, reserved, keyClass, options, access, security, result, disposition);
    if (rc == ERROR_SUCCESS)
        current->Opened(*result, key, subKey);
    return rc;
}

LSTATUS WINAPI QueryInfoKey(HKEY key, LPSTR keyClass, LPDWORD classSize, LPDWORD reserved, LPDWORD subkeys,
                            LPDWORD maxSubkeyNameSize, LPDWORD maxClassSize, LPDWORD values, LPDWORD maxValueNameSize,
                            LPDWORD maxValueSize, LPDWORD securityDescriptorSize, PFILETIME lastWrite)
{
    if (current->Fails("RegQueryInfoKeyA", key))
        return ERROR_ACCESS_DENIED;
    return RegQueryInfoKeyA(key, keyClass, classSize, reserved, subkeys, maxSubkeyNameSize, maxClassSize, values,
                            maxValueNameSize, maxValueSize, securityDescriptorSize, lastWrite);
}

LSTATUS WINAPI EnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR keyClass,
                         LPDWORD classSize, PFILETIME lastWrite)
{
    if (current->Fails("RegEnumKeyExA", key)) {
        // A neighbour's name, as a buffer reused from the previous index would hold.
        DWORD staleSize = nameSize ? *nameSize : 0;
        RegEnumKeyExA(key, index == 0 ? 1 : 0, name, &staleSize, nullptr, nullptr, nullptr, nullptr);
        return ERROR_MORE_DATA;
    }
    return RegEnumKeyExA(key, index, name, nameSize, reserved, keyClass, classSize, lastWrite);
}

LSTATUS WINAPI EnumValue(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPDWORD type,
                         LPBYTE data, LPDWORD dataSize)
{
    if (current->Fails("RegEnumValueA", key)) {
        LeaveStaleName(name, nameSize, "CLSID");
        return ERROR_MORE_DATA;
    }
    return RegEnumValueA(key, index, name, nameSize, reserved, type, data, dataSize);
}

DWORD WINAPI CopyKey(HKEY source, LPCSTR name, HKEY destination, DWORD reserved)
{
    // About the key written to: where a copy lacks permission, every copy into that key fails.
    if (current->Fails("SHCopyKeyA", destination)) {
        CopyPartly(source, name, destination);
        return ERROR_ACCESS_DENIED;
    }
    return SHCopyKeyA(source, name, destination, reserved);
}

DWORD WINAPI DeleteKey(HKEY parent, LPCSTR name)
{
    current->Deleting(parent, name);
    if (current->Fails("SHDeleteKeyA", parent, name)) {
        DeletePartly(parent, name);
        return ERROR_ACCESS_DENIED;
    }
    return SHDeleteKeyA(parent, name);
}

LSTATUS WINAPI DeleteValue(HKEY key, LPCSTR valueName)
{
    if (current->Fails("RegDeleteValueA", key))
        return ERROR_ACCESS_DENIED;
    return RegDeleteValueA(key, valueName);
}

// A failing close still closes: a handle that is really gone is what a failed close leaves in practice.
LSTATUS WINAPI CloseKey(HKEY key)
{
    const bool fails = current->Fails("RegCloseKey", key);
    current->Closed(key);
    const LSTATUS rc = RegCloseKey(key);
    return fails ? ERROR_INVALID_HANDLE : rc;
}

}  // namespace

RegistryFaults::RegistryFaults() : previous_(registryCalls), outer_(current)
{
    current = this;
    registryCalls = RegistryCalls{OpenKeyEx, CreateKeyEx, QueryInfoKey, EnumKeyEx, EnumValue,
                                  CopyKey,   DeleteKey,   DeleteValue,  CloseKey};
}

RegistryFaults::~RegistryFaults()
{
    registryCalls = previous_;
    current = outer_;
}

void RegistryFaults::FailCallNumber(int number)
{
    failingNumbers_.insert(number);
}

void RegistryFaults::FailCall(const std::string& callName, int occurrence)
{
    failingOccurrences_.insert({callName, occurrence});
}

int RegistryFaults::CountOf(const std::string& callName) const
{
    const auto found = counts_.find(callName);
    return found == counts_.end() ? 0 : found->second;
}

bool RegistryFaults::Fails(const char* callName, HKEY key, const char* subkeyName)
{
    calls_.push_back(callName);
    const int occurrence = ++counts_[callName];
    const std::pair<std::string, std::string> onKey{callName, PathOf(key, subkeyName)};
    const bool fails = failingNumbers_.count(static_cast<int>(calls_.size())) > 0 ||
                       failingOccurrences_.count({callName, occurrence}) > 0 ||
                       failingOnKey_.count(onKey) > 0;
    if (fails && failuresPersist_)
        failingOnKey_.insert(onKey);
    return fails;
}

void RegistryFaults::Opened(HKEY key, HKEY parent, const char* subkeyName)
{
    openKeys_.insert(key);
    paths_[key] = PathOf(parent, subkeyName);
}

void RegistryFaults::Deleting(HKEY parent, const char* subkeyName)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, subkeyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    if (RegQueryValueExA(key, "CLSID", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        ++registeredTreesDeleted_;
    RegCloseKey(key);
}

void RegistryFaults::Closed(HKEY key)
{
    paths_.erase(key);
    if (openKeys_.erase(key) == 0)
        ++strayCloses_;
}

std::string RegistryFaults::PathOf(HKEY key, const char* subkeyName) const
{
    const auto known = paths_.find(key);
    // A root, or a key the test opened itself: its handle is all there is to go by.
    std::string path = known != paths_.end() ? known->second : std::to_string(reinterpret_cast<UINT_PTR>(key));
    if (subkeyName && *subkeyName)
        path += "\\" + std::string(subkeyName);
    std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return std::tolower(c); });
    return path;
}
