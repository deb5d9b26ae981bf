// A move command run with chosen registry calls failing, checked for what must hold whatever failed.
#pragma once

#include "store_bench.h"

#include <set>

// Whether an injected failure happens once, or again whenever the same call is made on the same key.
enum class Persistence { Once, PerKey };

// Selected entries in the direction's source, beside unselected entries and a subkey that is no entry.
struct SweepStart {
    Locations locations;
    Names selected;
    Names inTheWay;  // selected names the destination already has, which must stay where they are
};
// One direction's command from one start, run again and again with chosen calls failing, on one pair of lists.
class FaultSweep {
public:
    // With a clash, the destination already holds a different device named like one selected entry and a key that
    // is no device named like another. Remains of an entry (an incomplete tree without its "CLSID" value) are
    // accepted only when remainsAllowed.
    FaultSweep(const Direction& direction, bool clash, Persistence persistence, bool remainsAllowed);

    // Runs the command once in a fresh sandbox, with the lists filled afresh and the numbered calls failing, and
    // checks that: every selected entry is whole in at least one location; whatever else changed is a complete copy
    // of a selected entry, or accepted remains; nothing unselected changed; each list shows exactly the
    // registrations of its location, still selected where they did not move, and draws its changes; every key
    // opened is closed once; at most one entry per failure stays behind; and the boxes are the ones the start calls
    // for. Returns the calls the command made, by name, in order.
    Names Run(const std::set<int>& failing) const;

private:
    const Direction& direction_;
    SweepStart start_;
    Persistence persistence_;
    bool remainsAllowed_;
    ListHost host_;
};
