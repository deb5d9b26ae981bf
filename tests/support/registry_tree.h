// Whole registry trees as values: seed a key from one, read a key into one, compare and print them.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>
#include <map>
#include <ostream>
#include <string>
#include <vector>

struct RegistryValue {
    DWORD type = REG_NONE;
    std::string data;  // raw bytes as stored

    bool operator==(const RegistryValue& other) const { return type == other.type && data == other.data; }
};

// Orders and matches names as the registry does: without regard to letter case.
struct RegistryNameOrder {
    bool operator()(const std::string& a, const std::string& b) const;
};

// The text with its ASCII letters in lower case: one spelling for the tests' ASCII names and paths, whatever their
// letter case.
std::string Lowered(std::string text);

struct RegistryTree {
    std::map<std::string, RegistryValue, RegistryNameOrder> values;
    std::map<std::string, RegistryTree, RegistryNameOrder> subkeys;

    bool operator==(const RegistryTree& other) const;
    bool operator!=(const RegistryTree& other) const { return !(*this == other); }

    RegistryTree& Value(const std::string& name, DWORD type, const std::string& data);
    RegistryTree& String(const std::string& name, const std::string& text);  // REG_SZ with its terminator
    RegistryTree& Dword(const std::string& name, DWORD number);
    RegistryTree& Subkey(const std::string& name, const RegistryTree& tree);
};

// Creates root\path (and its parents) and writes the tree into it.
void WriteTree(HKEY root, const std::string& path, const RegistryTree& tree);
// Reads every value and subkey under root\path; an absent key reads as an empty tree.
RegistryTree ReadTree(HKEY root, const std::string& path);
bool KeyExists(HKEY root, const std::string& path);

// Whether HKEY_LOCAL_MACHINE\path exists and holds exactly the tree, with both trees in the failure message.
::testing::AssertionResult MachineKeyHolds(const std::string& path, const RegistryTree& expected);

// A location's tree split by entry names: the named subkeys alone, and the rest.
RegistryTree Only(const RegistryTree& all, const std::vector<std::string>& names);
RegistryTree Without(const RegistryTree& all, const std::vector<std::string>& names);

void PrintTo(const RegistryTree& tree, std::ostream* os);
