// Sample driver registrations, and the two locations read back as trees, for the driver store's tests.
#pragma once

#include "expected_texts.h"
#include "list_host.h"
#include "registry_tree.h"

#include <string>
#include <vector>

// A registration as installers write them: values of several types, an empty one, and nested subkeys.
RegistryTree DriverTree(const std::string& tag);

struct Locations {
    RegistryTree active;
    RegistryTree hidden;
    bool hiddenExists = false;
};
Locations ReadLocations();
void WriteLocations(const Locations& locations);

// Subkeys of a location tree that hold a "CLSID" value, sorted.
std::vector<std::string> DriverNames(const RegistryTree& location);
std::vector<std::string> Sorted(std::vector<std::string> names);

// Fills a host's lists the way the main dialog does, from whichever locations exist.
void FillListsFromRegistry(const ListHost& host);
// Selects the named item; fails the test when the list has no such item.
void SelectByName(const ListHost& host, int listId, const std::string& name);
