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

// A DACL's entries as they are in force, in their order: each without its mark of being inherited, and without the
// DACL's own flags (protection, auto-inheritance).
std::string EntriesInForce(const std::string& dacl);

// Every key of root\path, by its path below it ("" for the key itself).
std::map<std::string, KeyLook> ReadKeyLooks(HKEY root, const std::string& path);
// The same looks with each DACL as its entries in force.
std::map<std::string, KeyLook> LooksInForce(std::map<std::string, KeyLook> looks);
// Creates root\path with a class name (the registry takes one only when it makes the key, and Wine clears it when
// the key is created again) and writes the tree's own values into it, through the same handle.
void CreateKeyWithClass(HKEY root, const std::string& path, const std::wstring& className,
                        const RegistryTree& values);
// Gives root\path the DACL of an SDDL string such as "D:P(A;CI;KA;;;BA)".
void SetDacl(HKEY root, const std::string& path, const char* sddl);

// Keys that the Win32 calls cannot make, made through the native ones: a subkey of root\path whose name holds a NUL
// (the Win32 calls end a name there), and root\path made a registry link to the existing key
// HKEY_LOCAL_MACHINE\target (the sandbox's, where one is in force).
void CreateSubkeyWithNulInName(HKEY root, const std::string& path, const std::wstring& name);
void CreateLink(HKEY root, const std::string& path, const std::string& machineTarget);
// Deletes a subkey that has no subkeys by its exact name, a link itself rather than what it points to: such keys
// are beyond the Win32 calls, and the sandbox's clean-up, made of them, would stop at them.
void DeleteKeyItself(HKEY root, const std::string& path, const std::wstring& name);
// A value's type and bytes exactly as given and as stored, under its name exactly as given (a NUL in it included):
// RegSetValueExA and RegSetValueExW add a string's missing terminator when the bytes after it are NUL, and the A
// forms convert strings.
void SetExactValue(HKEY root, const std::string& path, const std::wstring& name, const RegistryValue& value);
RegistryValue ExactValue(HKEY root, const std::string& path, const std::wstring& name);
