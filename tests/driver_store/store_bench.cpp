// The bench of the driver store's command tests.
#include "store_bench.h"

#include "driver_lists.h"
#include "registry_key.h"

#include <gtest/gtest.h>

const Direction kHide = {"hide",      kHideDirection,           kActiveList,
                         kHiddenList, &Locations::active,       &Locations::hidden,
                         kHiddenPath, kHideNothingSelectedText, "hidden"};
const Direction kRestore = {"restore",   kRestoreDirection,           kHiddenList,
                            kActiveList, &Locations::hidden,          &Locations::active,
                            kActivePath, kRestoreNothingSelectedText, "active"};

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
    FillAndSelect(listId, selected);
}

void StoreBench::FillAndSelect(int listId, const Names& selected)
{
    for (const DriverLocation* shown : {&kActiveLocation, &kHiddenLocation}) {
        RegistryKey location;
        if (OpenLocationForListing(*shown, location) == ERROR_SUCCESS)
            FillDriverList(location.Get(), host.Window(), *shown);
    }
    ASSERT_TRUE(SelectNamedItems(host.Window(), listId, selected)) << "an item to select is not in list " << listId;
}
