// Test data and views shared by the driver store's test files.
#include "driver_trees.h"

#include "driver_entries.h"
#include "registry_key.h"

#include <gtest/gtest.h>
#include <algorithm>

namespace {

RegistryTree SettingsTree(const std::string& tag)
{
    const RegistryTree deepest = RegistryTree().Value("Raw", REG_BINARY, tag + std::string(2, '\0'));
    const RegistryTree channels = RegistryTree().String("Left", "1").Subkey("Deepest", deepest);
    return RegistryTree().Dword("Rate", 48000).Subkey("Channels", channels);
}

}  // namespace

RegistryTree DriverTree(const std::string& tag)
{
    return RegistryTree()
        .String("CLSID", "{8A3D6C10-" + tag + "}")
        .String("Description", tag + " ASIO Driver")
        .String("", "")
        .Dword("Flags", 0x80000001)
        .Value("Blob", REG_BINARY, std::string("\0\x01\xfe\xff", 4) + tag)
        .Value("Ports", REG_MULTI_SZ, std::string("In 1\0In 2\0", 10) + tag + std::string("\0\0", 2))
        .Value("Empty", REG_BINARY, "")
        .Subkey("Firmware", RegistryTree().String("Version", "1.2." + tag))
        .Subkey("Settings", SettingsTree(tag));
}

Locations ReadLocations()
{
    Locations locations;
    locations.active = ReadTree(HKEY_LOCAL_MACHINE, kActivePath);
    locations.hidden = ReadTree(HKEY_LOCAL_MACHINE, kHiddenPath);
    locations.hiddenExists = KeyExists(HKEY_LOCAL_MACHINE, kHiddenPath);
    return locations;
}

void WriteLocations(const Locations& locations)
{
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath, locations.active);
    if (locations.hiddenExists)
        WriteTree(HKEY_LOCAL_MACHINE, kHiddenPath, locations.hidden);
}

std::vector<std::string> DriverNames(const RegistryTree& location)
{
    std::vector<std::string> names;
    for (const auto& [name, subtree] : location.subkeys)
        if (subtree.values.count("CLSID"))
            names.push_back(name);
    return Sorted(names);
}

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

void FillListsFromRegistry(const ListHost& host)
{
    for (const auto& [path, listId] : {std::pair{kActivePath, kActiveListId}, std::pair{kHiddenPath, kHiddenListId}}) {
        RegistryKey location;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, location.Receive()) == ERROR_SUCCESS)
            FillDriverList(location.Get(), host.Window(), listId);
    }
}

void SelectByName(const ListHost& host, int listId, const std::string& name)
{
    const std::vector<std::string> items = host.Items(listId);
    const auto found = std::find(items.begin(), items.end(), name);
    ASSERT_NE(items.end(), found) << "no item \"" << name << "\" in list " << listId;
    host.Select(listId, static_cast<int>(found - items.begin()));
}
