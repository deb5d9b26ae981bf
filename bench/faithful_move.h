// The faithful baseline of a move: a loop copying what the store's move copies, the same way, and nothing around it.
#pragma once

#include "registry_calls.h"

#include <windows.h>
#include <string>
#include <vector>

// Moves source\name to destination\name through the store's call table (which the call count replaces), in the W
// forms, each key opened as itself (a link as a link): each key with its class name, its DACL and owner read and
// written to the copy only where the copy's differ, and its values and subkeys; the entry's "CLSID" value, in any
// letter case, written to the copy last and taken off the source first; then the source deleted by handle, key by
// key, bottom up. The entry is opened once for all of it. True when it moved.
bool FaithfulMoveEntry(HKEY source, HKEY destination, const std::string& name);
// Opens HKEY_LOCAL_MACHINE\sourcePath and opens or creates destinationPath, as a move command does, then moves
// each named entry. Returns how many moved.
int FaithfulMoveAll(const char* sourcePath, const char* destinationPath, const std::vector<std::string>& names);
