// The bench of the driver store's command tests.
#include "store_bench.h"

#include "driver_entries.h"
#include "driver_moves.h"
#include "registry_key.h"

#include <gtest/gtest.h>

const Direction kHide = {"hide",         HideSelected,       kActiveList,
                         kHiddenList,    &Locations::active, &Locations::hidden,
                         kHiddenPath,    kHideNothingSelectedText};
const Direction kRestore = {"restore",   RestoreSelected,    kHiddenList,
                            kActiveList, &Locations::hidden, &Locations::active,
                            kActivePath, kRestoreNothingSelectedText};

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

void StoreBench::Start(const Locations& locations, int listId, const Names& selected)
{
    start = locations;
    WriteLocations(locations);
    for (const auto& [path, list] : {std::pair{kActivePath, kActiveList}, std::pair{kHiddenPath, kHiddenList}}) {
        RegistryKey location;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, location.Receive()) == ERROR_SUCCESS)
            FillDriverList(location.Get(), host.Window(), list);
    }
    ASSERT_TRUE(SelectNamedItems(host.Window(), listId, selected)) << "an item to select is not in list " << listId;
}
