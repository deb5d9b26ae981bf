// Moving a driver entry between the active and the hidden location, whole or not at all.
#pragma once

#include "driver_entries.h"
#include "registry_key.h"

#include <windows.h>

// Whatever the outcome, each entry stays complete and registered in at least one location. A move cut short at any
// point, even by the program being killed, may leave remains of an entry behind, but never with its "CLSID" value:
// remains are no registration.
enum class MoveResult {
    Moved,                // the destination holds the entry; the source no longer holds it as a registration
    NameTakenByDevice,    // the destination already had a driver entry of that name; neither location was touched
    NameTakenByOtherKey,  // the destination already had a subkey of that name that is no driver entry; as above
    Failed,               // the source still holds the entry; the destination does not hold it as a registration
    LeftInBoth,           // copied, but the copy could be neither kept alone nor taken back: both hold it whole
};

struct MoveOutcome {
    MoveResult result;
    LONG error;  // the code of the call that kept the entry from moving (Failed, LeftInBoth), else ERROR_SUCCESS
};

// Opens the active location and opens or creates the hidden one, with full access and `view`; on failure neither
// stays open. Returns the first failing call's code.
[[nodiscard]] LONG OpenLocations(RegistryKey& active, RegistryKey& hidden, REGSAM view = 0);
// Moves source\name to destination\name, keeping class names and security. `view` is OR-ed into every open and
// create the move makes itself; the shell's delete makes its own, so a 32-bit process must not move the other view.
MoveOutcome MoveEntry(HKEY source, HKEY destination, const char* name, REGSAM view = 0);
