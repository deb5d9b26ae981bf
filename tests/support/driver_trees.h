// Invented driver registrations as installers write them, for the tests of the store and of the dialog.
#pragma once

#include "registry_tree.h"

#include <string>
#include <vector>

// One registration: values of several types, an empty one, and nested subkeys; the tag makes it unique.
RegistryTree DriverTree(const std::string& tag);
// A location holding one registration per name, each tagged with its own name.
RegistryTree Drivers(const std::vector<std::string>& names);

// Subkeys of a location tree that hold a "CLSID" value, sorted.
std::vector<std::string> DriverNames(const RegistryTree& location);
// Whether a subkey holds a "CLSID" value of its own, which makes hosts load it.
bool IsRegistration(const RegistryTree& subkey);
std::vector<std::string> Sorted(std::vector<std::string> names);
