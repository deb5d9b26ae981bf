// The two registry locations, which of their subkeys are driver entries, and listing those into a driver list.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

// Both under HKEY_LOCAL_MACHINE: the one ASIO hosts enumerate, and the one hidden drivers are parked in.
constexpr char kActiveLocationPath[] = "Software\\ASIO";
constexpr char kHiddenLocationPath[] = "Software\\ASIO Quimble";
// A direct subkey holding a value of this name is a driver registration: hosts load whatever holds one.
constexpr char kRegistrationValue[] = "CLSID";

// True when parent\subkeyName holds a value named exactly valueName (case-sensitive).
bool SubkeyHasValue(HKEY parent, const char* subkeyName, const char* valueName);
// Names of the direct subkeys that hold a "CLSID" value, in the registry's enumeration order.
std::vector<std::string> ListDriverEntries(HKEY location);
void FillDriverList(HKEY location, HWND dialog, int listId);
