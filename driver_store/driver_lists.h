// The dialog's driver lists on top of the store: filling a list from its location, and the ">>" and "<<" commands
// that move the selected items.
#pragma once

#include "driver_entries.h"
#include "driver_moves.h"

#include <windows.h>

// A location and the dialog's list that shows it.
struct DriverLocation {
    const char* path;
    int listId;
};
extern const DriverLocation kActiveLocation;
extern const DriverLocation kHiddenLocation;

// Opens a location to list it, with the full access the dialog has always asked for.
[[nodiscard]] LONG OpenLocationForListing(const DriverLocation& location, RegistryKey& key);
// Opens the active location for the dialog's start, made again where the store's rule says so.
[[nodiscard]] LONG OpenActiveLocationAtStart(RegistryKey& key);
// Adds the location's entries to its list, which repaints once at the end.
void FillDriverList(HKEY location, HWND dialog, const DriverLocation& shownIn);

// One move command: where it takes entries from, where it puts them, and what it says when nothing was selected.
struct MoveDirection {
    const DriverLocation& source;
    const DriverLocation& destination;
    const char* nothingSelected;
    const char* destinationWord;  // "hidden" or "active", as the boxes call a copy there
};
extern const MoveDirection kHideDirection;
extern const MoveDirection kRestoreDirection;

// The command of one direction on the dialog's lists: moves the selected items, asks once whether those registered
// again are to replace their older copies, and says what was not done.
void MoveSelected(const MoveDirection& direction, HWND dialog);
void HideSelected(HWND dialog);
void RestoreSelected(HWND dialog);
