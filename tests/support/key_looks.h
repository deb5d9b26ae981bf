// What a registry tree holds beyond its values and subkeys: each key's class name, its DACL and its owner.
#pragma once

#include "registry_tree.h"

#include <windows.h>
#include <map>
#include <ostream>
#include <string>

struct KeyLook {
    std::wstring className;
    std::string dacl;   // as SDDL: the protected flag, then every entry, inherited ones marked ID
    std::string owner;  // as SDDL

    bool operator==(const KeyLook& other) const
    {
        return className == other.className && dacl == other.dacl && owner == other.owner;
    }
};
void PrintTo(const KeyLook& look, std::ostream* os);

// Every key of root\path, by its path below it ("" for the key itself).
std::map<std::string, KeyLook> ReadKeyLooks(HKEY root, const std::string& path);
// Creates root\path with a class name (the registry takes one only when it makes the key, and Wine clears it when
// the key is created again) and writes the tree's own values into it, through the same handle.
void CreateKeyWithClass(HKEY root, const std::string& path, const std::wstring& className,
                        const RegistryTree& values);
// Gives root\path the DACL of an SDDL string such as "D:P(A;CI;KA;;;BA)".
void SetDacl(HKEY root, const std::string& path, const char* sddl);
