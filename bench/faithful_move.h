// The faithful baseline of a move: a loop copying what the store's move copies, the same way, and nothing around it.
#pragma once

#include "registry_calls.h"

#include <windows.h>
#include <string>
#include <vector>

// Moves source\name to destination\name through `calls`, in the W forms: each key with its class name, its DACL and
// owner read and written to the copy only where the copy's differ, and its values and subkeys; the entry's "CLSID"
// value written to the copy last and taken off the source before its delete. True when it moved.
bool FaithfulMoveEntry(const RegistryCalls& calls, HKEY source, HKEY destination, const std::string& name);
// Opens HKEY_LOCAL_MACHINE\sourcePath and opens or creates destinationPath, as a move command does, then moves
// each named entry. Returns how many moved.
int FaithfulMoveAll(const RegistryCalls& calls, const char* sourcePath, const char* destinationPath,
                    const std::vector<std::string>& names);
