// A move command run with chosen registry calls failing, checked for what must hold whatever failed.
#pragma once

#include "registry_faults.h"
#include "store_bench.h"

#include <vector>

// Whether an injected failure happens once, or again whenever the same call is made on the same key.
enum class Persistence { Once, PerKey };

using Calls = std::vector<RegistryCall>;

// A DACL to give a key, by its path under HKEY_LOCAL_MACHINE, in SDDL.
struct KeyDacl {
    std::string path;
    const char* sddl;
};

// Selected entries in the direction's source, beside unselected entries and a subkey that is no entry. The selected
// entries are of the kinds that test a copy's security and its registration: one with a protected DACL that holds
// entries marked inherited, one whose DACL is all inherited, one registered as "clsid" (which the dialog does not
// list, and which is put in its list by hand, as for a program that lists what hosts load).
struct SweepStart {
    Locations locations;
    Names selected;
    Names inTheWay;  // selected names the destination already has, which must stay where they are
    std::vector<KeyDacl> dacls;  // set once the locations are written; neither location passes anything down
    Names listedByHand;
    // Selected names the destination holds an older copy of, registered again: replaced, it may go or leave remains.
    Names registeredAgain;
};

struct SweepOptions {
    // The destination already holds a different device named like one selected entry and a key that is no device
    // named like another.
    bool clash = false;
    Persistence persistence = Persistence::Once;
    // Remains of an entry (an incomplete tree without its "CLSID" value) are accepted.
    bool remainsAllowed = false;
    // Entries of three keys instead of a full driver's tree: fewer calls, for sweeps over pairs of failures.
    bool smallEntries = false;
    // The destination holds an older copy of one selected driver, which the command is answered Yes to replace.
    bool registeredAgain = false;
};

// Whether a box names each device, each on a line of its own with its reason, in the paragraph that begins so.
::testing::AssertionResult FailuresNamed(const std::vector<RecordedBox>& boxes, const char* paragraph,
                                         const Names& names);

// One direction's command from one start, run again and again with chosen calls failing, on one pair of lists.
class FaultSweep {
public:
    FaultSweep(const Direction& direction, const SweepOptions& options);

    // Runs the command once in a fresh sandbox, with the lists filled afresh and the given calls failing, and
    // checks that: every selected entry is whole in at least one location; whatever else changed is a complete copy
    // of a selected entry, or accepted remains; nothing unselected changed; each list shows exactly the
    // registrations of its location, still selected where they did not move, and draws its changes; every key
    // opened is closed once; at most one entry per failure stays behind; the keys of every registration of a
    // selected entry allow and deny what the original's did; the boxes are the ones the start calls for, and every
    // selected device not moved for a failure is named with its reason. Returns the calls made, in order.
    Calls Run(const FaultPoints& failing) const;
    // Runs the command without failures and, before every registry call, checks the registry as a kill at that
    // moment would leave it: every selected entry whole and registered somewhere, and no "CLSID" on an incomplete
    // tree. Returns the number of states checked.
    int RunCheckingEveryCrashPoint() const;

private:
    const Direction& direction_;
    SweepStart start_;
    SweepOptions options_;
    ListHost host_;
};
