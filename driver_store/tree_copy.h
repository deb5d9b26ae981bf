// Copying a registry tree key by key: values and subkeys as they are, each key with its class name and its security.
#pragma once

#include "registry_key.h"

#include <windows.h>

#include <vector>

// UTF-16 text with its terminator. Not std::wstring, whose library instantiation would add tens of kilobytes to
// each program.
using WideText = std::vector<wchar_t>;

LONG ReadClassName(HKEY key, WideText& className);
// Creates (or opens) parent\name with full access and the class name; `view` is OR-ed into the access.
LONG CreateKeyWithClass(HKEY parent, const wchar_t* name, WideText className, REGSAM view, RegistryKey& key,
                        DWORD* disposition);
// Copies the security, values and subkeys of `original` into `copy`, made with the original's class. The top key's
// "CLSID" value is written last, once the rest of the tree is whole, so that a copy cut short at any point is no
// registration. Returns the first failing call's code; the copy is then incomplete and without "CLSID".
LONG CopyTree(HKEY original, HKEY copy, REGSAM view);
