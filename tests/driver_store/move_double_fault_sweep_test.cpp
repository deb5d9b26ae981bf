// A hide and a restore with every pair of their registry calls failing: a failure's own clean-up may fail too, and
// still no driver entry may be lost or left as a registration that is not whole.
#include "fault_sweep.h"
#include "registry_faults.h"
#include "registry_key.h"

#include <gtest/gtest.h>
#include <cctype>
#include <iostream>
#include <string>

namespace {

struct DoubleSweep {
    const Direction* direction;
    bool clash;
    Persistence persistence;
};

std::string Label(const DoubleSweep& sweep)
{
    return std::string(sweep.direction->label) + (sweep.clash ? ", with a clash" : "") +
           (sweep.persistence == Persistence::PerKey ? ", failures kept per key" : "");
}

class MoveDoubleFaultSweep : public ::testing::TestWithParam<DoubleSweep> {};

// The second failure is taken from the calls the command makes once the first has failed, clean-ups included.
TEST_P(MoveDoubleFaultSweep, KeepsEveryEntryWholeWhicheverTwoCallsFail)
{
    const DoubleSweep& sweep = GetParam();
    const FaultSweep faultSweep(*sweep.direction, sweep.clash, sweep.persistence, true);
    const Names clean = faultSweep.Run({});
    int pairs = 0;
    for (int first = 1; first <= static_cast<int>(clean.size()); ++first) {
        const Names afterFirst = faultSweep.Run({first});
        for (int second = first + 1; second <= static_cast<int>(afterFirst.size()); ++second) {
            SCOPED_TRACE("failing calls " + std::to_string(first) + " " + afterFirst[first - 1] + " and " +
                         std::to_string(second) + " " + afterFirst[second - 1]);
            faultSweep.Run({first, second});
            ++pairs;
        }
    }
    std::cout << Label(sweep) << ": " << pairs << " pairs\n";
}

INSTANTIATE_TEST_SUITE_P(
    Moves, MoveDoubleFaultSweep,
    ::testing::Values(DoubleSweep{&kHide, false, Persistence::Once}, DoubleSweep{&kRestore, false, Persistence::Once},
                      DoubleSweep{&kHide, true, Persistence::Once}, DoubleSweep{&kRestore, true, Persistence::Once},
                      DoubleSweep{&kHide, false, Persistence::PerKey},
                      DoubleSweep{&kRestore, false, Persistence::PerKey}),
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
        faults.FailCall("RegDeleteValueA", 1);
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
        EXPECT_EQ(ERROR_SUCCESS, registryCalls.deleteKey(location.Get(), "Alpha")) << "another call on the same key";
    }
}

}  // namespace
