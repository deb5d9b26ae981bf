// The ">>" and "<<" commands on the real registry and real list boxes: what moves, what the lists show, what is said.
#include "driver_moves.h"
#include "key_looks.h"
#include "registry_key.h"
#include "store_bench.h"

#include <gtest/gtest.h>

namespace {

TEST(MoveCommands, HideMovesExactlyTheSelectedItems)
{
    StoreBench bench;
    Locations start;
    start.active = Drivers({"Alpha", "Bravo", "Charlie", "Delta", "Echo"});
    bench.Start(start);
    bench.host.Select(kActiveList, 1);
    bench.host.Select(kActiveList, 3);

    HideSelected(bench.host.Window());

    EXPECT_TRUE(bench.boxes.Take().empty());
    EXPECT_EQ((Names{"Alpha", "Charlie", "Echo"}), bench.host.Items(kActiveList));
    EXPECT_TRUE(bench.host.SelectedItems(kActiveList).empty());
    EXPECT_EQ((Names{"Bravo", "Delta"}), bench.host.Items(kHiddenList));
    const Locations after = ReadLocations();
    EXPECT_EQ(Drivers({"Alpha", "Charlie", "Echo"}), after.active);
    EXPECT_EQ(Drivers({"Bravo", "Delta"}), after.hidden);
}

TEST(MoveCommands, RestoreMovesTheSelectedItemsBack)
{
    StoreBench bench;
    Locations start;
    start.active = Drivers({"Alpha"});
    start.hidden = Drivers({"Bravo", "Delta", "Foxtrot"});
    start.hiddenExists = true;
    bench.Start(start, kHiddenList, {"Bravo", "Foxtrot"});

    RestoreSelected(bench.host.Window());

    EXPECT_TRUE(bench.boxes.Take().empty());
    EXPECT_EQ((Names{"Alpha", "Bravo", "Foxtrot"}), bench.host.Items(kActiveList));
    EXPECT_EQ((Names{"Delta"}), bench.host.Items(kHiddenList));
    EXPECT_TRUE(bench.host.SelectedItems(kHiddenList).empty());
    const Locations after = ReadLocations();
    EXPECT_EQ(Drivers({"Alpha", "Bravo", "Foxtrot"}), after.active);
    EXPECT_EQ(Drivers({"Delta"}), after.hidden);
}

TEST(MoveCommands, NamesOf254CharactersMove)
{
    StoreBench bench;
    const std::string longName(254, 'L');
    Locations start;
    start.active = Drivers({longName, "Short"});
    bench.Start(start, kActiveList, {longName});

    HideSelected(bench.host.Window());

    EXPECT_EQ((Names{longName}), bench.host.Items(kHiddenList));
    EXPECT_EQ(Drivers({longName}), ReadTree(HKEY_LOCAL_MACHINE, kHiddenPath));
    EXPECT_EQ(Drivers({"Short"}), ReadTree(HKEY_LOCAL_MACHINE, kActivePath));
}

// No registry name is that long, but a list item can be: it must be skipped, not read past the buffer's end.
TEST(MoveCommands, ItemTooLongForTheTextBufferIsSkipped)
{
    StoreBench bench;
    Locations start;
    start.active = Drivers({"Short"});
    bench.Start(start);
    const std::string overlong(1100, 'X');
    bench.host.Add(kActiveList, overlong);
    bench.host.Select(kActiveList, 0);
    bench.host.Select(kActiveList, 1);

    HideSelected(bench.host.Window());

    EXPECT_TRUE(bench.boxes.Take().empty());
    EXPECT_EQ((Names{overlong}), bench.host.SelectedItems(kActiveList));
    EXPECT_EQ((Names{"Short"}), bench.host.Items(kHiddenList));
    EXPECT_EQ(Drivers({"Short"}), ReadTree(HKEY_LOCAL_MACHINE, kHiddenPath));
}

// With nothing selected, only the hidden location may come into being, empty; the lists stay as they were.
TEST(MoveCommands, NothingSelectedShowsTheDirectionsMessage)
{
    for (const Direction* direction : {&kHide, &kRestore}) {
        for (const bool emptyLists : {true, false}) {
            SCOPED_TRACE(std::string(direction->label) + (emptyLists ? ", empty lists" : ", nothing selected"));
            StoreBench bench;
            Locations start;
            if (!emptyLists) {
                start.active = Drivers({"Alpha", "Bravo"});
                start.hidden = Drivers({"Charlie"});
                start.hiddenExists = true;
            }
            start.active.Dword("Own value", 1);
            bench.Start(start);
            const Names activeItems = bench.host.Items(kActiveList);
            const Names hiddenItems = bench.host.Items(kHiddenList);
            RegistryTree software = ReadTree(HKEY_LOCAL_MACHINE, "Software");

            direction->Run(bench.host.Window());

            EXPECT_TRUE(bench.boxes.TookOneBox(kQuimbleTitle, direction->nothingSelected, bench.host.Window()));
            EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kHiddenPath));
            if (!software.subkeys.count(kHiddenKeyName))
                software.Subkey(kHiddenKeyName, RegistryTree());
            EXPECT_EQ(software, ReadTree(HKEY_LOCAL_MACHINE, "Software"));
            EXPECT_EQ(activeItems, bench.host.Items(kActiveList));
            EXPECT_EQ(hiddenItems, bench.host.Items(kHiddenList));
            EXPECT_TRUE(bench.host.ListsShowTheirChanges());
        }
    }
}

// The hidden location is still created, as whenever a move command runs; the active one never is.
TEST(MoveCommands, MissingActiveLocationCannotBeOpened)
{
    for (const Direction* direction : {&kHide, &kRestore}) {
        SCOPED_TRACE(direction->label);
        StoreBench bench;
        WriteTree(HKEY_LOCAL_MACHINE, "Software\\Neighbour", RegistryTree().Dword("Untouched", 1));
        bench.host.Add(kActiveList, "Alpha");
        bench.host.Add(kHiddenList, "Bravo");
        bench.host.Select(kActiveList, 0);
        bench.host.Select(kHiddenList, 0);

        direction->Run(bench.host.Window());

        EXPECT_TRUE(bench.boxes.TookOneBox(kQuimbleTitle, kCouldNotOpenText, bench.host.Window()));
        EXPECT_EQ((Names{"Alpha"}), bench.host.SelectedItems(kActiveList));
        EXPECT_EQ((Names{"Bravo"}), bench.host.SelectedItems(kHiddenList));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kActivePath));
        EXPECT_EQ(RegistryTree()
                      .Subkey("Neighbour", RegistryTree().Dword("Untouched", 1))
                      .Subkey(kHiddenKeyName, RegistryTree()),
                  ReadTree(HKEY_LOCAL_MACHINE, "Software"));
    }
}

// A name the destination already has is left alone in both locations and stays selected; one box after the walk
// says what is in the way: a device the other list shows, or a key that is no device, with where it is.
TEST(MoveCommands, NameTakenOnTheOtherSideIsLeftInPlaceAndExplained)
{
    for (const Direction* direction : {&kHide, &kRestore}) {
        SCOPED_TRACE(direction->label);
        StoreBench bench;
        Locations start;
        start.hiddenExists = true;
        start.*direction->source = Drivers({"Other Twin", "Solo", "Stray", "Twin"});
        (start.*direction->destination)
            .Subkey("Twin", DriverTree("destination twin"))
            .Subkey("Other Twin", DriverTree("other destination twin"))
            .Subkey("Stray", RegistryTree().String("Leftover", "x"));
        bench.Start(start, direction->sourceList, {"Other Twin", "Solo", "Stray", "Twin"});

        direction->Run(bench.host.Window());

        const std::string expectedText = std::string(kDevicesInTheWayText) + "\nOther Twin\nTwin\n\n" +
                                         KeysInTheWayText(direction->destinationPath) + "\nStray";
        EXPECT_TRUE(bench.boxes.TookOneBox(kQuimbleTitle, expectedText, bench.host.Window()));
        Locations expected = start;
        (expected.*direction->source).subkeys.erase("Solo");
        (expected.*direction->destination).Subkey("Solo", DriverTree("Solo"));
        const Locations after = ReadLocations();
        EXPECT_EQ(expected.active, after.active);
        EXPECT_EQ(expected.hidden, after.hidden);
        EXPECT_EQ((Names{"Other Twin", "Stray", "Twin"}), bench.host.Items(direction->sourceList));
        EXPECT_EQ((Names{"Other Twin", "Stray", "Twin"}), bench.host.SelectedItems(direction->sourceList));
        EXPECT_EQ((Names{"Other Twin", "Solo", "Twin"}), bench.host.Items(direction->destinationList));
        // A box after the walk too: the lists still end up drawing their changes.
        EXPECT_TRUE(bench.host.ListsShowTheirChanges());
    }
}

// An installer may give its key a class and let users write their settings under it, or close it to them: a hide
// and a restore keep each key's class name, its own DACL entries with their protection, and its owner.
TEST(MoveCommands, KeyClassesAndSecurityTravelWithTheEntry)
{
    StoreBench bench;
    Locations start;
    start.active = Drivers({"Alpha", "Bravo"});
    start.hiddenExists = true;
    const RegistryTree& alpha = start.active.subkeys.at("Alpha");
    const RegistryTree& settings = alpha.subkeys.at("Settings");
    const std::string entry = std::string(kActivePath) + "\\Alpha";
    CreateKeyWithClass(HKEY_LOCAL_MACHINE, entry, L"QuimbleTestDriver", alpha);
    CreateKeyWithClass(HKEY_LOCAL_MACHINE, entry + "\\Firmware", L"Firmware Store", alpha.subkeys.at("Firmware"));
    CreateKeyWithClass(HKEY_LOCAL_MACHINE, entry + "\\Settings", L"", settings);
    CreateKeyWithClass(HKEY_LOCAL_MACHINE, entry + "\\Settings\\Channels", L"Channel Map",
                       settings.subkeys.at("Channels"));
    CreateKeyWithClass(HKEY_LOCAL_MACHINE, entry + "\\Settings\\Channels\\Deepest", L"",
                       settings.subkeys.at("Channels").subkeys.at("Deepest"));
    WriteTree(HKEY_LOCAL_MACHINE, std::string(kActivePath) + "\\Bravo", start.active.subkeys.at("Bravo"));
    WriteTree(HKEY_LOCAL_MACHINE, kHiddenPath, RegistryTree());
    // Closed to inheritance, users may write; deeper down an entry of its own beside what it inherits.
    SetDacl(HKEY_LOCAL_MACHINE, entry, "D:P(A;CI;KA;;;BA)(A;CI;KA;;;SY)(A;CI;KRKW;;;BU)");
    SetDacl(HKEY_LOCAL_MACHINE, entry + "\\Settings", "D:(A;CI;KR;;;WD)");
    const auto original = ReadKeyLooks(HKEY_LOCAL_MACHINE, entry);
    ASSERT_EQ(5u, original.size());
    // As set: protected, with the users' entry (the platform may spell its rights out).
    ASSERT_EQ(0u, original.at("").dacl.rfind("D:P(A;CI;KA;;;BA)(A;CI;KA;;;SY)(A;CI;", 0)) << original.at("").dacl;
    ASSERT_NE(std::string::npos, original.at("").dacl.find(";;;BU)")) << original.at("").dacl;
    ASSERT_EQ(L"Channel Map", original.at("Settings\\Channels").className);
    const auto bravo = ReadKeyLooks(HKEY_LOCAL_MACHINE, std::string(kActivePath) + "\\Bravo");
    ASSERT_EQ(start.active, ReadTree(HKEY_LOCAL_MACHINE, kActivePath));
    bench.FillAndSelect(kActiveList, {"Alpha", "Bravo"});

    HideSelected(bench.host.Window());
    EXPECT_EQ(original, ReadKeyLooks(HKEY_LOCAL_MACHINE, std::string(kHiddenPath) + "\\Alpha"));
    // An entry that only inherits keeps only inheriting, now from the parking key.
    EXPECT_EQ(bravo, ReadKeyLooks(HKEY_LOCAL_MACHINE, std::string(kHiddenPath) + "\\Bravo"));
    ASSERT_TRUE(SelectNamedItems(bench.host.Window(), kHiddenList, {"Alpha", "Bravo"}));
    RestoreSelected(bench.host.Window());

    EXPECT_TRUE(bench.boxes.Take().empty());
    EXPECT_EQ(original, ReadKeyLooks(HKEY_LOCAL_MACHINE, entry));
    EXPECT_EQ(bravo, ReadKeyLooks(HKEY_LOCAL_MACHINE, std::string(kActivePath) + "\\Bravo"));
    EXPECT_EQ(start.active, ReadTree(HKEY_LOCAL_MACHINE, kActivePath));
}

// One entry at a time, without the lists: each outcome and what it leaves in the registry.
TEST(MoveEntry, ReportsWhatHappenedToTheEntry)
{
    RegistrySandbox sandbox;
    Locations start;
    start.active = Drivers({"Synth", "Twin", "Stray"});
    start.hidden.Subkey("Twin", DriverTree("hidden twin"));
    // A leftover without a CLSID value is not listed, but merging into it would still mix two trees.
    start.hidden.Subkey("Stray", RegistryTree().String("Leftover", "x"));
    start.hiddenExists = true;
    WriteLocations(start);
    RegistryKey active;
    RegistryKey hidden;
    ASSERT_EQ(ERROR_SUCCESS, OpenLocations(active, hidden));

    EXPECT_EQ(MoveResult::NameTakenByDevice, MoveEntry(active.Get(), hidden.Get(), "Twin").result);
    EXPECT_EQ(MoveResult::NameTakenByOtherKey, MoveEntry(active.Get(), hidden.Get(), "Stray").result);
    // Copying an entry that is not there fails with the registry's reason, and creates nothing.
    const MoveOutcome vanished = MoveEntry(active.Get(), hidden.Get(), "Vanished");
    EXPECT_EQ(MoveResult::Failed, vanished.result);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, vanished.error);
    Locations after = ReadLocations();
    EXPECT_EQ(start.active, after.active);
    EXPECT_EQ(start.hidden, after.hidden);

    EXPECT_EQ(MoveResult::Moved, MoveEntry(active.Get(), hidden.Get(), "Synth").result);
    after = ReadLocations();
    EXPECT_EQ(Drivers({"Stray", "Twin"}), after.active);
    EXPECT_EQ(RegistryTree(start.hidden).Subkey("Synth", DriverTree("Synth")), after.hidden);
}

constexpr char kTwinClass[] = "{4F1C2B7E-9A30-4D65-B8C1-2E7D90A3F5B6}";

// The destination's entry of the name against the one selected: the same driver is told apart by the class its
// "CLSID" string names, in any letter case, with or without its braces; anything else is another driver.
TEST(MoveEntry, TellsTheSameDriverRegisteredAgainFromAnother)
{
    struct Case {
        const char* label;
        RegistryValue selected;
        RegistryValue there;
        MoveResult result;
    };
    const auto text = [](const std::string& value) { return RegistryValue{REG_SZ, value + '\0'}; };
    const RegistryValue twin = text(kTwinClass);
    const Case cases[] = {
        {"the same text", twin, twin, MoveResult::RegisteredAgain},
        {"lower case", twin, text("{4f1c2b7e-9a30-4d65-b8c1-2e7d90a3f5b6}"), MoveResult::RegisteredAgain},
        {"without braces", twin, text("4F1C2B7E-9A30-4D65-B8C1-2E7D90A3F5B6"), MoveResult::RegisteredAgain},
        {"braces only on the selected", text("4f1c2b7e-9a30-4d65-b8c1-2e7d90a3f5b6"), twin,
         MoveResult::RegisteredAgain},
        {"expandable string", twin, RegistryValue{REG_EXPAND_SZ, twin.data}, MoveResult::RegisteredAgain},
        {"another class", twin, text("{4F1C2B7E-9A30-4D65-B8C1-2E7D90A3F5B7}"), MoveResult::NameTakenByDevice},
        {"one brace", twin, text("{4F1C2B7E-9A30-4D65-B8C1-2E7D90A3F5B6"), MoveResult::NameTakenByDevice},
        {"a space after", twin, text(std::string(kTwinClass) + " "), MoveResult::NameTakenByDevice},
        {"no GUID in either", text("Twin"), text("Twin"), MoveResult::NameTakenByDevice},
        {"no string", twin, RegistryValue{REG_BINARY, twin.data}, MoveResult::NameTakenByDevice},
        {"empty", twin, text(""), MoveResult::NameTakenByDevice},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.label);
        RegistrySandbox sandbox;
        Locations start;
        start.active.Subkey("Twin", DriverTree("selected twin").Value("CLSID", row.selected.type, row.selected.data));
        start.hidden.Subkey("twin", DriverTree("older twin").Value("CLSID", row.there.type, row.there.data));
        start.hiddenExists = true;
        WriteLocations(start);
        RegistryKey active;
        RegistryKey hidden;
        ASSERT_EQ(ERROR_SUCCESS, OpenLocations(active, hidden));

        const MoveOutcome outcome = MoveEntry(active.Get(), hidden.Get(), "Twin");

        EXPECT_EQ(row.result, outcome.result);
        EXPECT_FALSE(outcome.olderCopyRemoved);
        const Locations after = ReadLocations();
        EXPECT_EQ(start.active, after.active);
        EXPECT_EQ(start.hidden, after.hidden);
    }
}

// One press with a driver registered again, a clash and a plain entry selected: one question names the driver
// registered again; Yes replaces its older copy, No leaves both; the others move or clash as they always do.
TEST(MoveCommands, DriverRegisteredAgainIsReplacedOnYesAndLeftOnNo)
{
    for (const Direction* direction : {&kHide, &kRestore}) {
        for (const int answer : {IDYES, IDNO}) {
            const bool yes = answer == IDYES;
            SCOPED_TRACE(std::string(direction->label) + (yes ? ", Yes" : ", No"));
            StoreBench bench;
            bench.boxes.AnswerWith(answer);
            Locations start;
            start.hiddenExists = true;
            const RegistryTree selectedTwin = DriverTree("selected twin").String("CLSID", kTwinClass);
            start.*direction->source = Drivers({"Other Twin", "Solo"}).Subkey("Twin", selectedTwin);
            (start.*direction->destination)
                .Subkey("TWIN", DriverTree("older twin").String("CLSID", "4F1C2B7E-9A30-4D65-B8C1-2E7D90A3F5B6"))
                .Subkey("Other Twin", DriverTree("another class"));
            bench.Start(start, direction->sourceList, {"Other Twin", "Solo", "Twin"});

            direction->Run(bench.host.Window());

            const std::vector<RecordedBox> boxes = bench.boxes.Take();
            ASSERT_EQ(2u, boxes.size());
            EXPECT_EQ(kQuimbleTitle, boxes[0].title);
            EXPECT_EQ(RegisteredAgainText(direction->destinationWord, {"Twin"}), boxes[0].text);
            EXPECT_EQ(std::string(kDevicesInTheWayText) + "\nOther Twin", boxes[1].text);
            Locations expected = start;
            (expected.*direction->source).subkeys.erase("Solo");
            (expected.*direction->destination).Subkey("Solo", DriverTree("Solo"));
            Names stillSelected = {"Other Twin"};
            if (yes) {
                (expected.*direction->source).subkeys.erase("Twin");
                (expected.*direction->destination).Subkey("Twin", selectedTwin);
            } else {
                stillSelected.push_back("Twin");
            }
            const Locations after = ReadLocations();
            EXPECT_EQ(expected.active, after.active);
            EXPECT_EQ(expected.hidden, after.hidden);
            EXPECT_EQ(stillSelected, bench.host.SelectedItems(direction->sourceList));
            EXPECT_EQ(stillSelected, bench.host.Items(direction->sourceList));
            // The list shows the registry's spelling of each name, which after a replace is the entry's own.
            const Names destinationNames = {"Other Twin", "Solo", yes ? "Twin" : "TWIN"};
            EXPECT_EQ(destinationNames, DriverNames(after.*direction->destination));
            EXPECT_EQ(destinationNames, bench.host.Items(direction->destinationList));
            EXPECT_TRUE(bench.host.ListsShowTheirChanges());
        }
    }
}

}  // namespace
