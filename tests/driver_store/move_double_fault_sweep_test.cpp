// A hide and a restore with every pair of their registry calls failing: a failure's own clean-up may fail too, and
// still no driver entry may be lost or left as a registration that is not whole.
#include "fault_sweep.h"
#include "registry_faults.h"
#include "registry_key.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cctype>
#include <iostream>
#include <string>

namespace {

struct DoubleSweep {
    const Direction* direction;
    bool clash;
    Persistence persistence;
    bool registeredAgain = false;
};

std::string Label(const DoubleSweep& sweep)
{
    return std::string(sweep.direction->label) + (sweep.clash ? ", with a clash" : "") +
           (sweep.registeredAgain ? ", replacing" : "") +
           (sweep.persistence == Persistence::PerKey ? ", failures kept per key" : "");
}

class MoveDoubleFaultSweep : public ::testing::TestWithParam<DoubleSweep> {};

// The second failure is taken from the calls the command makes once the first has failed, clean-ups included, on
// the keys of the entry the first failure hit (or on the locations): a failure on another entry is a single failure
// there, which the single sweep covers. Each call is failed on its first occurrence on that key. Closes are left
// out: a failing close still closes, and nothing reads what it returns, so a pair with one is a single failure.
TEST_P(MoveDoubleFaultSweep, KeepsEveryEntryWholeWhicheverTwoCallsFail)
{
    const DoubleSweep& sweep = GetParam();
    SweepOptions options;
    options.clash = sweep.clash;
    options.persistence = sweep.persistence;
    options.remainsAllowed = true;
    options.smallEntries = true;
    options.registeredAgain = sweep.registeredAgain;
    const FaultSweep faultSweep(*sweep.direction, options);
    const FaultPoints firsts = FaultPointsOf(faultSweep.Run({}));
    int pairs = 0;
    const auto isClose = [](const FaultPoint& point) { return point.call == "RegCloseKey"; };
    for (const FaultPoint& first : firsts) {
        if (isClose(first))
            continue;
        const FaultPoints afterFirst = FaultPointsOf(faultSweep.Run({first}));
        const auto failed = std::find_if(afterFirst.begin(), afterFirst.end(), [&](const FaultPoint& point) {
            return point.call == first.call && point.path == first.path && point.occurrence == first.occurrence;
        });
        ASSERT_NE(afterFirst.end(), failed) << Describe(first) << " was not made";
        const std::string entry = EntryOf(first.path);
        for (auto second = failed + 1; second != afterFirst.end(); ++second) {
            const std::string secondEntry = EntryOf(second->path);
            if (second->occurrence != 1 || isClose(*second) ||
                !(entry.empty() || secondEntry.empty() || secondEntry == entry))
                continue;
            SCOPED_TRACE("failing " + Describe(first) + " and " + Describe(*second));
            faultSweep.Run({first, *second});
            ++pairs;
        }
    }
    std::cout << Label(sweep) << ": " << pairs << " pairs\n";
}

INSTANTIATE_TEST_SUITE_P(Moves, MoveDoubleFaultSweep,
                         ::testing::Values(DoubleSweep{&kHide, false, Persistence::Once},
                                           DoubleSweep{&kRestore, false, Persistence::Once},
                                           DoubleSweep{&kHide, true, Persistence::Once},
                                           DoubleSweep{&kRestore, true, Persistence::Once},
                                           DoubleSweep{&kHide, false, Persistence::PerKey},
                                           DoubleSweep{&kRestore, false, Persistence::PerKey},
                                           DoubleSweep{&kHide, false, Persistence::Once, true},
                                           DoubleSweep{&kRestore, false, Persistence::Once, true}),
                         [](const ::testing::TestParamInfo<DoubleSweep>& info) {
                             std::string name;
                             for (char c : Label(info.param))
                                 if (std::isalnum(static_cast<unsigned char>(c)))
                                     name += c;
                             return name;
                         });

// The sweeps lean on the stand-ins: a failure kept per key recurs for that key, by whatever handle or letter case it
// is reached, and for no other key.
TEST(RegistryFaults, FailuresKeptPerKeyRecurForThatKeyOnly)
{
    RegistrySandbox sandbox;
    for (const Persistence persistence : {Persistence::Once, Persistence::PerKey}) {
        const bool persists = persistence == Persistence::PerKey;
        SCOPED_TRACE(persists ? "kept per key" : "once");
        WriteTree(HKEY_LOCAL_MACHINE, kActivePath, Drivers({"Alpha", "Bravo"}));
        RegistryFaults faults;
        if (persists)
            faults.KeepFailingPerKey();
        faults.Fail({"RegDeleteValueA", MachinePath("Software\\ASIO\\Alpha"), 1});
        const auto deleteDescription = [](const char* path) {
            RegistryKey entry;
            const LONG opened =
                registryCalls.openKeyEx(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, entry.Receive());
            EXPECT_EQ(ERROR_SUCCESS, opened) << path;
            return registryCalls.deleteValue(entry.Get(), "Description");
        };
        EXPECT_NE(ERROR_SUCCESS, deleteDescription("Software\\ASIO\\Alpha"));
        EXPECT_EQ(persists, deleteDescription("SOFTWARE\\asio\\ALPHA") != ERROR_SUCCESS);
        EXPECT_EQ(ERROR_SUCCESS, deleteDescription("Software\\ASIO\\Bravo"));
        RegistryKey location;
        ASSERT_EQ(ERROR_SUCCESS,
                  registryCalls.openKeyEx(HKEY_LOCAL_MACHINE, kActivePath, 0, KEY_ALL_ACCESS, location.Receive()));
        RegistryKey alpha;
        EXPECT_EQ(ERROR_SUCCESS, registryCalls.openKeyExW(location.Get(), L"Alpha", 0, KEY_READ, alpha.Receive()))
            << "another call on the same key";
    }
}

}  // namespace
