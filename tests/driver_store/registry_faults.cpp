// Failures look like real ones where that is cheap: a failing enumeration leaves a plausible name behind.
#include "registry_faults.h"

#include "driver_entries.h"
#include "registry_tree.h"

#include <algorithm>
#include <cstring>

namespace {

RegistryFaults* current = nullptr;

std::string Utf8(const wchar_t* text)
{
    if (!text)
        return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    return result;
}

// A names are in this process's code page; the paths are kept in UTF-8 so that both forms of a name meet.
std::string Utf8(const char* text)
{
    if (!text)
        return std::string();
    std::wstring wide(MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), static_cast<int>(wide.size()));
    return Utf8(wide.c_str());
}

// Writes text into a failing call's name buffer, so a caller that ignores the failure reads a plausible name.
void LeaveStaleName(LPSTR buffer, LPDWORD size, const char* text)
{
    if (buffer && size && *size > std::strlen(text))
        std::strcpy(buffer, text);
}

LSTATUS WINAPI OpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    if (current->Fails("RegOpenKeyExA", key, Utf8(subKey)))
        return ERROR_ACCESS_DENIED;
    const LSTATUS rc = RegOpenKeyExA(key, subKey, options, access, result);
    if (rc == ERROR_SUCCESS)
        current->Opened(*result, key, Utf8(subKey));
    return rc;
}

LSTATUS WINAPI OpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    if (current->Fails("RegOpenKeyExW", key, Utf8(subKey)))
        return ERROR_ACCESS_DENIED;
    const LSTATUS rc = RegOpenKeyExW(key, subKey, options, access, result);
    if (rc == ERROR_SUCCESS)
        current->Opened(*result, key, Utf8(subKey));
    return rc;
}

LSTATUS WINAPI CreateKeyEx(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                           LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition)
{
    if (current->Fails("RegCreateKeyExA", key, Utf8(subKey)))
        return ERROR_ACCESS_DENIED;
    const LSTATUS rc = RegCreateKeyExA(key, subKey, reserved, keyClass, options, access, security, result, disposition);
    if (rc == ERROR_SUCCESS)
        current->Opened(*result, key, Utf8(subKey));
    return rc;
}

LSTATUS WINAPI CreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM access,
                            LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition)
{
    if (current->Fails("RegCreateKeyExW", key, Utf8(subKey)))
        return ERROR_ACCESS_DENIED;
    const LSTATUS rc = RegCreateKeyExW(key, subKey, reserved, keyClass, options, access, security, result, disposition);
    if (rc == ERROR_SUCCESS)
        current->Opened(*result, key, Utf8(subKey));
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

LSTATUS WINAPI QueryInfoKeyW(HKEY key, LPWSTR keyClass, LPDWORD classSize, LPDWORD reserved, LPDWORD subkeys,
                             LPDWORD maxSubkeyNameSize, LPDWORD maxClassSize, LPDWORD values, LPDWORD maxValueNameSize,
                             LPDWORD maxValueSize, LPDWORD securityDescriptorSize, PFILETIME lastWrite)
{
    if (current->Fails("RegQueryInfoKeyW", key))
        return ERROR_ACCESS_DENIED;
    return RegQueryInfoKeyW(key, keyClass, classSize, reserved, subkeys, maxSubkeyNameSize, maxClassSize, values,
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

LSTATUS WINAPI EnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD reserved, LPWSTR keyClass,
                          LPDWORD classSize, PFILETIME lastWrite)
{
    if (current->Fails("RegEnumKeyExW", key))
        return ERROR_ACCESS_DENIED;
    return RegEnumKeyExW(key, index, name, nameSize, reserved, keyClass, classSize, lastWrite);
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

LSTATUS WINAPI EnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD reserved, LPDWORD type,
                          LPBYTE data, LPDWORD dataSize)
{
    if (current->Fails("RegEnumValueW", key))
        return ERROR_ACCESS_DENIED;
    return RegEnumValueW(key, index, name, nameSize, reserved, type, data, dataSize);
}

LSTATUS WINAPI QueryValueEx(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (current->Fails("RegQueryValueExA", key))
        return ERROR_ACCESS_DENIED;
    return RegQueryValueExA(key, name, reserved, type, data, size);
}

LSTATUS WINAPI SetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    if (current->Fails("RegSetValueExW", key))
        return ERROR_ACCESS_DENIED;
    return RegSetValueExW(key, name, reserved, type, data, size);
}

LSTATUS WINAPI GetKeySecurity(HKEY key, SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR descriptor, LPDWORD size)
{
    if (current->Fails("RegGetKeySecurity", key))
        return ERROR_ACCESS_DENIED;
    return RegGetKeySecurity(key, parts, descriptor, size);
}

LSTATUS WINAPI SetKeySecurity(HKEY key, SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR descriptor)
{
    if (current->Fails("RegSetKeySecurity", key))
        return ERROR_ACCESS_DENIED;
    return RegSetKeySecurity(key, parts, descriptor);
}

LONG WINAPI DeleteKeyByHandle(HKEY key)
{
    const bool fails = current->Fails("NtDeleteKey", key);
    current->Deleting(key);
    return fails ? ERROR_ACCESS_DENIED : ::DeleteOpenKey(key);
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

FaultPoints FaultPointsOf(const std::vector<RegistryCall>& calls)
{
    FaultPoints points;
    std::map<std::pair<std::string, std::string>, int> seen;
    for (const RegistryCall& call : calls)
        points.push_back({call.name, call.path, ++seen[{call.name, call.path}]});
    return points;
}

std::string MachinePath(const std::string& path)
{
    return Lowered("hklm\\" + path);
}

std::string EntryOf(const std::string& path)
{
    for (const char* location : {kHiddenLocationPath, kActiveLocationPath}) {
        const std::string prefix = MachinePath(location) + "\\";
        if (path.compare(0, prefix.size(), prefix) == 0)
            return path.substr(prefix.size(), path.find('\\', prefix.size()) - prefix.size());
    }
    return std::string();
}

std::string Describe(const FaultPoint& point)
{
    return point.call + " on " + point.path + " #" + std::to_string(point.occurrence);
}

RegistryFaults::RegistryFaults() : previous_(registryCalls), outer_(current)
{
    current = this;
    registryCalls = RegistryCalls{OpenKeyEx,     OpenKeyExW,  CreateKeyEx,    CreateKeyExW,      QueryInfoKey,
                                  QueryInfoKeyW, EnumKeyEx,   EnumKeyExW,     EnumValue,         EnumValueW,
                                  QueryValueEx,  SetValueExW, GetKeySecurity, SetKeySecurity,    DeleteKeyByHandle,
                                  DeleteValue,   CloseKey};
}

RegistryFaults::~RegistryFaults()
{
    registryCalls = previous_;
    current = outer_;
}

void RegistryFaults::Fail(const FaultPoint& point)
{
    failing_.insert(point);
}

int RegistryFaults::CountOf(const std::string& callName) const
{
    return static_cast<int>(
        std::count_if(calls_.begin(), calls_.end(), [&](const RegistryCall& call) { return call.name == callName; }));
}

bool RegistryFaults::Fails(const char* callName, HKEY key, const std::string& subkeyName)
{
    // The observer's own reading (its scoped keys close through the table) is not the store's.
    if (observing_)
        return false;
    if (observer_) {
        observing_ = true;
        observer_();
        observing_ = false;
    }
    const std::string path = PathOf(key, subkeyName);
    calls_.push_back({callName, path});
    const int occurrence = ++occurrences_[{callName, path}];
    const bool fails = failing_.count({callName, path, occurrence}) > 0 || failingOnKey_.count({callName, path}) > 0;
    if (fails && failuresPersist_)
        failingOnKey_.insert({callName, path});
    return fails;
}

void RegistryFaults::Opened(HKEY key, HKEY parent, const std::string& subkeyName)
{
    if (observing_)
        return;
    openKeys_.insert(key);
    paths_[key] = PathOf(parent, subkeyName);
}

void RegistryFaults::Deleting(HKEY key)
{
    const std::string path = PathOf(key, std::string());
    for (const char* location : {kHiddenLocationPath, kActiveLocationPath}) {
        const std::string prefix = MachinePath(location) + "\\";
        if (path.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string entry = std::string(location) + "\\" + EntryOf(path);
        HKEY opened = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, entry.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
            return;
        if (RegQueryValueExA(opened, "CLSID", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            ++registeredTreesDeleted_;
        RegCloseKey(opened);
        return;
    }
}

void RegistryFaults::Closed(HKEY key)
{
    if (observing_)
        return;
    paths_.erase(key);
    if (openKeys_.erase(key) == 0)
        ++strayCloses_;
}

std::string RegistryFaults::PathOf(HKEY key, const std::string& subkeyName) const
{
    const auto known = paths_.find(key);
    std::string path;
    if (known != paths_.end())
        path = known->second;
    else if (key == HKEY_LOCAL_MACHINE)
        path = "hklm";
    else if (key == HKEY_CLASSES_ROOT)
        path = "hkcr";
    else  // a key the test opened itself: its handle is all there is to go by
        path = std::to_string(reinterpret_cast<UINT_PTR>(key));
    if (!subkeyName.empty())
        path += "\\" + subkeyName;
    return Lowered(path);
}
