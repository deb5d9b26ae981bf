// The registry calls a move makes per driver, by call: the store's move and the faithful loop, in both directions.
#pragma once

#include "counted_registry_calls.h"

#include <vector>

struct MoveCallCounts {
    int drivers = 0;
    std::vector<CallTally> storeHide;
    std::vector<CallTally> storeRestore;
    std::vector<CallTally> faithfulHide;
    std::vector<CallTally> faithfulRestore;
};

// Seeds `drivers` of the bench's driver trees and moves them as a click does (the entries one by one, between
// locations opened once, which is not counted), hiding and then restoring them: through the store's move, then,
// seeded again, through the faithful loop. Ends the bench if a move fails.
MoveCallCounts CountMoveCalls(int drivers);
// The calls per driver moved, by call, for each of the four moves, and the time per call of the store's moves.
void PrintMoveCallCounts(const MoveCallCounts& counts);
