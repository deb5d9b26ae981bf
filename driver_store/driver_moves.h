// Moving driver entries between the active and the hidden location: the ">>" and "<<" commands.
#pragma once

#include "registry_key.h"

#include <windows.h>

// Whatever the outcome, each entry stays complete and registered in at least one location. A delete cut short may
// leave remains of an entry behind, but never with its "CLSID" value: remains are no registration.
enum class MoveResult {
    Moved,                // the destination holds the entry; the source no longer holds it as a registration
    NameTakenByDevice,    // the destination already had a driver entry of that name; neither location was touched
    NameTakenByOtherKey,  // the destination already had a subkey of that name that is no driver entry; as above
    Failed,               // the source still holds the entry; the destination does not hold it as a registration
    LeftInBoth,           // copied, but the copy could be neither kept alone nor taken back: both hold it whole
};

// Opens the active location and opens or creates the hidden one; on failure neither stays open.
bool OpenLocations(RegistryKey& active, RegistryKey& hidden);
MoveResult MoveEntry(HKEY source, HKEY destination, const char* name);
// Moves the selected items of one list; true when at least one item was selected.
bool MoveSelected(HKEY source, HKEY destination, HWND dialog, int sourceListId, int destinationListId,
                  const char* destinationPath);
void HideSelected(HWND dialog);
void RestoreSelected(HWND dialog);
