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
    // The code of the call that kept the entry from moving (Failed, FailedNameTaken, LeftInBoth), or the store's own
    // reason for not moving it (kNameCutShortError, kRegistryLinkError: see system_error_text.h), else ERROR_SUCCESS.
    LONG error;
    // A replace took the destination's older copy away: it is gone, or remains of it without its "CLSID" value.
    // With Moved the entry was replaced; with Failed or LeftInBoth the older copy is lost all the same.
    bool olderCopyRemoved = false;
};

// What a move does when the destination already holds the same driver under that name (registered again, as by an
// update): leave both, or delete the destination's older copy and move the entry in its place.
enum class IfRegisteredAgain { LeaveBoth, Replace };

// Opens the active location and opens or creates the hidden one, with full access and `view`; on failure neither
// stays open. Returns the first failing call's code.
[[nodiscard]] LONG OpenLocations(RegistryKey& active, RegistryKey& hidden, REGSAM view = 0);
// Moves source\name to destination\name, keeping class names and security. `view` is OR-ed into every open and
// create. An entry holding a registry link or a name with a NUL in it is left as it is (Failed, with the store's own
// code for the reason), and no link is ever followed, neither by the copy nor by a delete. A replace keeps the entry
// whole and registered where it is until its copy is whole in the destination, and the entry's spelling of the name;
// an older copy that could not be deleted as it is (holding a link or such a name) is left, FailedNameTaken.
MoveOutcome MoveEntry(HKEY source, HKEY destination, const char* name, REGSAM view = 0,
                      IfRegisteredAgain ifRegisteredAgain = IfRegisteredAgain::LeaveBoth);
