// The two registry locations, which of their subkeys are driver entries, and listing those into a driver list.
#pragma once

#include "registry_key.h"

#include <windows.h>
#include <string>
#include <vector>

// Both under HKEY_LOCAL_MACHINE: the one ASIO hosts enumerate, and the one hidden drivers are parked in.
constexpr char kActiveLocationPath[] = "Software\\ASIO";
constexpr char kHiddenLocationPath[] = "Software\\ASIO Quimble";
// A direct subkey holding a value of this name is a driver registration: hosts load whatever holds one.
constexpr char kRegistrationValue[] = "CLSID";

// A location and the dialog's list that shows it.
struct DriverLocation {
    const char* path;
    int listId;
};
extern const DriverLocation kActiveLocation;
extern const DriverLocation kHiddenLocation;

// Opens HKEY_LOCAL_MACHINE\path; `access` carries any registry-view flag. Returns the registry's code.
LONG OpenLocation(const char* path, REGSAM access, RegistryKey& key);
// Opens a location to list it, with the full access the dialog has always asked for.
LONG OpenLocationForListing(const DriverLocation& location, RegistryKey& key);
// Opens the active location for the dialog's start. Where it is gone but hidden drivers are parked (an uninstaller
// removing the last driver may delete it), it is made again, empty, so that they can still be restored.
LONG OpenActiveLocationAtStart(RegistryKey& key);

// True when parent\subkeyName holds a value named exactly valueName (case-sensitive).
bool SubkeyHasValue(HKEY parent, const char* subkeyName, const char* valueName, REGSAM view = 0);
// Whether the open key holds a value named exactly valueName, in `found`. Returns the first failing call's code
// unless the value was found all the same.
LONG FindValue(HKEY key, const char* valueName, bool& found);
// Names of the direct subkeys that hold a "CLSID" value, in the registry's enumeration order. `view` is OR-ed into
// every open. A name the code page cannot carry whole is left out: acting on it could reach another key.
std::vector<std::string> ListDriverEntries(HKEY location, REGSAM view = 0);
// Adds the location's entries to its list, which repaints once at the end.
void FillDriverList(HKEY location, HWND dialog, const DriverLocation& shownIn);
