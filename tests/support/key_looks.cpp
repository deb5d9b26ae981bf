// Class names and security of registry keys, read and written with the platform's own calls.
#include "key_looks.h"


#include <gtest/gtest.h>
#include <sddl.h>
#include <vector>

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
    const LONG opened = RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    EXPECT_EQ(ERROR_SUCCESS, opened) << "RegOpenKeyExA(\"" << path << "\")";
    if (opened == ERROR_SUCCESS) {
        EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor)) << path << " " << sddl;
        RegCloseKey(key);
    }
    LocalFree(descriptor);
}
