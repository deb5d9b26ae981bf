// A hide and a restore with each of their registry calls failing in turn: no driver entry may be lost or half-copied,
// and no remains may be left behind.
#include "driver_moves.h"
#include "fault_sweep.h"
#include "registry_faults.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <iostream>

namespace {

void Sweep(const Direction& direction)
{
    const FaultSweep sweep(direction, false, Persistence::Once, false);
    Names clean;
    {
        SCOPED_TRACE(std::string(direction.label) + ", no failure");
        clean = sweep.Run({});
    }
    const int callCount = static_cast<int>(clean.size());
    ASSERT_EQ(3, std::count(clean.begin(), clean.end(), "SHCopyKeyA"));
    ASSERT_EQ(3, std::count(clean.begin(), clean.end(), "SHDeleteKeyA"));
    ASSERT_EQ(3 * 2 + 2, std::count(clean.begin(), clean.end(), "RegCloseKey"))
        << "each entry, its destination subkey and both locations are closed";
    ASSERT_GE(callCount, 2 + 3 * 3) << "open both locations, then create, copy and delete per entry";
    ASSERT_LE(callCount, 40);
    std::cout << direction.label << " sweep: " << callCount << " injection points\n";

    for (int k = 1; k <= callCount; ++k) {
        SCOPED_TRACE(std::string(direction.label) + ", failing call " + std::to_string(k) + " " + clean[k - 1]);
        const Names calls = sweep.Run({k});
        EXPECT_EQ(clean[k - 1], calls.at(k - 1)) << "the calls before the failure differ from the clean run";
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

// What a location holds of an entry: it whole, or remains of it without its "CLSID" value.
enum class Holds { Whole, Remains };

// Two failures in one hide of "Bravo": each entry stays whole and registered somewhere, remains are no registration,
// and the lists show the registrations.
TEST(MoveFaultSweep, TwoFailuresLeaveNoBrokenRegistration)
{
    struct Case {
        const char* label;
        std::pair<const char*, int> failures[2];
        Holds active;  // of "Bravo", afterwards
        Holds hidden;
        Names activeList;
        Names hiddenList;
    };
    // Calls of a kind are counted over the whole command: opening the locations, then the move, then its repairs.
    const Case cases[] = {
        {"the copy and clearing it away fail", {{"SHCopyKeyA", 1}, {"SHDeleteKeyA", 1}},
         Holds::Whole, Holds::Remains, {"Alpha", "Bravo"}, {}},
        {"unregistering the source and the copy fail", {{"RegDeleteValueA", 1}, {"RegDeleteValueA", 2}},
         Holds::Whole, Holds::Whole, {"Alpha", "Bravo"}, {"Bravo"}},
        {"deleting the source and recreating it fail", {{"SHDeleteKeyA", 1}, {"RegCreateKeyExA", 3}},
         Holds::Remains, Holds::Whole, {"Alpha"}, {"Bravo"}},
        {"deleting the source and copying it back fail", {{"SHDeleteKeyA", 1}, {"SHCopyKeyA", 2}},
         Holds::Remains, Holds::Whole, {"Alpha"}, {"Bravo"}},
        {"deleting the source and then the copy fail", {{"SHDeleteKeyA", 1}, {"SHDeleteKeyA", 2}},
         Holds::Whole, Holds::Remains, {"Alpha", "Bravo"}, {}},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.label);
        StoreBench bench;
        StartWithBravoSelected(bench, true);
        const RegistryTree bravo = bench.start.active.subkeys.at("Bravo");
        const ListHost& host = bench.host;
        {
            RegistryFaults faults;
            for (const auto& [call, occurrence] : row.failures)
                faults.FailCall(call, occurrence);
            HideSelected(host.Window());
            EXPECT_TRUE(faults.OpenKeys().empty());
        }
        EXPECT_TRUE(bench.boxes.Take().empty());
        const Locations after = ReadLocations();
        for (const auto& [location, holds] : {std::pair{&after.active, row.active}, {&after.hidden, row.hidden}}) {
            const auto found = location->subkeys.find("Bravo");
            ASSERT_NE(location->subkeys.end(), found);
            if (holds == Holds::Whole)
                EXPECT_EQ(bravo, found->second);
            else
                EXPECT_FALSE(IsRegistration(found->second)) << ::testing::PrintToString(found->second);
        }
        EXPECT_EQ(bench.start.active.subkeys.at("Alpha"), after.active.subkeys.at("Alpha"));
        EXPECT_EQ(row.activeList, host.Items(kActiveList));
        EXPECT_EQ(row.hiddenList, host.Items(kHiddenList));

        // Remains in the way of a later move are named for what they are, where they are, and left alone.
        if (row.active == Holds::Whole && row.hidden == Holds::Whole)
            continue;
        const Direction& into = row.hidden == Holds::Remains ? kHide : kRestore;
        ASSERT_TRUE(SelectNamedItems(host.Window(), into.sourceList, {"Bravo"}));
        into.command(host.Window());
        EXPECT_TRUE(bench.boxes.TookOneBox(kQuimbleTitle, KeysInTheWayText(into.destinationPath) + "\nBravo",
                                           host.Window()));
        const Locations later = ReadLocations();
        EXPECT_EQ(after.active, later.active);
        EXPECT_EQ(after.hidden, later.hidden);
    }
}

}  // namespace
