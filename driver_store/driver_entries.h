// The two registry locations, which of their subkeys are driver entries, and reading their names.
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

// How a value's name is matched: exactly, as the dialog lists drivers, or in any letter case, as the registry (and
// so every host) reads a value.
enum class NameCase { Exact, Any };

// Opens HKEY_LOCAL_MACHINE\path; `access` carries the view, which the key keeps. Returns the registry's code.
[[nodiscard]] LONG OpenLocation(const char* path, REGSAM access, RegistryKey& key);
// The one rule that makes the active location again: opened with `access`, and where it is gone but the hidden
// location (of the same view) holds drivers, made again, empty, so that they can still be restored (an uninstaller
// removing its last driver may delete it).
[[nodiscard]] LONG OpenActiveLocation(REGSAM access, NameCase registration, RegistryKey& key);

// ERROR_SUCCESS when parent\subkeyName holds a value named valueName, ERROR_FILE_NOT_FOUND when it does not (or the
// subkey is gone), else the code of the call that failed. `view` is OR-ed into the open.
[[nodiscard]] LONG FindValue(HKEY parent, const char* subkeyName, const char* valueName, NameCase match,
                             REGSAM view);

// Whether two names are one to the registry, which matches names without regard to letter case; so do the hosts
// that look a registration up.
bool SameRegistryName(const wchar_t* a, const wchar_t* b);

// The names of the direct subkeys, in the registry's enumeration order. A name the code page cannot carry whole is
// left out: acting on it could reach another key. Returns the first failure other than an index gone meanwhile;
// the names that could be read are given all the same.
[[nodiscard]] LONG ReadSubkeyNames(HKEY key, std::vector<std::string>& names);
// The subkeys that hold a registration value, in the registry's enumeration order; as ReadSubkeyNames.
[[nodiscard]] LONG ReadDriverEntries(const RegistryKey& location, NameCase registration,
                                     std::vector<std::string>& entries);
// The dialog's listing: the subkeys that hold a value named exactly "CLSID", opened in `view`. What cannot be read is
// left out, which loses at most the entries a failed call was about.
std::vector<std::string> ListDriverEntries(HKEY location, REGSAM view = 0);
