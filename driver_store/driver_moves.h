// Moving driver entries between the active and the hidden location: the ">>" and "<<" commands.
#pragma once

#include "driver_entries.h"
#include "registry_key.h"

#include <windows.h>

// Whatever the outcome, each entry stays complete and registered in at least one location. A move cut short at any
// point, even by the program being killed, may leave remains of an entry behind, but never with its "CLSID" value:
// remains are no registration.
enum class MoveResult {
    Moved,                // the destination holds the entry; the source no longer holds it as a registration
    RegisteredAgain,      // the destination already had the same driver, and no replace was asked; as below
    NameTakenByDevice,    // the destination already had a driver entry of that name; neither location was touched
    NameTakenByOtherKey,  // the destination already had a subkey of that name that is no driver entry; as above
    Failed,               // the source still holds the entry; the destination does not hold it as a registration
    FailedNameTaken,      // the destination had a subkey of that name, and a failure came before it was told apart
                          // or replaced: neither location was touched
    LeftInBoth,           // copied, but the copy could be neither kept alone nor taken back: both hold it whole
};

struct MoveOutcome {
    MoveResult result;
    LONG error;  // the code of the call that kept the entry from moving (Failed, FailedNameTaken, LeftInBoth)
    // A replace took the destination's older copy away: it is gone, or remains of it without its "CLSID" value.
    // With Moved the entry was replaced; with Failed or LeftInBoth the older copy is lost all the same.
    bool olderCopyRemoved = false;
};

// What a move does when the destination already holds the same driver under that name (registered again, as by an
// update): leave both, or delete the destination's older copy and move the entry in its place.
enum class IfRegisteredAgain { LeaveBoth, Replace };

// One move command: where it takes entries from, where it puts them, and what it says when nothing was selected.
struct MoveDirection {
    const DriverLocation& source;
    const DriverLocation& destination;
    const char* nothingSelected;
    const char* destinationWord;  // "hidden" or "active", as the boxes call a copy there
};
extern const MoveDirection kHideDirection;
extern const MoveDirection kRestoreDirection;

// Opens the active location and opens or creates the hidden one, with full access and `view`; on failure neither
// stays open. Returns the first failing call's code.
LONG OpenLocations(RegistryKey& active, RegistryKey& hidden, REGSAM view = 0);
// Moves source\name to destination\name, keeping class names and security. `view` is OR-ed into every open and
// create the move makes itself; the shell's delete makes its own, so a 32-bit process must not move the other view.
// A replace keeps the entry whole and registered where it is until its copy is whole in the destination, and the
// entry's spelling of the name.
MoveOutcome MoveEntry(HKEY source, HKEY destination, const char* name, REGSAM view = 0,
                      IfRegisteredAgain ifRegisteredAgain = IfRegisteredAgain::LeaveBoth);
// The command of one direction on the dialog's lists: moves the selected items, asks once whether those registered
// again are to replace their older copies, and says what was not done.
void MoveSelected(const MoveDirection& direction, HWND dialog);
void HideSelected(HWND dialog);
void RestoreSelected(HWND dialog);
