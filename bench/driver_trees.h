// Invented driver entries shaped like installed ones, written into the benchmark prefix's driver locations.
#pragma once

#include <string>
#include <vector>

std::string DriverName(int index);
// The names of drivers 1 to count.
std::vector<std::string> DriverNames(int count);

// Deletes both locations with everything in them.
void ClearLocations();
// Clears both locations, then writes drivers 1 to count into the active one and creates the hidden one empty, so
// that the program starts without its first-use help. Each entry is a tree like an installed driver's: a dozen
// values of the usual types and a few nested subkeys. A seeding that fails ends the benchmark with what failed.
void SeedDriverTrees(int count);
