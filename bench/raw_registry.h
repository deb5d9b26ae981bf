// The benchmark's baselines for the registry work: the platform calls the driver store makes, with nothing else.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

// Lists the driver entries of HKEY_LOCAL_MACHINE\path as the store does: opens the location, counts its subkeys,
// and opens each one to look for a "CLSID" value among its value names. Calls onEntry for each; returns how many.
int RawListDrivers(const char* path, void (*onEntry)(const char* name, void* context), void* context);

// Moves each named entry from one location to the other the shell's way: create the destination subkey, copy the
// tree into it with SHCopyKeyA, which leaves class names and security behind, delete the source. Both locations are
// opened (the destination created) first. Returns how many moved.
int RawMoveAll(const char* sourcePath, const char* destinationPath, const std::vector<std::string>& names);
