// Class names and security of registry keys, read and written with the platform's own calls.
#include "key_looks.h"

#include "registry_key.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <winternl.h>
#include <vector>

// Documented for drivers as the Zw calls; the headers for programs do not declare them.
extern "C" NTSTATUS NTAPI NtSetValueKey(HANDLE key, PUNICODE_STRING name, ULONG index, ULONG type, PVOID data,
                                        ULONG size);
extern "C" NTSTATUS NTAPI NtCreateKey(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, ULONG index,
                                      PUNICODE_STRING keyClass, ULONG options, PULONG disposition);
extern "C" NTSTATUS NTAPI NtOpenKey(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes);
extern "C" NTSTATUS NTAPI NtDeleteKey(HANDLE key);
extern "C" NTSTATUS NTAPI NtQueryKey(HANDLE key, int informationClass, PVOID information, ULONG size, PULONG length);

namespace {

std::string Sddl(PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION part)
{
    char* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, part, &text, nullptr))
        return "unreadable";
    std::string result(text);
    LocalFree(text);
    return result;
}

constexpr int kKeyNameInformation = 3;

// A name as the native calls take it: counted, so a NUL in it is part of it.
UNICODE_STRING Counted(const std::wstring& name)
{
    UNICODE_STRING counted;
    counted.Buffer = const_cast<wchar_t*>(name.data());
    counted.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    counted.MaximumLength = counted.Length;
    return counted;
}

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// The key's name as the kernel knows it ("\REGISTRY\USER\..."), which a link's target must be.
std::wstring KernelName(HKEY key)
{
    std::vector<BYTE> buffer(2048);
    ULONG length = 0;
    const NTSTATUS status =
        NtQueryKey(key, kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &length);
    EXPECT_EQ(0, status) << "NtQueryKey";
    const ULONG nameLength = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* name = reinterpret_cast<const wchar_t*>(buffer.data() + sizeof(ULONG));
    return status == 0 ? std::wstring(name, nameLength / sizeof(wchar_t)) : std::wstring();
}

void ReadInto(HKEY key, const std::string& below, std::map<std::string, KeyLook>& looks)
{
    KeyLook& look = looks[below];
    wchar_t className[256] = {};
    DWORD classSize = 256;
    DWORD subkeys = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(key, className, &classSize, nullptr, &subkeys, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr, nullptr))
        << "RegQueryInfoKeyW(\"" << below << "\")";
    look.className.assign(className, classSize);
    std::vector<BYTE> descriptor(4096);
    DWORD size = static_cast<DWORD>(descriptor.size());
    EXPECT_EQ(ERROR_SUCCESS, RegGetKeySecurity(key, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                               descriptor.data(), &size))
        << "RegGetKeySecurity(\"" << below << "\")";
    look.dacl = Sddl(descriptor.data(), DACL_SECURITY_INFORMATION);
    look.owner = Sddl(descriptor.data(), OWNER_SECURITY_INFORMATION);
    for (DWORD index = 0; index < subkeys; ++index) {
        char name[256] = {};
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        HKEY subkey = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &subkey) != ERROR_SUCCESS)
            continue;
        ReadInto(subkey, below.empty() ? name : below + "\\" + name, looks);
        RegCloseKey(subkey);
    }
}

}  // namespace

void PrintTo(const KeyLook& look, std::ostream* os)
{
    *os << "class \"" << std::string(look.className.begin(), look.className.end()) << "\", " << look.dacl << ", "
        << look.owner;
}

std::map<std::string, KeyLook> ReadKeyLooks(HKEY root, const std::string& path)
{
    std::map<std::string, KeyLook> looks;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return looks;
    ReadInto(key, "", looks);
    RegCloseKey(key);
    return looks;
}

void CreateKeyWithClass(HKEY root, const std::string& path, const std::wstring& className,
                        const RegistryTree& values)
{
    const std::wstring widePath(path.begin(), path.end());
    std::wstring classBuffer = className;
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, widePath.c_str(), 0, classBuffer.data(), 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr))
        << "RegCreateKeyExW(\"" << path << "\")";
    for (const auto& [name, value] : values.values)
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name.c_str(), 0, value.type,
                                                reinterpret_cast<const BYTE*>(value.data.data()),
                                                static_cast<DWORD>(value.data.size())))
            << path << " " << name;
    RegCloseKey(key);
}

void SetDacl(HKEY root, const std::string& path, const char* sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        << sddl;
    HKEY key = nullptr;
    // Only the right it needs: a DACL that denies the others can be set again.
    const LONG opened = RegOpenKeyExA(root, path.c_str(), 0, WRITE_DAC, &key);
    EXPECT_EQ(ERROR_SUCCESS, opened) << "RegOpenKeyExA(\"" << path << "\")";
    if (opened == ERROR_SUCCESS) {
        EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor)) << path << " " << sddl;
        RegCloseKey(key);
    }
    LocalFree(descriptor);
}

std::string EntriesInForce(const std::string& dacl)
{
    std::string entries = "D:";
    for (size_t open = dacl.find('('); open != std::string::npos; open = dacl.find('(', open + 1)) {
        const size_t close = dacl.find(')', open);
        std::string entry = dacl.substr(open, close - open + 1);
        const size_t flagsAt = entry.find(';') + 1;
        const size_t flagsEnd = entry.find(';', flagsAt);
        std::string flags;
        for (size_t at = flagsAt; at + 1 < flagsEnd; at += 2)
            if (entry.compare(at, 2, "ID") != 0)
                flags += entry.substr(at, 2);
        entries += entry.substr(0, flagsAt) + flags + entry.substr(flagsEnd);
    }
    return entries;
}

std::map<std::string, KeyLook> LooksInForce(std::map<std::string, KeyLook> looks)
{
    for (auto& [below, look] : looks)
        look.dacl = EntriesInForce(look.dacl);
    return looks;
}

namespace {

// Opens or creates a subkey by its counted name, a link as a link.
HANDLE OpenSubkeyItself(HKEY root, const std::string& path, const std::wstring& name, bool create)
{
    RegistryKey parent;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, parent.Receive())) << path;
    UNICODE_STRING counted = Counted(name);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &counted, OBJ_CASE_INSENSITIVE | OBJ_OPENLINK, parent.Get(), nullptr);
    HANDLE key = nullptr;
    const NTSTATUS status = create ? NtCreateKey(&key, KEY_ALL_ACCESS, &attributes, 0, nullptr, 0, nullptr)
                                   : NtOpenKey(&key, KEY_ALL_ACCESS, &attributes);
    EXPECT_EQ(0, status) << path << (create ? ": NtCreateKey" : ": NtOpenKey");
    return status == 0 ? key : nullptr;
}

}  // namespace

void CreateSubkeyWithNulInName(HKEY root, const std::string& path, const std::wstring& name)
{
    if (HANDLE key = OpenSubkeyItself(root, path, name, true))
        RegCloseKey(static_cast<HKEY>(key));
}

void DeleteKeyItself(HKEY root, const std::string& path, const std::wstring& name)
{
    if (HANDLE key = OpenSubkeyItself(root, path, name, false)) {
        EXPECT_EQ(0, NtDeleteKey(key)) << path;
        RegCloseKey(static_cast<HKEY>(key));
    }
}

void CreateLink(HKEY root, const std::string& path, const std::string& machineTarget)
{
    RegistryKey targetKey;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, machineTarget.c_str(), 0, KEY_READ, targetKey.Receive()))
        << machineTarget;
    const std::wstring target = KernelName(targetKey.Get());
    RegistryKey link;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, Wide(path).c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                                             KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, link.Receive(), nullptr))
        << path;
    // Its length without a terminator, as the registry takes a link's target.
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(link.Get(), L"SymbolicLinkValue", 0, REG_LINK,
                                            reinterpret_cast<const BYTE*>(target.data()),
                                            static_cast<DWORD>(target.size() * sizeof(wchar_t))))
        << path;
}

void SetExactValue(HKEY root, const std::string& path, const std::wstring& name, const RegistryValue& value)
{
    RegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, key.Receive())) << path;
    UNICODE_STRING counted = Counted(name);
    EXPECT_EQ(0, NtSetValueKey(key.Get(), &counted, 0, value.type, const_cast<char*>(value.data.data()),
                               static_cast<ULONG>(value.data.size())))
        << path;
}

RegistryValue ExactValue(HKEY root, const std::string& path, const std::wstring& name)
{
    RegistryValue value;
    RegistryKey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return RegistryValue{};
    value.data.resize(size);
    RegQueryValueExW(key.Get(), name.c_str(), nullptr, &value.type, reinterpret_cast<BYTE*>(value.data.data()),
                     &size);
    value.data.resize(size);
    return value;
}
