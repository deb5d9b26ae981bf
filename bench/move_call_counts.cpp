// Counting a move's registry calls through the store's call table, for the store's move and the faithful loop alike.
#include "move_call_counts.h"

#include "dialog_timing.h"
#include "driver_entries.h"
#include "driver_moves.h"
#include "driver_trees.h"
#include "faithful_move.h"

#include <cstdio>
#include <functional>
#include <string>

namespace {

using MoveOne = std::function<bool(HKEY source, HKEY destination, const std::string& name)>;

// Moves every named entry between the open locations, as the dialog walks its list: from the last item up.
std::vector<CallTally> CountedMove(CountedRegistryCalls& counted, bool hide, const std::vector<std::string>& names,
                                   const MoveOne& moveOne)
{
    RegistryKey active;
    RegistryKey hidden;
    if (OpenLocations(active, hidden) != ERROR_SUCCESS)
        Fail("cannot open the driver locations to count a move's calls");
    const HKEY source = hide ? active.Get() : hidden.Get();
    const HKEY destination = hide ? hidden.Get() : active.Get();
    counted.Reset();
    for (auto name = names.rbegin(); name != names.rend(); ++name)
        if (!moveOne(source, destination, *name))
            Fail("a counted move of " + *name + " failed");
    return counted.Tallies();
}

long TotalCalls(const std::vector<CallTally>& tallies)
{
    long total = 0;
    for (const CallTally& tally : tallies)
        total += tally.calls;
    return total;
}

double TotalMs(const std::vector<CallTally>& tallies)
{
    double total = 0;
    for (const CallTally& tally : tallies)
        total += tally.ms;
    return total;
}

}  // namespace

MoveCallCounts CountMoveCalls(int drivers)
{
    const std::vector<std::string> names = DriverNames(drivers);
    const MoveOne store = [](HKEY source, HKEY destination, const std::string& name) {
        return MoveEntry(source, destination, name.c_str()).result == MoveResult::Moved;
    };
    const MoveOne faithful = FaithfulMoveEntry;
    MoveCallCounts counts;
    counts.drivers = drivers;
    CountedRegistryCalls counted;
    SeedDriverTrees(drivers);
    counts.storeHide = CountedMove(counted, true, names, store);
    counts.storeRestore = CountedMove(counted, false, names, store);
    SeedDriverTrees(drivers);
    counts.faithfulHide = CountedMove(counted, true, names, faithful);
    counts.faithfulRestore = CountedMove(counted, false, names, faithful);
    return counts;
}

void PrintMoveCallCounts(const MoveCallCounts& counts)
{
    const double drivers = counts.drivers;
    std::printf(
        "\nRegistry calls per driver moved, by call, counted through the store's call table over %d drivers"
        " (exact on any host; the time per call of the store's moves is as noisy as the host)\n",
        counts.drivers);
    std::printf("%-20s %8s %8s %8s %8s %12s %12s\n", "call", "hide", "restore", "faithful", "faithful", "hide",
                "restore");
    std::printf("%-20s %8s %8s %8s %8s %12s %12s\n", "", "", "", "hide", "restore", "us per call", "us per call");
    const auto perCall = [](const CallTally& tally) { return tally.calls ? 1000.0 * tally.ms / tally.calls : 0.0; };
    for (size_t call = 0; call < counts.storeHide.size(); ++call) {
        const CallTally& hide = counts.storeHide[call];
        const CallTally& restore = counts.storeRestore[call];
        const long faithfulHide = counts.faithfulHide[call].calls;
        const long faithfulRestore = counts.faithfulRestore[call].calls;
        if (hide.calls + restore.calls + faithfulHide + faithfulRestore == 0)
            continue;
        std::printf("%-20s %8.2f %8.2f %8.2f %8.2f %12.1f %12.1f\n", hide.name.c_str(), hide.calls / drivers,
                    restore.calls / drivers, faithfulHide / drivers, faithfulRestore / drivers, perCall(hide),
                    perCall(restore));
    }
    std::printf("%-20s %8.2f %8.2f %8.2f %8.2f %12.1f %12.1f\n", "all calls", TotalCalls(counts.storeHide) / drivers,
                TotalCalls(counts.storeRestore) / drivers, TotalCalls(counts.faithfulHide) / drivers,
                TotalCalls(counts.faithfulRestore) / drivers,
                1000.0 * TotalMs(counts.storeHide) / TotalCalls(counts.storeHide),
                1000.0 * TotalMs(counts.storeRestore) / TotalCalls(counts.storeRestore));
    std::fflush(stdout);
}
