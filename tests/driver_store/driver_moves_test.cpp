// The ">>" and "<<" commands on the real registry and real list boxes: what moves, what the lists show, what is said.
#include "driver_moves.h"
#include "driver_trees.h"
#include "list_host.h"
#include "message_box_recorder.h"
#include "registry_key.h"
#include "registry_sandbox.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

using Names = std::vector<std::string>;

// Everything one command test needs, fresh: the sandboxed registry, the two lists, and a watch on message boxes.
struct Bench {
    RegistrySandbox sandbox;
    ListHost host;
    MessageBoxRecorder boxes;

    void Start(const Locations& locations)
    {
        WriteLocations(locations);
        FillListsFromRegistry(host);
    }

    ::testing::AssertionResult ShowedOneBox(const std::string& text)
    {
        const std::vector<RecordedBox> shown = boxes.Take();
        if (shown.size() != 1)
            return ::testing::AssertionFailure() << shown.size() << " message boxes instead of one";
        if (shown[0].title != kQuimbleTitle)
            return ::testing::AssertionFailure() << "title \"" << shown[0].title << "\"";
        if (shown[0].owner != host.Window())
            return ::testing::AssertionFailure() << "owner " << shown[0].owner << ", foreground was " << host.Window();
        if (shown[0].text != text)
            return ::testing::AssertionFailure() << "text \"" << shown[0].text << "\"";
        return ::testing::AssertionSuccess();
    }
};

RegistryTree Drivers(const Names& names)
{
    RegistryTree location;
    for (const std::string& name : names)
        location.Subkey(name, DriverTree(name));
    return location;
}

Names Lines(const std::string& text)
{
    Names lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

TEST(MoveCommands, HideMovesExactlyTheSelectedItems)
{
    Bench bench;
    Locations start;
    start.active = Drivers({"Alpha", "Bravo", "Charlie", "Delta", "Echo"});
    bench.Start(start);
    bench.host.Select(kActiveListId, 1);
    bench.host.Select(kActiveListId, 3);

    HideSelected(bench.host.Window());

    EXPECT_TRUE(bench.boxes.Take().empty());
    EXPECT_EQ((Names{"Alpha", "Charlie", "Echo"}), bench.host.Items(kActiveListId));
    EXPECT_TRUE(bench.host.SelectedItems(kActiveListId).empty());
    EXPECT_EQ((Names{"Bravo", "Delta"}), bench.host.Items(kHiddenListId));
    const Locations after = ReadLocations();
    EXPECT_EQ(Drivers({"Alpha", "Charlie", "Echo"}), after.active);
    EXPECT_EQ(Drivers({"Bravo", "Delta"}), after.hidden);
}

TEST(MoveCommands, RestoreMovesTheSelectedItemsBack)
{
    Bench bench;
    Locations start;
    start.active = Drivers({"Alpha"});
    start.hidden = Drivers({"Bravo", "Delta", "Foxtrot"});
    start.hiddenExists = true;
    bench.Start(start);
    SelectByName(bench.host, kHiddenListId, "Bravo");
    SelectByName(bench.host, kHiddenListId, "Foxtrot");

    RestoreSelected(bench.host.Window());

    EXPECT_TRUE(bench.boxes.Take().empty());
    EXPECT_EQ((Names{"Alpha", "Bravo", "Foxtrot"}), bench.host.Items(kActiveListId));
    EXPECT_EQ((Names{"Delta"}), bench.host.Items(kHiddenListId));
    EXPECT_TRUE(bench.host.SelectedItems(kHiddenListId).empty());
    const Locations after = ReadLocations();
    EXPECT_EQ(Drivers({"Alpha", "Bravo", "Foxtrot"}), after.active);
    EXPECT_EQ(Drivers({"Delta"}), after.hidden);
}

TEST(MoveCommands, NamesOf254CharactersMove)
{
    Bench bench;
    const std::string longName(254, 'L');
    Locations start;
    start.active = Drivers({longName, "Short"});
    bench.Start(start);
    ASSERT_EQ((Names{longName, "Short"}), bench.host.Items(kActiveListId));
    bench.host.Select(kActiveListId, 0);

    HideSelected(bench.host.Window());

    EXPECT_EQ((Names{longName}), bench.host.Items(kHiddenListId));
    EXPECT_EQ(Drivers({longName}), ReadTree(HKEY_LOCAL_MACHINE, kHiddenPath));
    EXPECT_EQ(Drivers({"Short"}), ReadTree(HKEY_LOCAL_MACHINE, kActivePath));
}

// No registry name is that long, but a list item can be: it must be skipped, not read past the buffer's end.
TEST(MoveCommands, ItemTooLongForTheTextBufferIsSkipped)
{
    Bench bench;
    Locations start;
    start.active = Drivers({"Short"});
    bench.Start(start);
    const std::string overlong(300, 'X');
    bench.host.Add(kActiveListId, overlong);
    bench.host.Select(kActiveListId, 0);
    bench.host.Select(kActiveListId, 1);

    HideSelected(bench.host.Window());

    EXPECT_TRUE(bench.boxes.Take().empty());
    EXPECT_EQ((Names{overlong}), bench.host.SelectedItems(kActiveListId));
    EXPECT_EQ((Names{"Short"}), bench.host.Items(kHiddenListId));
    EXPECT_EQ(Drivers({"Short"}), ReadTree(HKEY_LOCAL_MACHINE, kHiddenPath));
}

struct CommandCase {
    const char* label;
    void (*command)(HWND);
    int sourceListId;
    const char* nothingSelected;
};

const CommandCase kCommands[] = {
    {"hide", HideSelected, kActiveListId, kHideNothingSelectedText},
    {"restore", RestoreSelected, kHiddenListId, kRestoreNothingSelectedText},
};

// With nothing selected, only the hidden location may come into being, empty; the lists stay as they were.
TEST(MoveCommands, NothingSelectedShowsTheDirectionsMessage)
{
    for (const CommandCase& command : kCommands) {
        for (const bool emptyLists : {true, false}) {
            SCOPED_TRACE(std::string(command.label) + (emptyLists ? ", empty lists" : ", nothing selected"));
            Bench bench;
            Locations start;
            if (!emptyLists) {
                start.active = Drivers({"Alpha", "Bravo"});
                start.hidden = Drivers({"Charlie"});
                start.hiddenExists = true;
            }
            start.active.Dword("Own value", 1);
            bench.Start(start);
            const Names activeItems = bench.host.Items(kActiveListId);
            const Names hiddenItems = bench.host.Items(kHiddenListId);
            RegistryTree software = ReadTree(HKEY_LOCAL_MACHINE, "Software");

            command.command(bench.host.Window());

            EXPECT_TRUE(bench.ShowedOneBox(command.nothingSelected));
            EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kHiddenPath));
            if (!software.subkeys.count("ASIO Quimble"))
                software.Subkey("ASIO Quimble", RegistryTree());
            EXPECT_EQ(software, ReadTree(HKEY_LOCAL_MACHINE, "Software"));
            EXPECT_EQ(activeItems, bench.host.Items(kActiveListId));
            EXPECT_EQ(hiddenItems, bench.host.Items(kHiddenListId));
            EXPECT_TRUE(bench.host.ListsShowTheirChanges());
        }
    }
}

// The hidden location is still created, as whenever a move command runs; the active one never is.
TEST(MoveCommands, MissingActiveLocationCannotBeOpened)
{
    for (const CommandCase& command : kCommands) {
        SCOPED_TRACE(command.label);
        Bench bench;
        WriteTree(HKEY_LOCAL_MACHINE, "Software\\Neighbour", RegistryTree().Dword("Untouched", 1));
        bench.host.Add(kActiveListId, "Alpha");
        bench.host.Add(kHiddenListId, "Bravo");
        bench.host.Select(kActiveListId, 0);
        bench.host.Select(kHiddenListId, 0);

        command.command(bench.host.Window());

        EXPECT_TRUE(bench.ShowedOneBox(kCouldNotOpenText));
        EXPECT_EQ((Names{"Alpha"}), bench.host.SelectedItems(kActiveListId));
        EXPECT_EQ((Names{"Bravo"}), bench.host.SelectedItems(kHiddenListId));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kActivePath));
        EXPECT_EQ(RegistryTree()
                      .Subkey("Neighbour", RegistryTree().Dword("Untouched", 1))
                      .Subkey("ASIO Quimble", RegistryTree()),
                  ReadTree(HKEY_LOCAL_MACHINE, "Software"));
    }
}

// A name the other location already has is left alone in both, stays selected, and is named in one box after the walk.
TEST(MoveCommands, NameTakenOnTheOtherSideIsLeftInPlace)
{
    {
        SCOPED_TRACE("hide");
        Bench bench;
        Locations start;
        start.active = Drivers({"Other Twin", "Solo", "Twin"});
        start.hidden.Subkey("Twin", DriverTree("hidden twin")).Subkey("Other Twin", DriverTree("other hidden twin"));
        start.hiddenExists = true;
        bench.Start(start);
        for (int index = 0; index < 3; ++index)
            bench.host.Select(kActiveListId, index);

        HideSelected(bench.host.Window());

        const std::vector<RecordedBox> shown = bench.boxes.Take();
        ASSERT_EQ(1u, shown.size());
        EXPECT_EQ(kQuimbleTitle, shown[0].title);
        EXPECT_EQ(bench.host.Window(), shown[0].owner);
        const Names lines = Lines(shown[0].text);
        ASSERT_GE(lines.size(), 3u) << shown[0].text;
        EXPECT_EQ((Names{"Other Twin", "Twin"}), Names(lines.end() - 2, lines.end())) << shown[0].text;
        EXPECT_EQ(std::string::npos, shown[0].text.find("Solo")) << shown[0].text;

        Locations expected = start;
        expected.active.subkeys.erase("Solo");
        expected.hidden.Subkey("Solo", DriverTree("Solo"));
        const Locations after = ReadLocations();
        EXPECT_EQ(expected.active, after.active);
        EXPECT_EQ(expected.hidden, after.hidden);
        EXPECT_EQ((Names{"Other Twin", "Twin"}), bench.host.Items(kActiveListId));
        EXPECT_EQ((Names{"Other Twin", "Twin"}), bench.host.SelectedItems(kActiveListId));
        EXPECT_EQ((Names{"Other Twin", "Solo", "Twin"}), bench.host.Items(kHiddenListId));
        // A box after the walk too: the lists still end up drawing their changes.
        EXPECT_TRUE(bench.host.ListsShowTheirChanges());
    }
    {
        SCOPED_TRACE("restore");
        Bench bench;
        Locations start;
        start.active = Drivers({"Twin"});
        start.hidden.Subkey("Twin", DriverTree("hidden twin"));
        start.hiddenExists = true;
        bench.Start(start);
        bench.host.Select(kHiddenListId, 0);

        RestoreSelected(bench.host.Window());

        const std::vector<RecordedBox> shown = bench.boxes.Take();
        ASSERT_EQ(1u, shown.size());
        EXPECT_EQ("Twin", Lines(shown[0].text).back()) << shown[0].text;
        const Locations after = ReadLocations();
        EXPECT_EQ(start.active, after.active);
        EXPECT_EQ(start.hidden, after.hidden);
        EXPECT_EQ((Names{"Twin"}), bench.host.SelectedItems(kHiddenListId));
        EXPECT_EQ((Names{"Twin"}), bench.host.Items(kActiveListId));
    }
}

// One entry at a time, without the lists: each outcome and what it leaves in the registry.
TEST(MoveEntry, ReportsWhatHappenedToTheEntry)
{
    RegistrySandbox sandbox;
    Locations start;
    start.active = Drivers({"Synth", "Twin"});
    // A leftover without a CLSID value is not listed, but merging into it would still mix two trees.
    start.hidden.Subkey("Twin", RegistryTree().String("Leftover", "x"));
    start.hiddenExists = true;
    WriteLocations(start);
    RegistryKey active;
    RegistryKey hidden;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kActivePath, 0, KEY_ALL_ACCESS, active.Receive()));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kHiddenPath, 0, KEY_ALL_ACCESS, hidden.Receive()));

    EXPECT_EQ(MoveResult::NameTaken, MoveEntry(active.Get(), hidden.Get(), "Twin"));
    Locations after = ReadLocations();
    EXPECT_EQ(start.active, after.active);
    EXPECT_EQ(start.hidden, after.hidden);

    // Copying an entry that is not there fails, and the subkey made for it is gone again.
    EXPECT_EQ(MoveResult::Failed, MoveEntry(active.Get(), hidden.Get(), "Vanished"));
    after = ReadLocations();
    EXPECT_EQ(start.active, after.active);
    EXPECT_EQ(start.hidden, after.hidden);

    EXPECT_EQ(MoveResult::Moved, MoveEntry(active.Get(), hidden.Get(), "Synth"));
    after = ReadLocations();
    EXPECT_EQ(Drivers({"Twin"}), after.active);
    EXPECT_EQ(RegistryTree(start.hidden).Subkey("Synth", DriverTree("Synth")), after.hidden);
}

}  // namespace
