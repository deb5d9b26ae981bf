// Copying and deleting registry trees key by key: values and subkeys as they are, each key with its class name and
// its security, and never through a registry link.
#pragma once

#include "registry_key.h"

#include <windows.h>

#include <vector>

// UTF-16 text with its terminator. Not std::wstring, whose library instantiation would add tens of kilobytes to
// each program.
using WideText = std::vector<wchar_t>;

struct ValueImage {
    WideText name;
    DWORD type = REG_NONE;
    DWORD size = 0;
    // `size` bytes as stored, then two that are not NUL: RegSetValueExW adds a terminator to a string value whose
    // bytes are followed by one, and would read past data that ended there.
    std::vector<BYTE> data;
};

// A key as read, with all that its copy is made of.
struct KeyImage {
    WideText name;  // as the parent lists it; empty for the top key
    WideText className;
    std::vector<BYTE> security;  // owner and DACL, self-relative
    std::vector<ValueImage> values;
    std::vector<KeyImage> subkeys;
};

// Reads the tree of `key` into `image`, each subkey opened as itself, never through a link. Before anything is
// written, a tree that could not be written back as it is comes back refused: kNameCutShortError for a value, subkey
// or class name with a NUL in it (the calls that write names end them there), kRegistryLinkError for a link key.
// Otherwise returns the first failing call's code.
LONG ReadKeyImage(HKEY key, REGSAM view, KeyImage& image);
// Creates (or opens) parent\name with full access and the class name; `view` is OR-ed into the access.
LONG CreateKeyWithClass(HKEY parent, const wchar_t* name, const WideText& className, REGSAM view, RegistryKey& key,
                        DWORD* disposition);
// Writes the image's security, values and subkeys into `copy`, made with the image's class. The top key's "CLSID"
// value, in whatever letter case, is written last, once the rest of the tree is whole, so that a copy cut short at
// any point is no registration. Returns the first failing call's code; the copy is then incomplete and without it.
LONG WriteKeyImage(const KeyImage& image, HKEY copy, REGSAM view);
// Deletes parent\name and the keys below it that the image of its tree names, bottom up, each key opened as itself:
// a link found in a key's place is deleted as a link, and what it points to is never reached. Returns the first
// failing call's code; what was deleted stays so.
LONG DeleteTree(HKEY parent, const wchar_t* name, const KeyImage& image, REGSAM view);
// The same for a key already open as itself with DELETE access, which is not opened again by its name.
LONG DeleteOpenTree(HKEY key, const KeyImage& image, REGSAM view);
