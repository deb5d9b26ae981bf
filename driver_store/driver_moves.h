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
    // The code of the call that kept the entry from moving (Failed, LeftInBoth), or the store's own reason for not
    // moving it (kNameCutShortError, kRegistryLinkError: see system_error_text.h), else ERROR_SUCCESS.
    LONG error;
};

// Opens the active location and opens or creates the hidden one, with full access and `view`; on failure neither
// stays open. Returns the first failing call's code.
[[nodiscard]] LONG OpenLocations(RegistryKey& active, RegistryKey& hidden, REGSAM view = 0);
// Moves source\name to destination\name, keeping class names and security. `view` is OR-ed into every open and
// create. An entry holding a registry link or a name with a NUL in it is left as it is (Failed, with the store's own
// code for the reason), and no link is ever followed, neither by the copy nor by a delete.
MoveOutcome MoveEntry(HKEY source, HKEY destination, const char* name, REGSAM view = 0);
