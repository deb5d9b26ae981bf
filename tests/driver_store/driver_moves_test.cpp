// The ">>" and "<<" commands on the real registry and real list boxes: what moves, what the lists show, what is said.
#include "driver_lists.h"
#include "key_looks.h"
#include "registry_key.h"
#include "store_bench.h"
#include "system_error_text.h"
#include "tree_copy.h"

#include <gtest/gtest.h>
#include <cstring>

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
// and a restore keep each key's class name and owner, and every key allows and denies what it did, for the same
// accounts. The parking key passes nothing down: a key that inherited entries holds them as its own in the copy,
// closed to inheritance; a protected DACL is kept whole, entries marked inherited included (Wine marks none itself).
TEST(MoveCommands, KeyClassesAndSecurityTravelWithTheEntry)
{
    StoreBench bench;
    Locations start;
    start.active = Drivers({"Alpha", "Bravo", "Charlie"});
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
    for (const char* name : {"Bravo", "Charlie"})
        WriteTree(HKEY_LOCAL_MACHINE, std::string(kActivePath) + "\\" + name, start.active.subkeys.at(name));
    WriteTree(HKEY_LOCAL_MACHINE, kHiddenPath, RegistryTree());
    SetDacl(HKEY_LOCAL_MACHINE, kHiddenPath, "D:P(A;;KA;;;BA)(A;;KA;;;SY)");
    // Closed to inheritance, users may write; deeper down an entry of its own beside what it inherits.
    SetDacl(HKEY_LOCAL_MACHINE, entry, "D:P(A;CI;KA;;;BA)(A;CI;KA;;;SY)(A;CI;KRKW;;;BU)");
    SetDacl(HKEY_LOCAL_MACHINE, entry + "\\Settings", "D:(A;CI;KR;;;WD)");
    SetDacl(HKEY_LOCAL_MACHINE, entry + "\\Firmware", "D:(A;CI;KA;;;BA)(D;CIID;KA;;;BG)(A;CIID;KA;;;SY)(A;CIID;KR;;;BU)");
    SetDacl(HKEY_LOCAL_MACHINE, entry + "\\Settings\\Channels", "D:P(A;CI;KA;;;BA)(D;CIID;KA;;;BG)(A;CIID;KR;;;WD)");
    // All it has is inherited.
    const std::string charlie = std::string(kActivePath) + "\\Charlie";
    SetDacl(HKEY_LOCAL_MACHINE, charlie, "D:(A;CIID;KA;;;BA)(A;CIID;KA;;;SY)(A;CIID;KR;;;BU)");
    const auto original = ReadKeyLooks(HKEY_LOCAL_MACHINE, entry);
    ASSERT_EQ(5u, original.size());
    // As set: protected, with the users' entry (the platform may spell its rights out).
    ASSERT_EQ(0u, original.at("").dacl.rfind("D:P(A;CI;KA;;;BA)(A;CI;KA;;;SY)(A;CI;", 0)) << original.at("").dacl;
    ASSERT_NE(std::string::npos, original.at("").dacl.find(";;;BU)")) << original.at("").dacl;
    ASSERT_NE(std::string::npos, original.at("Firmware").dacl.find("(D;CIID;")) << original.at("Firmware").dacl;
    ASSERT_EQ(L"Channel Map", original.at("Settings\\Channels").className);
    const auto bravo = ReadKeyLooks(HKEY_LOCAL_MACHINE, std::string(kActivePath) + "\\Bravo");
    const auto charlieLooks = ReadKeyLooks(HKEY_LOCAL_MACHINE, charlie);
    ASSERT_EQ(start.active, ReadTree(HKEY_LOCAL_MACHINE, kActivePath));
    bench.FillAndSelect(kActiveList, {"Alpha", "Bravo", "Charlie"});

    HideSelected(bench.host.Window());
    const auto hiddenAlpha = ReadKeyLooks(HKEY_LOCAL_MACHINE, std::string(kHiddenPath) + "\\Alpha");
    EXPECT_EQ(LooksInForce(original), LooksInForce(hiddenAlpha));
    EXPECT_EQ(original.at(""), hiddenAlpha.at(""));
    EXPECT_EQ(original.at("Settings\\Channels"), hiddenAlpha.at("Settings\\Channels"));
    EXPECT_EQ(0u, hiddenAlpha.at("Firmware").dacl.rfind("D:P", 0)) << hiddenAlpha.at("Firmware").dacl;
    // An entry that only inherits keeps only inheriting, now from the parking key.
    EXPECT_EQ(bravo, ReadKeyLooks(HKEY_LOCAL_MACHINE, std::string(kHiddenPath) + "\\Bravo"));
    const auto hiddenCharlie = ReadKeyLooks(HKEY_LOCAL_MACHINE, std::string(kHiddenPath) + "\\Charlie");
    EXPECT_EQ(LooksInForce(charlieLooks), LooksInForce(hiddenCharlie));
    EXPECT_EQ(0u, hiddenCharlie.at("").dacl.rfind("D:P", 0)) << hiddenCharlie.at("").dacl;
    ASSERT_TRUE(SelectNamedItems(bench.host.Window(), kHiddenList, {"Alpha", "Bravo", "Charlie"}));
    RestoreSelected(bench.host.Window());

    EXPECT_TRUE(bench.boxes.Take().empty());
    EXPECT_EQ(LooksInForce(original), LooksInForce(ReadKeyLooks(HKEY_LOCAL_MACHINE, entry)));
    EXPECT_EQ(bravo, ReadKeyLooks(HKEY_LOCAL_MACHINE, std::string(kActivePath) + "\\Bravo"));
    EXPECT_EQ(LooksInForce(charlieLooks), LooksInForce(ReadKeyLooks(HKEY_LOCAL_MACHINE, charlie)));
    EXPECT_EQ(start.active, ReadTree(HKEY_LOCAL_MACHINE, kActivePath));
}

// Entries that the registry's calls could not write back as they are: a name with a NUL in it would come back cut
// there (a value "CLSID" NUL "x" would become the registration), and a link would be copied as the key it points to
// and deleted through. And an entry that may not be deleted, which would otherwise stay behind, unregistered, beside
// its copy. Each is left untouched and named with its reason; nothing outside the entries changes.
TEST(MoveCommands, EntriesThatCouldNotBeWrittenBackAsTheyAreStayUntouched)
{
    const std::string active = std::string(kActivePath) + "\\";
    struct Case {
        const char* name;
        void (*make)(const std::string& entry);
        std::string reason;
    };
    const Case cases[] = {
        {"Delete Denied",
         [](const std::string& entry) { SetDacl(HKEY_LOCAL_MACHINE, entry, "D:(D;;SD;;;WD)(A;;KA;;;WD)"); },
         SystemErrorText(ERROR_ACCESS_DENIED)},
        {"Linked Entry", [](const std::string& entry) { CreateLink(HKEY_LOCAL_MACHINE, entry, "Software\\Elsewhere"); },
         kRegistryLinkText},
        {"Linked Subkey",
         [](const std::string& entry) {
             CreateLink(HKEY_LOCAL_MACHINE, entry + "\\Settings\\Shortcut", "Software\\Elsewhere");
         },
         kRegistryLinkText},
        {"Nul In Subkey",
         [](const std::string& entry) {
             CreateSubkeyWithNulInName(HKEY_LOCAL_MACHINE, entry + "\\Settings", std::wstring(L"Channels\0Ghost", 14));
         },
         kNameCutShortText},
        {"Nul In Value",
         [](const std::string& entry) {
             SetExactValue(HKEY_LOCAL_MACHINE, entry, std::wstring(L"CLSID\0x", 7),
                           RegistryValue{REG_DWORD, std::string("\1\0\0\0", 4)});
         },
         kNameCutShortText},
    };
    StoreBench bench;
    Locations start;
    start.active = Drivers({"Linked Subkey", "Nul In Subkey", "Nul In Value", "Delete Denied", "Plain"});
    start.hiddenExists = true;
    WriteLocations(start);
    // What the links point to: a driver elsewhere, with a class name that a copy made through the link would lose.
    const RegistryTree elsewhereTree = DriverTree("Elsewhere");
    CreateKeyWithClass(HKEY_LOCAL_MACHINE, "Software\\Elsewhere", L"Elsewhere Class", elsewhereTree);
    for (const auto& [name, tree] : elsewhereTree.subkeys)
        WriteTree(HKEY_LOCAL_MACHINE, "Software\\Elsewhere\\" + name, tree);
    for (const Case& row : cases)
        row.make(active + row.name);
    Names all{"Plain"};
    std::string expectedText = kNotMovedText;
    for (const Case& row : cases) {
        all.push_back(row.name);
        expectedText += "\n" + std::string(row.name) + ": " + row.reason;
    }
    bench.FillAndSelect(kActiveList, all);
    const RegistryTree software = ReadTree(HKEY_LOCAL_MACHINE, "Software");
    const auto elsewhere = ReadKeyLooks(HKEY_LOCAL_MACHINE, "Software\\Elsewhere");

    HideSelected(bench.host.Window());

    EXPECT_TRUE(bench.boxes.TookOneBox(kQuimbleTitle, expectedText, bench.host.Window()));
    RegistryTree expected = software;
    expected.subkeys.at("ASIO").subkeys.erase("Plain");
    expected.subkeys.at(kHiddenKeyName).Subkey("Plain", DriverTree("Plain"));
    EXPECT_EQ(expected, ReadTree(HKEY_LOCAL_MACHINE, "Software"));
    EXPECT_EQ(elsewhere, ReadKeyLooks(HKEY_LOCAL_MACHINE, "Software\\Elsewhere"));
    EXPECT_EQ((Names{"Plain"}), bench.host.Items(kHiddenList));

    // The delete goes by the tree as it was read, each key taken by its handle: a key that has become a link since
    // goes as a link, and what it points to stays.
    const std::string plain = std::string(kHiddenPath) + "\\Plain";
    RegistryKey location;
    RegistryKey entry;
    ASSERT_EQ(ERROR_SUCCESS, OpenLocation(kHiddenPath, KEY_ALL_ACCESS, location));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(location.Get(), "Plain", 0, KEY_READ, entry.Receive()));
    KeyImage image;
    ASSERT_EQ(ERROR_SUCCESS, ReadKeyImage(entry.Get(), 0, image));
    entry.Close();
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_LOCAL_MACHINE, (plain + "\\Firmware").c_str()));
    CreateLink(HKEY_LOCAL_MACHINE, plain + "\\Firmware", "Software\\Elsewhere\\Firmware");
    EXPECT_EQ(ERROR_SUCCESS, DeleteTree(location.Get(), L"Plain", image, 0));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, plain));
    EXPECT_TRUE(MachineKeyHolds("Software\\Elsewhere", elsewhereTree));
    EXPECT_EQ(elsewhere, ReadKeyLooks(HKEY_LOCAL_MACHINE, "Software\\Elsewhere"));
    // The sandbox's clean-up could not reach these.
    SetDacl(HKEY_LOCAL_MACHINE, active + "Delete Denied", "D:(A;;KA;;;WD)");
    DeleteKeyItself(HKEY_LOCAL_MACHINE, kActivePath, L"Linked Entry");
    DeleteKeyItself(HKEY_LOCAL_MACHINE, active + "Linked Subkey\\Settings", L"Shortcut");
    DeleteKeyItself(HKEY_LOCAL_MACHINE, active + "Nul In Subkey\\Settings", std::wstring(L"Channels\0Ghost", 14));
}

// Values as they are stored, whatever their type and length: a string without its terminator, or of an odd number
// of bytes, a number too short for its type, a type of the installer's own. Beside a large value of zero bytes,
// whose room a copy may reuse.
TEST(MoveCommands, ValuesTravelByteForByte)
{
    struct Case {
        const wchar_t* name;
        RegistryValue value;
    };
    const Case cases[] = {
        {L"Unterminated", {REG_SZ, std::string("a\0b\0c\0", 6)}},
        {L"Odd", {REG_SZ, std::string("a\0b\0c", 5)}},
        {L"Expand", {REG_EXPAND_SZ, std::string("%\0X\0", 4)}},
        {L"Multi", {REG_MULTI_SZ, std::string("a\0\0\0", 4)}},
        {L"Nothing", {REG_SZ, std::string()}},
        {L"Short", {REG_DWORD, std::string("\x01\x02\x03", 3)}},
        {L"Own type", {0x4711, std::string("xyz", 3)}},
        {L"Zeros", {REG_BINARY, std::string(4096, '\0')}},
    };
    StoreBench bench;
    Locations start;
    start.active = Drivers({"Alpha", "Bravo"});
    bench.Start(start, kActiveList, {"Alpha"});
    const std::vector<std::string> keys{std::string(kActivePath) + "\\Alpha", std::string(kActivePath) + "\\Alpha\\Settings"};
    for (const std::string& key : keys)
        for (const Case& row : cases)
            SetExactValue(HKEY_LOCAL_MACHINE, key, row.name, row.value);

    HideSelected(bench.host.Window());
    ASSERT_TRUE(SelectNamedItems(bench.host.Window(), kHiddenList, {"Alpha"}));
    const auto hidden = [](const std::string& key) { return kHiddenPath + key.substr(std::strlen(kActivePath)); };
    for (const std::string& key : keys)
        for (const Case& row : cases)
            EXPECT_EQ(row.value, ExactValue(HKEY_LOCAL_MACHINE, hidden(key), row.name)) << hidden(key);
    RestoreSelected(bench.host.Window());

    EXPECT_TRUE(bench.boxes.Take().empty());
    for (const std::string& key : keys)
        for (const Case& row : cases)
            EXPECT_EQ(row.value, ExactValue(HKEY_LOCAL_MACHINE, key, row.name)) << key;
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
