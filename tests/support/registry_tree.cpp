// Seeding and reading whole registry trees with the registry's own enumeration calls.
#include "registry_tree.h"

#include "registry_key.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cctype>
#include <vector>

namespace {

std::wstring Wide(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                           static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length : 0);
    return wide;
}

// Names that the registry takes for one and the same, with equal contents.
template <typename Map>
bool SameEntries(const Map& a, const Map& b)
{
    const RegistryNameOrder less;
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](const auto& x, const auto& y) {
               return !less(x.first, y.first) && !less(y.first, x.first) && x.second == y.second;
           });
}

}  // namespace

bool RegistryNameOrder::operator()(const std::string& a, const std::string& b) const
{
    const std::wstring wideA = Wide(a);
    const std::wstring wideB = Wide(b);
    return CompareStringOrdinal(wideA.data(), static_cast<int>(wideA.size()), wideB.data(),
                                static_cast<int>(wideB.size()), TRUE) == CSTR_LESS_THAN;
}

std::string Lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool RegistryTree::operator==(const RegistryTree& other) const
{
    return SameEntries(values, other.values) && SameEntries(subkeys, other.subkeys);
}

RegistryTree& RegistryTree::Value(const std::string& name, DWORD type, const std::string& data)
{
    values[name] = RegistryValue{type, data};
    return *this;
}

RegistryTree& RegistryTree::String(const std::string& name, const std::string& text)
{
    return Value(name, REG_SZ, std::string(text.c_str(), text.size() + 1));
}

RegistryTree& RegistryTree::Dword(const std::string& name, DWORD number)
{
    return Value(name, REG_DWORD, std::string(reinterpret_cast<const char*>(&number), sizeof number));
}

RegistryTree& RegistryTree::Subkey(const std::string& name, const RegistryTree& tree)
{
    subkeys[name] = tree;
    return *this;
}

void WriteTree(HKEY root, const std::string& path, const RegistryTree& tree)
{
    RegistryKey key;
    LONG rc = RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr);
    ASSERT_EQ(ERROR_SUCCESS, rc) << "RegCreateKeyExA(\"" << path << "\")";
    for (const auto& [name, value] : tree.values) {
        rc = RegSetValueExA(key.Get(), name.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(value.data.data()),
                            static_cast<DWORD>(value.data.size()));
        ASSERT_EQ(ERROR_SUCCESS, rc) << "RegSetValueExA(\"" << path << "\", \"" << name << "\")";
    }
    for (const auto& [name, subtree] : tree.subkeys)
        WriteTree(key.Get(), name, subtree);
}

RegistryTree ReadTree(HKEY root, const std::string& path)
{
    RegistryTree tree;
    RegistryKey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return tree;

    std::vector<char> name(16384);
    std::vector<BYTE> data(1024);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        LONG rc = RegEnumValueA(key.Get(), i, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        // The call has told how much the data needs; the same index is read again into a buffer that large.
        if (rc == ERROR_MORE_DATA && dataSize > data.size()) {
            data.resize(dataSize);
            --i;
            continue;
        }
        EXPECT_EQ(ERROR_SUCCESS, rc) << "RegEnumValueA(\"" << path << "\", " << i << ")";
        if (rc == ERROR_SUCCESS)
            tree.values[std::string(name.data(), nameSize)] =
                RegistryValue{type, std::string(reinterpret_cast<const char*>(data.data()), dataSize)};
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        LONG rc = RegEnumKeyExA(key.Get(), i, name.data(), &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        EXPECT_EQ(ERROR_SUCCESS, rc) << "RegEnumKeyExA(\"" << path << "\", " << i << ")";
        if (rc == ERROR_SUCCESS) {
            std::string subName(name.data(), nameSize);
            tree.subkeys[subName] = ReadTree(key.Get(), subName);
        }
    }
    return tree;
}

bool KeyExists(HKEY root, const std::string& path)
{
    RegistryKey key;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

namespace {

void PrintIndented(const RegistryTree& tree, std::ostream& os, int depth)
{
    const std::string indent(depth * 2, ' ');
    for (const auto& [name, value] : tree.values) {
        os << indent << '"' << name << "\" type " << value.type << ", " << value.data.size() << " bytes:";
        for (unsigned char c : value.data)
            os << ' ' << std::hex << static_cast<int>(c) << std::dec;
        os << '\n';
    }
    for (const auto& [name, subtree] : tree.subkeys) {
        os << indent << '[' << name << "]\n";
        PrintIndented(subtree, os, depth + 1);
    }
}

}  // namespace

void PrintTo(const RegistryTree& tree, std::ostream* os)
{
    *os << '\n';
    PrintIndented(tree, *os, 1);
}

RegistryTree Only(const RegistryTree& all, const std::vector<std::string>& names)
{
    RegistryTree part;
    for (const std::string& name : names)
        part.subkeys[name] = all.subkeys.at(name);
    return part;
}

RegistryTree Without(const RegistryTree& all, const std::vector<std::string>& names)
{
    RegistryTree rest = all;
    for (const std::string& name : names)
        rest.subkeys.erase(name);
    return rest;
}

::testing::AssertionResult MachineKeyHolds(const std::string& path, const RegistryTree& expected)
{
    if (!KeyExists(HKEY_LOCAL_MACHINE, path))
        return ::testing::AssertionFailure() << path << " does not exist";
    RegistryTree actual = ReadTree(HKEY_LOCAL_MACHINE, path);
    if (actual != expected)
        return ::testing::AssertionFailure() << path << " holds" << ::testing::PrintToString(actual) << "expected"
                                             << ::testing::PrintToString(expected);
    return ::testing::AssertionSuccess();
}
