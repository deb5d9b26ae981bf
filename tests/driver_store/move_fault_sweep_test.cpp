// A hide and a restore with each of their registry calls failing in turn: no driver entry may be lost or half-copied.
#include "driver_moves.h"
#include "registry_faults.h"
#include "store_bench.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <iostream>
#include <set>

namespace {

const Names kSelected = {"Alpha", "Charlie", "Echo"};

// The three selected entries start in the direction's source, beside unselected entries and a subkey that is no entry.
Locations SweepStart(const Direction& direction)
{
    Locations start;
    start.hiddenExists = true;
    for (const std::string& name : kSelected)
        (start.*direction.source).Subkey(name, DriverTree(name));
    for (const char* name : {"Bravo", "Delta"})
        start.active.Subkey(name, DriverTree(name));
    start.active.Subkey("Not A Driver", RegistryTree().Dword("Level", 3).Subkey("Inner", DriverTree("inner")));
    start.hidden.Subkey("Foxtrot", DriverTree("Foxtrot"));
    return start;
}

// Every entry that existed is complete in at least one location, and every subkey there is a complete copy.
::testing::AssertionResult KeepsEveryEntryWhole(const Locations& before, const Locations& after)
{
    auto original = before.active.subkeys;
    original.insert(before.hidden.subkeys.begin(), before.hidden.subkeys.end());
    for (const auto& [name, tree] : original) {
        const auto inActive = after.active.subkeys.find(name);
        const auto inHidden = after.hidden.subkeys.find(name);
        const bool whole = (inActive != after.active.subkeys.end() && inActive->second == tree) ||
                           (inHidden != after.hidden.subkeys.end() && inHidden->second == tree);
        if (!whole)
            return ::testing::AssertionFailure() << "\"" << name << "\" is complete in neither location";
    }
    for (const RegistryTree* location : {&after.active, &after.hidden}) {
        for (const auto& [name, tree] : location->subkeys) {
            const auto found = original.find(name);
            if (found == original.end() || found->second != tree)
                return ::testing::AssertionFailure()
                       << "\"" << name << "\" is not a complete copy:" << ::testing::PrintToString(tree);
        }
        if (!location->values.empty())
            return ::testing::AssertionFailure() << "a location gained values";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ListsShowTheLocations(const ListHost& host, const Locations& after)
{
    for (const auto& [listId, location] : {std::pair{kActiveList, &after.active}, {kHiddenList, &after.hidden}}) {
        const Names items = host.Items(listId);
        if (items != DriverNames(*location))
            return ::testing::AssertionFailure()
                   << "list " << listId << " shows " << ::testing::PrintToString(items) << ", the location holds "
                   << ::testing::PrintToString(DriverNames(*location));
    }
    return ::testing::AssertionSuccess();
}

struct SweepRun {
    Names calls;
    std::string failedCall;
};

// One command in a fresh sandbox and list host, with the given call numbers failing; checks the invariant.
SweepRun RunCommand(const Direction& direction, const std::set<int>& failing)
{
    StoreBench bench;
    bench.Start(SweepStart(direction), direction.sourceList, kSelected);
    const Locations& start = bench.start;
    const ListHost& host = bench.host;
    // Painted first, so that what the command changes shows as waiting to be repainted.
    host.PaintNow();

    SweepRun run;
    {
        RegistryFaults faults;
        for (int number : failing)
            faults.FailCallNumber(number);
        direction.command(host.Window());
        run.calls = faults.Calls();
        if (!failing.empty())
            run.failedCall = run.calls.at(*failing.begin() - 1);
        EXPECT_TRUE(faults.OpenKeys().empty()) << faults.OpenKeys().size() << " keys left open";
        EXPECT_EQ(0, faults.StrayCloses());
    }

    const Locations after = ReadLocations();
    EXPECT_TRUE(KeepsEveryEntryWhole(start, after));
    EXPECT_TRUE(ListsShowTheLocations(host, after));

    const bool openingFailed = !failing.empty() && *failing.begin() <= 2;
    // Whatever failed, the lists' new contents reach the screen, and later changes keep being drawn.
    if (!openingFailed) {
        EXPECT_TRUE(host.AwaitsRepaint(kActiveList));
        EXPECT_TRUE(host.AwaitsRepaint(kHiddenList));
    }
    EXPECT_TRUE(host.ListsShowTheirChanges());
    if (openingFailed) {
        EXPECT_TRUE(bench.boxes.TookOneBox(kQuimbleTitle, kCouldNotOpenText, host.Window()));
        EXPECT_EQ(start.active, after.active);
        EXPECT_EQ(start.hidden, after.hidden);
        return run;
    }
    const std::vector<RecordedBox> boxes = bench.boxes.Take();
    EXPECT_TRUE(boxes.empty()) << boxes.size() << " boxes, the first: " << boxes.front().text;
    // A failure stops only the entry it hit: the walk goes on, and what did not move stays selected.
    Names notMoved;
    for (const std::string& name : kSelected)
        if ((after.*direction.source).subkeys.count(name))
            notMoved.push_back(name);
    EXPECT_LE(notMoved.size(), failing.empty() ? 0u : 1u) << ::testing::PrintToString(notMoved);
    EXPECT_EQ(notMoved, host.SelectedItems(direction.sourceList));
    return run;
}

void Sweep(const Direction& direction)
{
    SweepRun clean;
    {
        SCOPED_TRACE(std::string(direction.label) + ", no failure");
        clean = RunCommand(direction, {});
    }
    const int callCount = static_cast<int>(clean.calls.size());
    ASSERT_EQ(3, std::count(clean.calls.begin(), clean.calls.end(), "SHCopyKeyA"));
    ASSERT_EQ(3, std::count(clean.calls.begin(), clean.calls.end(), "SHDeleteKeyA"));
    ASSERT_EQ(3 + 2, std::count(clean.calls.begin(), clean.calls.end(), "RegCloseKey"))
        << "each destination subkey and both locations are closed";
    ASSERT_GE(callCount, 2 + 3 * 3) << "open both locations, then create, copy and delete per entry";
    ASSERT_LE(callCount, 40);
    std::cout << direction.label << " sweep: " << callCount << " injection points\n";

    for (int k = 1; k <= callCount; ++k) {
        SCOPED_TRACE(std::string(direction.label) + ", failing call " + std::to_string(k) + " " + clean.calls[k - 1]);
        const SweepRun run = RunCommand(direction, {k});
        EXPECT_EQ(clean.calls[k - 1], run.failedCall) << "the calls before the failure differ from the clean run";
    }
}

TEST(MoveFaultSweep, HideKeepsEveryEntryWholeWhicheverCallFails)
{
    Sweep(kHide);
}

TEST(MoveFaultSweep, RestoreKeepsEveryEntryWholeWhicheverCallFails)
{
    Sweep(kRestore);
}

// Two active entries, "Alpha" and "Bravo", listed from the registry with "Bravo" selected.
void StartWithBravoSelected(StoreBench& bench, bool hiddenExists)
{
    Locations start;
    start.active = Drivers({"Alpha", "Bravo"});
    start.hiddenExists = hiddenExists;
    bench.Start(start, kActiveList, {"Bravo"});
}

// A failed copy with its partial copy cleared away: the item stays selected, and nothing is said.
TEST(MoveFaultSweep, FailedCopyOfTheOnlySelectedEntryIsSilent)
{
    StoreBench bench;
    StartWithBravoSelected(bench, false);
    const Locations& start = bench.start;
    const ListHost& host = bench.host;
    {
        RegistryFaults faults;
        faults.FailCall("SHCopyKeyA", 1);
        HideSelected(host.Window());
    }
    EXPECT_TRUE(bench.boxes.Take().empty());
    const Locations after = ReadLocations();
    EXPECT_EQ(start.active, after.active);
    EXPECT_TRUE(after.hiddenExists);
    EXPECT_EQ(RegistryTree(), after.hidden);
    EXPECT_EQ((Names{"Bravo"}), host.SelectedItems(kActiveList));
    EXPECT_TRUE(host.Items(kHiddenList).empty());
}

// Only when putting back a half-deleted source fails too do both locations keep the entry, and both lists show it.
TEST(MoveFaultSweep, FailedUndoLeavesTheEntryInBothLists)
{
    struct Case {
        const char* label;
        const char* secondFailure;
        int occurrence;
    };
    // The first call of a kind belongs to opening the locations or to the first move; the undo's are later ones.
    for (const Case& row :
         {Case{"recreating the source fails", "RegCreateKeyExA", 3}, Case{"copying back fails", "SHCopyKeyA", 2}}) {
        SCOPED_TRACE(row.label);
        StoreBench bench;
        StartWithBravoSelected(bench, true);
        const Locations& start = bench.start;
        const ListHost& host = bench.host;
        {
            RegistryFaults faults;
            faults.FailCall("SHDeleteKeyA", 1);
            faults.FailCall(row.secondFailure, row.occurrence);
            HideSelected(host.Window());
            EXPECT_TRUE(faults.OpenKeys().empty());
        }
        EXPECT_TRUE(bench.boxes.Take().empty());
        const Locations after = ReadLocations();
        EXPECT_EQ(start.active.subkeys.at("Bravo"), after.hidden.subkeys.at("Bravo")) << "the copy is complete";
        EXPECT_TRUE(after.active.subkeys.count("Bravo"));
        EXPECT_EQ(start.active.subkeys.at("Alpha"), after.active.subkeys.at("Alpha"));
        EXPECT_EQ((Names{"Alpha", "Bravo"}), host.Items(kActiveList));
        EXPECT_EQ((Names{"Bravo"}), host.Items(kHiddenList));
    }
}

}  // namespace
