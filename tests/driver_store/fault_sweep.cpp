// The sweeps' starting state and the checks after each command.
#include "fault_sweep.h"

#include "key_looks.h"

#include <gtest/gtest.h>
#include <algorithm>

namespace {

// Hosts load a subkey that holds "CLSID" in any letter case, as the registry finds value names.
bool HostsLoad(const RegistryTree& subkey)
{
    return subkey.values.count("CLSID") > 0;
}

Names NamesHostsLoad(const RegistryTree& location)
{
    Names names;
    for (const auto& [name, subtree] : location.subkeys)
        if (HostsLoad(subtree))
            names.push_back(name);
    return Sorted(names);
}

// As the registry finds names: the older copy of a driver registered again may spell it otherwise.
bool Contains(const Names& names, const std::string& name)
{
    const RegistryNameOrder less;
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& each) { return !less(each, name) && !less(name, each); });
}

const RegistryTree* Find(const RegistryTree& location, const std::string& name)
{
    const auto found = location.subkeys.find(name);
    return found == location.subkeys.end() ? nullptr : &found->second;
}

::testing::AssertionResult RegistrationsKeptWhole(const Direction& direction, const SweepStart& start,
                                                  const Locations& after, bool remainsAllowed)
{
    const RegistryTree& source = start.locations.*direction.source;
    for (const std::string& name : start.selected) {
        const RegistryTree& original = source.subkeys.at(name);
        const RegistryTree* inSource = Find(after.*direction.source, name);
        const RegistryTree* inDestination = Find(after.*direction.destination, name);
        if (!(inSource && *inSource == original) && !(inDestination && *inDestination == original))
            return ::testing::AssertionFailure() << "\"" << name << "\" is whole in neither location";
    }
    for (RegistryTree Locations::*location : {&Locations::active, &Locations::hidden}) {
        const RegistryTree& before = start.locations.*location;
        const RegistryTree& now = after.*location;
        if (now.values != before.values)
            return ::testing::AssertionFailure() << "a location's own values changed";
        const bool isSource = location == direction.source;
        // An older copy being replaced may go; until the copy made in its place is whole, that is no registration.
        const auto replaceable = [&](const std::string& name) {
            return !isSource && Contains(start.registeredAgain, name);
        };
        for (const auto& [name, tree] : before.subkeys)
            if (!(isSource && Contains(start.selected, name)) && !replaceable(name) && !Find(now, name))
                return ::testing::AssertionFailure() << "unselected \"" << name << "\" is gone";
        for (const auto& [name, tree] : now.subkeys) {
            const RegistryTree* earlier = Find(before, name);
            if (earlier && *earlier == tree)
                continue;
            const bool selected = Contains(start.selected, name) && (!earlier || isSource || replaceable(name));
            if (!selected)
                return ::testing::AssertionFailure() << "unselected \"" << name << "\" changed";
            if (tree == source.subkeys.at(name))
                continue;
            // A delete of the older copy that fails half-way leaves remains of it, which nothing could take back.
            const bool olderCopyRemains = earlier && replaceable(name) && !HostsLoad(tree);
            if (olderCopyRemains)
                continue;
            if (!remainsAllowed || HostsLoad(tree))
                return ::testing::AssertionFailure()
                       << "\"" << name << "\" is not whole" << (HostsLoad(tree) ? " but registered" : "") << ":"
                       << ::testing::PrintToString(tree);
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ListsShowTheLocations(const ListHost& host, const Locations& after)
{
    for (const auto& [listId, location] : {std::pair{kActiveList, &after.active}, {kHiddenList, &after.hidden}}) {
        const Names items = host.Items(listId);
        if (items != NamesHostsLoad(*location))
            return ::testing::AssertionFailure()
                   << "list " << listId << " shows " << ::testing::PrintToString(items) << ", the location holds "
                   << ::testing::PrintToString(NamesHostsLoad(*location));
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

::testing::AssertionResult FailuresNamed(const std::vector<RecordedBox>& boxes, const char* paragraph,
                                         const Names& names)
{
    if (names.empty())
        return ::testing::AssertionSuccess();
    for (const RecordedBox& box : boxes) {
        const size_t start = box.text.find(paragraph);
        if (start == std::string::npos)
            continue;
        const std::string text = box.text.substr(start);
        for (const std::string& name : names)
            if (text.find("\n" + name + ": ") == std::string::npos)
                return ::testing::AssertionFailure() << "\"" << name << "\" is not named in: " << box.text;
        return ::testing::AssertionSuccess();
    }
    auto failure = ::testing::AssertionFailure() << "no box says \"" << paragraph << "\" for "
                                                 << ::testing::PrintToString(names) << "; " << boxes.size() << " boxes:";
    for (const RecordedBox& box : boxes)
        failure << " [" << box.title << ": " << box.text << "]";
    return failure;
}

namespace {

std::string SourcePath(const Direction& direction)
{
    return direction.source == &Locations::active ? kActivePath : kHiddenPath;
}

RegistryTree SmallDriverTree(const std::string& tag)
{
    return RegistryTree()
        .String("CLSID", "{8A3D6C10-" + tag + "}")
        .String("Description", tag + " ASIO Driver")
        .Subkey("Settings", RegistryTree().Dword("Rate", 48000));
}

SweepStart MakeSweepStart(const Direction& direction, const SweepOptions& options)
{
    const auto entry = options.smallEntries ? SmallDriverTree : DriverTree;
    SweepStart start;
    start.selected = {"Alpha", "Charlie", "Echo"};
    Locations& locations = start.locations;
    locations.hiddenExists = true;
    for (const std::string& name : start.selected)
        (locations.*direction.source).Subkey(name, entry(name));
    RegistryTree& echo = (locations.*direction.source).subkeys.at("Echo");
    const RegistryValue registration = echo.values.at("CLSID");
    echo.values.erase("CLSID");
    echo.Value("clsid", registration.type, registration.data);
    start.listedByHand = {"Echo"};
    const std::string source = SourcePath(direction) + "\\";
    start.dacls = {
        {kActivePath, "D:P(A;;KA;;;BA)(A;;KA;;;SY)"},
        {kHiddenPath, "D:P(A;;KA;;;BA)(A;;KA;;;SY)"},
        {source + "Alpha\\Settings", "D:P(A;CI;KA;;;BA)(D;CIID;KA;;;BG)(A;CIID;KA;;;SY)(A;CIID;KR;;;BU)"},
        {source + "Charlie", "D:(A;CIID;KA;;;BA)(A;CIID;KA;;;SY)(A;CIID;KR;;;BU)"},
    };
    for (const char* name : {"Bravo", "Delta"})
        locations.active.Subkey(name, entry(name));
    locations.active.Subkey("Not A Driver", RegistryTree().Dword("Level", 3).Subkey("Inner", entry("inner")));
    locations.hidden.Subkey("Foxtrot", entry("Foxtrot"));
    if (options.registeredAgain) {
        // The same class in both, written with and without braces and in two letter cases; the older copy's name in
        // a letter case of its own.
        start.registeredAgain = {"Alpha"};
        (locations.*direction.source).subkeys.at("Alpha").String("CLSID", "{8A3D6C10-0000-4000-8000-00000000A1FA}");
        (locations.*direction.destination)
            .Subkey("ALPHA", entry("older Alpha").String("CLSID", "8a3d6c10-0000-4000-8000-00000000a1fa"));
    }
    if (options.clash) {
        start.inTheWay = {"Charlie", "Echo"};
        (locations.*direction.destination).Subkey("Charlie", RegistryTree().String("CLSID", "{5E0C7A21-elsewhere}"));
        (locations.*direction.destination).Subkey("Echo", RegistryTree().String("Note", "kept by another program"));
    }
    return start;
}

// Writes the start, with its DACLs, and lists and selects its entries.
void Begin(StoreBench& bench, const Direction& direction, const SweepStart& start)
{
    Names listed;
    for (const std::string& name : start.selected)
        if (!Contains(start.listedByHand, name))
            listed.push_back(name);
    bench.Start(start.locations, direction.sourceList, listed);
    for (const KeyDacl& dacl : start.dacls)
        SetDacl(HKEY_LOCAL_MACHINE, dacl.path, dacl.sddl);
    for (const std::string& name : start.listedByHand)
        bench.host.Add(direction.sourceList, name);
    ASSERT_TRUE(SelectNamedItems(bench.host.Window(), direction.sourceList, start.listedByHand));
}

// Each key of HKEY_LOCAL_MACHINE\path by its path below it, with the entries of its DACL in force.
std::map<std::string, std::string> DaclsInForce(const std::string& path)
{
    std::map<std::string, std::string> dacls;
    for (const auto& [below, look] : ReadKeyLooks(HKEY_LOCAL_MACHINE, path))
        dacls[below] = EntriesInForce(look.dacl);
    return dacls;
}

// Opening the locations comes first; when it fails, the command stops there with its one box.
bool OpensALocation(const FaultPoint& point)
{
    return (point.call == "RegOpenKeyExA" || point.call == "RegCreateKeyExA") &&
           (point.path == MachinePath(kActivePath) || point.path == MachinePath(kHiddenPath));
}

}  // namespace

FaultSweep::FaultSweep(const Direction& direction, const SweepOptions& options)
    : direction_(direction), start_(MakeSweepStart(direction, options)), options_(options)
{
}

Calls FaultSweep::Run(const FaultPoints& failing) const
{
    const Direction& direction = direction_;
    const SweepStart& start = start_;
    StoreBench bench(host_);
    bench.boxes.AnswerWith(IDYES);
    Begin(bench, direction, start);
    const ListHost& host = bench.host;
    const std::string sourcePath = SourcePath(direction);
    std::map<std::string, std::map<std::string, std::string>> dacls;
    for (const std::string& name : start.selected)
        dacls[name] = DaclsInForce(sourcePath + "\\" + name);
    // Painted first, so that what the command changes shows as waiting to be repainted.
    host.PaintNow();

    Calls calls;
    {
        RegistryFaults faults;
        if (options_.persistence == Persistence::PerKey)
            faults.KeepFailingPerKey();
        for (const FaultPoint& point : failing)
            faults.Fail(point);
        direction.Run(host.Window());
        calls = faults.Calls();
        EXPECT_TRUE(faults.OpenKeys().empty()) << faults.OpenKeys().size() << " keys left open";
        EXPECT_EQ(0, faults.StrayCloses());
        // A tree is unregistered before it is deleted, unless unregistering it failed: so even a delete cut short
        // by something no sweep can inject (the program killed, the power gone) leaves no broken registration.
        const bool unregisteringFailed = std::any_of(failing.begin(), failing.end(), [](const FaultPoint& point) {
            return point.call == "RegDeleteValueA";
        });
        if (!unregisteringFailed) {
            EXPECT_EQ(0, faults.RegisteredTreesDeleted());
        }
    }

    const Locations after = ReadLocations();
    EXPECT_TRUE(RegistrationsKeptWhole(direction, start, after, options_.remainsAllowed));
    EXPECT_TRUE(ListsShowTheLocations(host, after));

    const bool openingFailed = std::any_of(failing.begin(), failing.end(), OpensALocation);
    // Whatever failed, the lists' new contents reach the screen, and later changes keep being drawn.
    if (!openingFailed) {
        EXPECT_TRUE(host.AwaitsRepaint(kActiveList));
        EXPECT_TRUE(host.AwaitsRepaint(kHiddenList));
    }
    EXPECT_TRUE(host.ListsShowTheirChanges());
    if (openingFailed) {
        EXPECT_TRUE(bench.boxes.TookOneBox(kQuimbleTitle, kCouldNotOpenText, host.Window()));
        EXPECT_EQ(start.locations.active, after.active);
        EXPECT_EQ(start.locations.hidden, after.hidden);
        return calls;
    }
    // A clash is told in one box, unless failures kept the clash from being found; failures in one more; a driver
    // registered again is asked about in one before them.
    const std::vector<RecordedBox> boxes = bench.boxes.Take();
    EXPECT_LE(boxes.size(), (start.inTheWay.empty() ? 0u : 1u) + (failing.empty() ? 0u : 1u) +
                                (start.registeredAgain.empty() ? 0u : 1u));
    for (const RecordedBox& box : boxes)
        EXPECT_EQ(kQuimbleTitle, box.title) << box.text;

    // A failure stops only the entry it hit: the walk goes on, what did not move stays selected, and each is named.
    Names stayedBehind;
    Names inBoth;
    for (const std::string& name : start.selected) {
        const RegistryTree* inSource = Find(after.*direction.source, name);
        const RegistryTree* inDestination = Find(after.*direction.destination, name);
        if (Contains(start.inTheWay, name) || !inSource || !HostsLoad(*inSource))
            continue;
        // An older copy that a failure kept from being replaced is no copy of the entry.
        const bool copied = inDestination && *inDestination == (start.locations.*direction.source).subkeys.at(name);
        (copied ? inBoth : stayedBehind).push_back(name);
    }
    EXPECT_LE(stayedBehind.size() + inBoth.size(), failing.size()) << ::testing::PrintToString(stayedBehind);
    for (const std::string& name : start.selected) {
        for (const RegistryTree Locations::*location : {direction.source, direction.destination}) {
            const RegistryTree* entry = Find(after.*location, name);
            const bool inTheWay = location == direction.destination && Contains(start.inTheWay, name);
            // An older copy that a failure kept from being replaced has security of its own.
            const bool olderCopy = location == direction.destination && Contains(start.registeredAgain, name) &&
                                   entry && *entry != (start.locations.*direction.source).subkeys.at(name);
            if (!entry || !HostsLoad(*entry) || inTheWay || olderCopy)
                continue;
            const std::string path = (location == direction.source ? sourcePath : direction.destinationPath);
            EXPECT_EQ(dacls.at(name), DaclsInForce(path + "\\" + name)) << path << "\\" << name;
        }
    }
    EXPECT_TRUE(FailuresNamed(boxes, kNotMovedText, stayedBehind));
    EXPECT_TRUE(FailuresNamed(boxes, kInBothText, inBoth));
    Names stillListed;
    for (const std::string& name : host.Items(direction.sourceList))
        if (Contains(start.selected, name))
            stillListed.push_back(name);
    EXPECT_EQ(stillListed, host.SelectedItems(direction.sourceList));
    return calls;
}

int FaultSweep::RunCheckingEveryCrashPoint() const
{
    StoreBench bench(host_);
    bench.boxes.AnswerWith(IDYES);
    Begin(bench, direction_, start_);
    int states = 0;
    {
        RegistryFaults faults;
        faults.BeforeEachCall([&] {
            const ::testing::AssertionResult kept =
                RegistrationsKeptWhole(direction_, start_, ReadLocations(), options_.remainsAllowed);
            // One failure names the call; the rest of the run would only repeat it.
            if (!kept && !::testing::Test::HasFailure()) {
                const Calls& made = faults.Calls();
                ADD_FAILURE() << "killed after " << made.size() << " calls, the last "
                              << (made.empty() ? std::string("none") : made.back().name + " " + made.back().path)
                              << ": " << kept.message();
            }
            ++states;
        });
        direction_.Run(bench.host.Window());
    }
    const Locations after = ReadLocations();
    EXPECT_TRUE(RegistrationsKeptWhole(direction_, start_, after, false)) << "after the last call";
    // Only the question about the drivers registered again, which were then replaced.
    EXPECT_EQ(start_.registeredAgain.empty() ? 0u : 1u, bench.boxes.Take().size());
    for (const std::string& name : start_.registeredAgain)
        EXPECT_EQ((start_.locations.*direction_.source).subkeys.at(name),
                  (after.*direction_.destination).subkeys.at(name))
            << name << " was not replaced";
    return states;
}
