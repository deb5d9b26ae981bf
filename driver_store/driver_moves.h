// Moving driver entries between the active and the hidden location: the ">>" and "<<" commands.
#pragma once

#include "registry_key.h"

#include <windows.h>

enum class MoveResult {
    Moved,       // the entry is now in the destination only
    NameTakenByDevice,    // the destination already had a driver entry of that name; neither location was touched
    NameTakenByOtherKey,  // the destination already had a subkey of that name that is no driver entry; as above
    Failed,      // nothing changed: the entry is still in the source only
    LeftInBoth,  // copied, but the source could be neither deleted nor put back whole: both locations hold it
};

// Opens the active location and opens or creates the hidden one; on failure neither stays open.
bool OpenLocations(RegistryKey& active, RegistryKey& hidden);
MoveResult MoveEntry(HKEY source, HKEY destination, const char* name);
// Moves the selected items of one list; true when at least one item was selected.
bool MoveSelected(HKEY source, HKEY destination, HWND dialog, int sourceListId, int destinationListId,
                  const char* destinationPath);
void HideSelected(HWND dialog);
void RestoreSelected(HWND dialog);
