// Which subkeys count as driver entries, and listing a location into a real list box.
#include "driver_lists.h"
#include "driver_records.h"
#include "driver_trees.h"
#include "expected_texts.h"
#include "list_host.h"
#include "registry_faults.h"
#include "registry_key.h"
#include "registry_sandbox.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <iostream>
#include <iterator>
#include <set>

namespace {

bool HasValue(const RegistryKey& location, const char* subkeyName, const char* valueName)
{
    return FindValue(location.Get(), subkeyName, valueName, NameCase::Exact, 0) == ERROR_SUCCESS;
}

struct EntryCase {
    std::string name;
    RegistryTree tree;
    bool isEntry;
};

std::vector<EntryCase> EntryCases()
{
    RegistryTree manyValues;
    for (int i = 0; i < 40; ++i)
        manyValues.Dword("A" + std::to_string(i), i);
    return {
        // Any type and any content of the CLSID value will do.
        {"Plain", RegistryTree().String("CLSID", "{0A1B2C3D-0000-0000-0000-000000000001}"), true},
        {"Empty string", RegistryTree().Value("CLSID", REG_SZ, ""), true},
        {"Dword", RegistryTree().Dword("CLSID", 7), true},
        {"No data", RegistryTree().Value("CLSID", REG_NONE, ""), true},
        {"Among many", RegistryTree(manyValues).Dword("CLSID", 1).Dword("ZZZ", 2), true},
        // The name must match exactly, letter case included.
        {"Lower case", RegistryTree().String("clsid", "{x}"), false},
        {"Capitalised", RegistryTree().String("Clsid", "{x}"), false},
        {"Longer", RegistryTree().String("CLSID2", "{x}"), false},
        {"Shorter", RegistryTree().String("CLSI", "{x}"), false},
        {"Trailing space", RegistryTree().String("CLSID ", "{x}"), false},
        {"Default holds it", RegistryTree().String("", "CLSID"), false},
        // It must be the subkey's own value, not a deeper one.
        {"No values", RegistryTree(), false},
        {"Only deeper", RegistryTree().Subkey("Inner", RegistryTree().String("CLSID", "{x}")), false},
    };
}

void OpenActive(RegistryKey& location)
{
    const LONG rc = OpenLocationForListing(kActiveLocation, location);
    ASSERT_EQ(ERROR_SUCCESS, rc) << "opening HKLM\\" << kActivePath;
}

TEST(DriverEntries, AreTheSubkeysWithAValueNamedExactlyCLSID)
{
    RegistrySandbox sandbox;
    RegistryTree active;
    std::vector<std::string> expected;
    for (const EntryCase& row : EntryCases()) {
        active.Subkey(row.name, row.tree);
        if (row.isEntry)
            expected.push_back(row.name);
    }
    // The location's own CLSID value makes nothing an entry.
    active.String("CLSID", "{x}");
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath, active);
    RegistryKey location;
    ASSERT_NO_FATAL_FAILURE(OpenActive(location));

    for (const EntryCase& row : EntryCases())
        EXPECT_EQ(row.isEntry, HasValue(location, row.name.c_str(), "CLSID")) << row.name;
    EXPECT_EQ(Sorted(expected), Sorted(ListDriverEntries(location.Get())));

    ListHost host;
    FillDriverList(location.Get(), host.Window(), kActiveLocation);
    EXPECT_EQ(Sorted(expected), host.Items(kActiveList));
    EXPECT_TRUE(host.Items(kHiddenList).empty());
}

TEST(DriverEntries, AnExactValueIsLookedForByTheNameItIsGiven)
{
    RegistrySandbox sandbox;
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath,
              RegistryTree().Subkey("Synth", RegistryTree().String("clsid", "{x}").Dword("Rate", 1)));
    RegistryKey location;
    ASSERT_NO_FATAL_FAILURE(OpenActive(location));
    EXPECT_TRUE(HasValue(location, "Synth", "clsid"));
    EXPECT_TRUE(HasValue(location, "Synth", "Rate"));
    EXPECT_FALSE(HasValue(location, "Synth", "CLSID"));
    EXPECT_FALSE(HasValue(location, "Missing", "clsid"));
}

TEST(DriverEntries, NamesUpTo254CharactersAreListed)
{
    RegistrySandbox sandbox;
    const std::string name253(253, 'a');
    const std::string name254(254, 'b');
    const std::string name255(255, 'c');
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath,
              RegistryTree()
                  .Subkey(name253, RegistryTree().String("CLSID", "{x}"))
                  .Subkey(name254, RegistryTree().String("CLSID", "{x}")));
    RegistryKey location;
    ASSERT_NO_FATAL_FAILURE(OpenActive(location));
    RegistryKey longest;
    const LONG rc = RegCreateKeyExA(location.Get(), name255.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    longest.Receive(), nullptr);
    if (rc != ERROR_SUCCESS)
        GTEST_SKIP() << "this registry refuses a subkey name of 255 characters: " << rc;
    WriteTree(location.Get(), name255, RegistryTree().String("CLSID", "{x}"));
    ASSERT_TRUE(KeyExists(location.Get(), name255));

    EXPECT_EQ((std::vector<std::string>{name253, name254}), Sorted(ListDriverEntries(location.Get())));
}

// Where the code page is not UTF-8 (this test program asks for none), a name the code page cannot hold would come back
// as question marks or as a look-alike of another key's name; it is left out, and its look-alike twin listed once.
TEST(DriverEntries, NamesTheCodePageCannotHoldAreLeftOut)
{
    if (GetACP() == CP_UTF8)
        GTEST_SKIP() << "this process runs with UTF-8 as its code page, which holds every name";
    RegistrySandbox sandbox;
    struct Row {
        const wchar_t* name;
        bool listed;
    };
    const Row rows[] = {
        {L"Foo ASIO", true},
        {L"\xFF26\xFF4F\xFF4F ASIO", false},  // full-width, best-fit mapped onto the name above
        {L"\x0416\x0443\x043A ASIO", false},  // Cyrillic, question marks in a Western code page
        {L"A\xFF3C" L"B", false},               // a full-width backslash, best-fit mapped onto a real one
    };
    RegistryKey location;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kActivePath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             location.Receive(), nullptr));
    std::vector<std::string> expected;
    for (const Row& row : rows) {
        HKEY entry = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(location.Get(), row.name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                 &entry, nullptr));
        RegSetValueExW(entry, L"CLSID", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"{x}"), 8);
        RegCloseKey(entry);
        char converted[256] = {};
        WideCharToMultiByte(CP_ACP, 0, row.name, -1, converted, sizeof converted, nullptr, nullptr);
        if (row.listed)
            expected.push_back(converted);
    }
    EXPECT_EQ(expected, ListDriverEntries(location.Get()));
}

// A class name longer than the query's class buffer makes the query answer ERROR_MORE_DATA, with the counts filled.
TEST(DriverEntries, LongClassNamesOnTheLocationAndAnEntryHideNothing)
{
    RegistrySandbox sandbox;
    std::string longClass(400, 'k');
    RegistryKey location;
    LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kActivePath, 0, longClass.data(), 0, KEY_ALL_ACCESS, nullptr,
                              location.Receive(), nullptr);
    ASSERT_EQ(ERROR_SUCCESS, rc) << "RegCreateKeyExA(HKLM, \"" << kActivePath << "\", class of 400)";
    RegistryKey entry;
    rc = RegCreateKeyExA(location.Get(), "Classy", 0, longClass.data(), 0, KEY_ALL_ACCESS, nullptr, entry.Receive(),
                         nullptr);
    ASSERT_EQ(ERROR_SUCCESS, rc) << "RegCreateKeyExA(active, \"Classy\", class of 400)";
    // Through this handle: under Wine, opening the key again with the create call clears its class.
    rc = RegSetValueExA(entry.Get(), "CLSID", 0, REG_SZ, reinterpret_cast<const BYTE*>("{x}"), 4);
    ASSERT_EQ(ERROR_SUCCESS, rc) << "RegSetValueExA(\"Classy\", \"CLSID\")";
    WriteTree(location.Get(), "Plain", RegistryTree().String("CLSID", "{x}"));

    EXPECT_TRUE(HasValue(location, "Classy", "CLSID"));
    EXPECT_EQ((std::vector<std::string>{"Classy", "Plain"}), Sorted(ListDriverEntries(location.Get())));
}

// Whatever single call fails while listing, the list shows only real entries, each once, and loses at most the one
// entry the failed call was about (all of them when the location itself cannot be queried).
TEST(DriverEntries, ListingSurvivesAnySingleFailedCall)
{
    RegistrySandbox sandbox;
    RegistryTree active;
    for (const char* name : {"Alpha", "Bravo", "Charlie", "Delta"})
        active.Subkey(name, DriverTree(name));
    active.Subkey("Lower", RegistryTree().String("clsid", "{x}").Dword("Other", 1))
        .Subkey("Deeper", RegistryTree().Dword("Other", 1).Subkey("Inner", RegistryTree().String("CLSID", "{x}")));
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath, active);
    const std::vector<std::string> entries = DriverNames(active);
    RegistryKey location;
    ASSERT_NO_FATAL_FAILURE(OpenActive(location));

    FaultPoints points;
    {
        ListHost host;
        RegistryFaults faults;
        FillDriverList(location.Get(), host.Window(), kActiveLocation);
        points = FaultPointsOf(faults.Calls());
        EXPECT_EQ(entries, host.Items(kActiveList));
    }
    std::cout << "listing sweep: " << points.size() << " injection points\n";

    for (const FaultPoint& point : points) {
        SCOPED_TRACE("failing " + Describe(point));
        ListHost host;
        {
            RegistryFaults faults;
            faults.Fail(point);
            FillDriverList(location.Get(), host.Window(), kActiveLocation);
            EXPECT_TRUE(faults.OpenKeys().empty()) << "a key was left open";
            EXPECT_EQ(0, faults.StrayCloses());
        }
        const std::vector<std::string> listed = host.Items(kActiveList);
        std::vector<std::string> missing;
        std::set_difference(entries.begin(), entries.end(), listed.begin(), listed.end(), std::back_inserter(missing));
        EXPECT_TRUE(std::includes(entries.begin(), entries.end(), listed.begin(), listed.end()))
            << "listed " << ::testing::PrintToString(listed);
        EXPECT_EQ(listed.size(), std::set<std::string>(listed.begin(), listed.end()).size()) << "a name listed twice";
        // The location's own query (the test opened the location, so its path is its handle) leaves nothing to list.
        if (point.call == "RegQueryInfoKeyA" && point.path.find('\\') == std::string::npos)
            EXPECT_TRUE(listed.empty());
        else
            EXPECT_LE(missing.size(), 1u) << "lost " << ::testing::PrintToString(missing);
    }
}

std::string Describe(const DriverRecord& record, bool anyServerHealth)
{
    const auto text = [](const std::optional<std::string>& value) { return value ? "\"" + *value + "\"" : "-"; };
    const bool serverHealth = record.health != Health::BadClsid && record.health != Health::NotADriver;
    return std::to_string(record.view) + (record.hidden ? " hidden " : " active ") + record.name + " " +
           text(record.clsid) + " " + text(record.description) +
           (anyServerHealth && serverHealth ? " (class looked up)"
                                            : " " + text(record.server) + " " + std::to_string(int(record.health)));
}

const DriverRecord& Select(const std::vector<DriverRecord>& records, const std::string& name)
{
    for (const DriverRecord& record : records)
        if (record.name == name)
            return record;
    return records.front();
}

std::vector<std::string> Described(const std::vector<DriverRecord>& records, bool anyServerHealth)
{
    std::vector<std::string> lines;
    for (const DriverRecord& record : records)
        lines.push_back(Describe(record, anyServerHealth));
    return lines;
}

// The records (list and check) through the same seam: whatever single call fails, the reading either says so, naming
// a key, or gives every record as it is; only a failed class lookup may change a driver's health, to "registration
// unreadable". Nothing failed is passed off as "not a driver" or "not registered".
TEST(DriverRecords, ReadingReportsAnySingleFailedCallOrLosesNothing)
{
    RegistrySandbox sandbox;
    RegistryTree active;
    for (const char* name : {"Alpha", "Bravo"})
        active.Subkey(name, DriverTree(name));
    active.Subkey("Lower", RegistryTree().String("clsid", "{5EED00AA-0C0F-4E1D-9A5B-00000000C0DE}"))
        .Subkey("Plain Key", RegistryTree().String("Description", "no driver").Subkey("Inner", RegistryTree()));
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath, active);
    WriteTree(HKEY_LOCAL_MACHINE, kHiddenPath, Drivers({"Parked"}));
    const std::vector<RegistryView> views = {OwnView()};

    std::vector<DriverRecord> expected;
    FaultPoints points;
    {
        RegistryFaults faults;
        ASSERT_EQ(ERROR_SUCCESS, ReadDriverRecords(views, false, expected).code);
        points = FaultPointsOf(faults.Calls());
    }
    ASSERT_EQ(5u, expected.size());
    std::cout << "records sweep: " << points.size() << " injection points\n";

    for (const FaultPoint& point : points) {
        SCOPED_TRACE("failing " + Describe(point));
        std::vector<DriverRecord> records;
        RecordsFailure failure;
        {
            RegistryFaults faults;
            faults.Fail(point);
            failure = ReadDriverRecords(views, false, records);
            EXPECT_TRUE(faults.OpenKeys().empty()) << "a key was left open";
            EXPECT_EQ(0, faults.StrayCloses());
        }
        if (failure.code != ERROR_SUCCESS) {
            EXPECT_EQ(0u, failure.key.find("HKLM\\Software\\ASIO")) << failure.key;
            continue;
        }
        EXPECT_EQ(Described(expected, true), Described(records, true));
        for (const DriverRecord& record : records) {
            if (record.health != Health::RegistrationUnreadable) {
                EXPECT_EQ(Describe(Select(expected, record.name), false), Describe(record, false));
            }
        }
    }
}

}  // namespace

