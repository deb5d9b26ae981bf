// A hide and a restore with each of their registry calls failing in turn, or cut short before any of them: no driver
// entry may be lost or half-copied, no remains may be left behind, and what did not move is named with its reason.
#include "driver_lists.h"
#include "fault_sweep.h"
#include "registry_faults.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <iostream>

namespace {

void Sweep(const Direction& direction, const SweepOptions& options = SweepOptions{})
{
    const FaultSweep sweep(direction, options);
    const std::string label = std::string(direction.label) + (options.registeredAgain ? ", replacing" : "");
    Calls clean;
    {
        SCOPED_TRACE(label + ", no failure");
        clean = sweep.Run({});
    }
    const FaultPoints points = FaultPointsOf(clean);
    std::cout << label << " sweep: " << points.size() << " injection points\n";
    for (size_t k = 0; k < points.size(); ++k) {
        SCOPED_TRACE(label + ", failing " + Describe(points[k]));
        const Calls calls = sweep.Run({points[k]});
        ASSERT_GT(calls.size(), k);
        EXPECT_TRUE(std::equal(clean.begin(), clean.begin() + k + 1, calls.begin()))
            << "the calls up to the failure differ from the clean run";
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

// A command that replaces an older copy of one driver registered again, beside moving two others.
SweepOptions Replacing()
{
    SweepOptions options;
    options.registeredAgain = true;
    return options;
}

TEST(MoveFaultSweep, HideReplacingAnOlderCopyKeepsEveryEntryWholeWhicheverCallFails)
{
    Sweep(kHide, Replacing());
}

TEST(MoveFaultSweep, RestoreReplacingAnOlderCopyKeepsEveryEntryWholeWhicheverCallFails)
{
    Sweep(kRestore, Replacing());
}

// A move killed before any of its calls, as a kill or a power cut would leave the registry.
TEST(MoveCrashPoints, NoStateOfAMoveLeavesAnEntryUnregisteredOrARegistrationIncomplete)
{
    for (const bool replacing : {false, true}) {
        for (const Direction* direction : {&kHide, &kRestore}) {
            const std::string label = std::string(direction->label) + (replacing ? ", replacing" : "");
            SCOPED_TRACE(label);
            SweepOptions options;
            options.remainsAllowed = true;
            options.registeredAgain = replacing;
            const int states = FaultSweep(*direction, options).RunCheckingEveryCrashPoint();
            std::cout << label << " crash points: " << states << "\n";
            EXPECT_GT(states, 3 * 20) << "three full driver trees take more calls than that to move";
        }
    }
}

// Two active entries, "Alpha" and "Bravo", listed from the registry with "Bravo" selected.
void StartWithBravoSelected(StoreBench& bench, bool hiddenExists)
{
    Locations start;
    start.active = Drivers({"Alpha", "Bravo"});
    start.hiddenExists = hiddenExists;
    bench.Start(start, kActiveList, {"Bravo"});
}

const std::string kActiveBravo = MachinePath(std::string(kActivePath) + "\\Bravo");
const std::string kHiddenBravo = MachinePath(std::string(kHiddenPath) + "\\Bravo");

// The system's own description of a code, as far as the box may give it (one line, without its full stop).
::testing::AssertionResult GivesTheSystemsReason(const std::string& reason, LONG code)
{
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                   nullptr);
    if (reason.empty() || std::string(text).rfind(reason, 0) != 0 || reason.find('\n') != std::string::npos)
        return ::testing::AssertionFailure() << "\"" << reason << "\" is not the system's \"" << text << "\"";
    return ::testing::AssertionSuccess();
}

// A failed copy with its partial copy cleared away: the item stays selected, and one box says why.
TEST(MoveFaultSweep, FailedCopyOfTheOnlySelectedEntryIsExplained)
{
    StoreBench bench;
    StartWithBravoSelected(bench, false);
    const Locations& start = bench.start;
    const ListHost& host = bench.host;
    {
        RegistryFaults faults;
        faults.Fail({"RegSetValueExW", kHiddenBravo, 1});
        HideSelected(host.Window());
    }
    const std::vector<RecordedBox> boxes = bench.boxes.Take();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kQuimbleTitle, boxes[0].title);
    const std::string named = std::string(kNotMovedText) + "\nBravo: ";
    ASSERT_EQ(named, boxes[0].text.substr(0, named.size()));
    EXPECT_TRUE(GivesTheSystemsReason(boxes[0].text.substr(named.size()), ERROR_ACCESS_DENIED));
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
// the lists show the registrations, and a box names the device when it did not simply move.
TEST(MoveFaultSweep, TwoFailuresLeaveNoBrokenRegistration)
{
    struct Case {
        const char* label;
        FaultPoint failures[2];
        Holds active;  // of "Bravo", afterwards
        Holds hidden;
        Names activeList;
        Names hiddenList;
        const char* box;  // the paragraph that names "Bravo", if any
    };
    const Case cases[] = {
        {"the copy and clearing it away fail",
         {{"RegSetValueExW", kHiddenBravo, 1}, {"NtDeleteKey", kHiddenBravo, 1}},
         Holds::Whole, Holds::Remains, {"Alpha", "Bravo"}, {}, kNotMovedText},
        {"unregistering the source and the copy fail",
         {{"RegDeleteValueA", kActiveBravo, 1}, {"RegDeleteValueA", kHiddenBravo, 1}},
         Holds::Whole, Holds::Whole, {"Alpha", "Bravo"}, {"Bravo"}, kInBothText},
        {"deleting the source and recreating it fail",
         {{"NtDeleteKey", kActiveBravo, 1}, {"RegCreateKeyExW", kActiveBravo, 1}},
         Holds::Remains, Holds::Whole, {"Alpha"}, {"Bravo"}, nullptr},
        {"deleting the source and copying it back fail",
         {{"NtDeleteKey", kActiveBravo, 1}, {"RegSetValueExW", kActiveBravo, 1}},
         Holds::Remains, Holds::Whole, {"Alpha"}, {"Bravo"}, nullptr},
        {"deleting the source and then the copy fail",
         {{"NtDeleteKey", kActiveBravo, 1}, {"NtDeleteKey", kHiddenBravo, 1}},
         Holds::Whole, Holds::Remains, {"Alpha", "Bravo"}, {}, kNotMovedText},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.label);
        StoreBench bench;
        StartWithBravoSelected(bench, true);
        const RegistryTree bravo = bench.start.active.subkeys.at("Bravo");
        const ListHost& host = bench.host;
        {
            RegistryFaults faults;
            for (const FaultPoint& failure : row.failures)
                faults.Fail(failure);
            HideSelected(host.Window());
            EXPECT_TRUE(faults.OpenKeys().empty());
        }
        const std::vector<RecordedBox> boxes = bench.boxes.Take();
        EXPECT_EQ(row.box ? 1u : 0u, boxes.size());
        if (row.box) {
            EXPECT_TRUE(FailuresNamed(boxes, row.box, {"Bravo"}));
        }
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
        into.Run(host.Window());
        EXPECT_TRUE(bench.boxes.TookOneBox(kQuimbleTitle, KeysInTheWayText(into.destinationPath) + "\nBravo",
                                           host.Window()));
        const Locations later = ReadLocations();
        EXPECT_EQ(after.active, later.active);
        EXPECT_EQ(after.hidden, later.hidden);
    }
}

}  // namespace
