// The real program in its own process on the test prefix's HKEY_LOCAL_MACHINE, driven only through its windows.
#include "app_driver.h"
#include "driver_trees.h"
#include "expected_texts.h"
#include "registry_tree.h"
#include "test_prefix.h"

#include <gtest/gtest.h>

namespace {

const std::vector<std::string> kSortedDrivers = {"Brightwater USB Audio",     "Corvid Loopback ASIO",
                                                  "Fenwick Onboard ASIO",      "kestrel Multi-Client ASIO",
                                                  "Marram Low Delay Driver",   "Tidewell Studio 2x2"};

// Imports the demo's own seed into this prefix with the system's registry editor, as the demo does.
::testing::AssertionResult ImportSeed()
{
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, sizeof windows);
    AppProcess regedit;
    const std::string error =
        regedit.Start(std::string(windows) + "\\regedit.exe", "/S \"" + WindowsPathOf(QUIMBLE_DEMO_SEED) + "\"");
    if (!error.empty())
        return ::testing::AssertionFailure() << error;
    DWORD exitCode = 0;
    if (!regedit.WaitForExit(kWaitMs, &exitCode) || exitCode != 0)
        return ::testing::AssertionFailure() << "regedit /S " << QUIMBLE_DEMO_SEED << " did not end with 0";
    return ::testing::AssertionSuccess();
}

// A message box as the test saw it before answering it.
struct ShownBox {
    std::string title;
    std::string text;
    HWND owner = nullptr;
};

class E2eTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Only the build tree's throwaway prefix may have its machine-wide keys rewritten.
        ASSERT_TRUE(InTestPrefix(QUIMBLE_TEST_PREFIX));
        inTestPrefix_ = true;
        exePath_ = WindowsPathOf(QUIMBLE_APP_EXE);
        ASSERT_FALSE(exePath_.empty()) << "no Windows path for " << QUIMBLE_APP_EXE;

        DeleteLocations();
        ASSERT_TRUE(ImportSeed());
        seeded_ = ReadTree(HKEY_LOCAL_MACHINE, kActivePath);
        // The seed keeps what makes moving a tree whole hard: odd value types, a default value, nesting.
        RegistryTree odd = seeded_.subkeys["Brightwater USB Audio"];
        EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), odd.values["InstallDir"].type);
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), odd.values[""].type);
        EXPECT_EQ(static_cast<DWORD>(REG_BINARY), odd.subkeys["Settings"].values["Routing"].type);
        EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), odd.subkeys["Settings"].subkeys["Devices"].values["Ports"].type);
        EXPECT_TRUE(odd.subkeys.count("Empty"));
    }

    // Parks the named entries of the seed in the hidden location, as an earlier run would have.
    void Park(const std::vector<std::string>& names)
    {
        WriteTree(HKEY_LOCAL_MACHINE, kHiddenPath, Only(seeded_, names));
        for (const std::string& name : names)
            ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kActivePath) + "\\" + name).c_str()))
                << name;
    }

    void TearDown() override
    {
        // The program must not hold the keys while they are deleted.
        app_.Terminate();
        if (inTestPrefix_)
            DeleteLocations();
    }

    static void DeleteLocations()
    {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kActivePath);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kHiddenPath);
        ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kActivePath));
        ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kHiddenPath));
    }

    void Start()
    {
        std::string error = app_.Start(exePath_);
        ASSERT_TRUE(error.empty()) << error;
    }

    // Reads the box and presses its OK button.
    static ShownBox Answer(HWND box)
    {
        ShownBox shown{WindowTitle(box), BoxText(box), GetWindow(box, GW_OWNER)};
        if (!AnswerBox(box))
            ADD_FAILURE() << "the box \"" << shown.title << "\" did not close";
        return shown;
    }

    // The first window the program shows, when that must be a message box rather than the main dialog.
    HWND WaitForFirstBox()
    {
        HWND window = WaitForVisibleDialog(app_);
        if (!window)
            ADD_FAILURE() << (app_.Running() ? "no window appeared" : "the program ended without a window");
        else if (IsMainDialog(window))
            ADD_FAILURE() << "the main dialog was shown before any box";
        return window && !IsMainDialog(window) ? window : nullptr;
    }

    HWND WaitForMainDialog()
    {
        HWND dialog = WaitForVisibleDialog(app_);
        if (!dialog || !IsMainDialog(dialog)) {
            ADD_FAILURE() << (dialog ? "instead of the main dialog: \"" + WindowTitle(dialog) + "\": " + BoxText(dialog)
                                     : std::string("the main dialog did not appear"));
            return nullptr;
        }
        return dialog;
    }

    void ExpectExitCodeZero()
    {
        DWORD exitCode = 0xDEADBEEF;
        ASSERT_TRUE(app_.WaitForExit(kWaitMs, &exitCode)) << "the program did not end";
        EXPECT_EQ(0u, exitCode);
    }

    std::string exePath_;
    AppProcess app_;
    RegistryTree seeded_;
    bool inTestPrefix_ = false;
};

TEST_F(E2eTest, FirstRunShowsHelpThenHidesTheSelectedDriversWhole)
{
    Start();

    // No hidden location yet: the usage text comes before the dialog.
    HWND helpBox = WaitForFirstBox();
    ASSERT_TRUE(helpBox);
    ShownBox help = Answer(helpBox);
    EXPECT_EQ(kHelpTitle, help.title);
    EXPECT_EQ(0u, help.text.find("\nThis small utility can hide or unhide ASIO device drivers that are not needed\n"
                                 "from all ASIO aware audio applications.\n\nUSAGE:\n"))
        << help.text;
    EXPECT_NE(std::string::npos, help.text.find(kEditionHelpLine)) << help.text;

    HWND dialog = WaitForMainDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(kDialogCaption, WindowTitle(dialog));
    EXPECT_EQ(kSortedDrivers, ListItems(dialog, kActiveList));
    EXPECT_TRUE(ListItems(dialog, kHiddenList).empty());

    // The second and fourth entries, one of them sorted in only by ignoring case.
    const std::vector<std::string> moved = {"Corvid Loopback ASIO", "kestrel Multi-Client ASIO"};
    ASSERT_TRUE(SelectItems(dialog, kActiveList, {1, 3}));
    ASSERT_EQ(moved, SelectedItems(dialog, kActiveList));
    ClickButton(dialog, kHideButton);
    EXPECT_TRUE(WaitUntil([&] { return ListItems(dialog, kHiddenList).size() >= moved.size(); }))
        << "the hidden list did not fill";
    EXPECT_EQ(moved, ListItems(dialog, kHiddenList));
    EXPECT_EQ((std::vector<std::string>{"Brightwater USB Audio", "Fenwick Onboard ASIO", "Marram Low Delay Driver",
                                        "Tidewell Studio 2x2"}),
              ListItems(dialog, kActiveList));
    EXPECT_TRUE(SelectedItems(dialog, kActiveList).empty());
    EXPECT_EQ(1u, VisibleDialogs(app_.Id()).size()) << "a box came up after a successful hide";

    ASSERT_TRUE(PressEscape(dialog));
    ExpectExitCodeZero();

    // Every value and subkey of the moved entries, and nothing else, now lives in the hidden location.
    EXPECT_TRUE(MachineKeyHolds(kHiddenPath, Only(seeded_, moved)));
    EXPECT_TRUE(MachineKeyHolds(kActivePath, Without(seeded_, moved)));
}

TEST_F(E2eTest, LaterRunShowsBothLocationsAndRestoresWithoutLoss)
{
    const std::vector<std::string> parked = {"Brightwater USB Audio", "kestrel Multi-Client ASIO"};
    Park(parked);
    Start();

    // The hidden location exists, so no help: the dialog is the first window.
    HWND dialog = WaitForMainDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ((std::vector<std::string>{"Corvid Loopback ASIO", "Fenwick Onboard ASIO", "Marram Low Delay Driver",
                                        "Tidewell Studio 2x2"}),
              ListItems(dialog, kActiveList));
    EXPECT_EQ(parked, ListItems(dialog, kHiddenList));
    // The first tab stop has the focus, so Enter would restore rather than end the dialog.
    EXPECT_EQ(kRestoreButton, GetDlgCtrlID(FocusedControl(dialog)));

    // ">>" with nothing selected only explains itself, and the dialog runs on.
    ClickButton(dialog, kHideButton);
    HWND hintBox = WaitForBox(app_);
    ASSERT_TRUE(hintBox) << "no box explained the empty selection";
    ShownBox hint = Answer(hintBox);
    EXPECT_EQ(kQuimbleTitle, hint.title);
    EXPECT_EQ(kHideNothingSelectedText, hint.text);
    EXPECT_TRUE(MachineKeyHolds(kHiddenPath, Only(seeded_, parked)));

    ASSERT_TRUE(SelectItems(dialog, kHiddenList, {0, 1}));
    ClickButton(dialog, kRestoreButton);
    EXPECT_TRUE(WaitUntil([&] { return ListItems(dialog, kHiddenList).empty(); })) << "the hidden list did not empty";
    EXPECT_EQ(kSortedDrivers, ListItems(dialog, kActiveList));

    ClickButton(dialog, IDOK);
    ExpectExitCodeZero();

    EXPECT_TRUE(MachineKeyHolds(kActivePath, seeded_));
    EXPECT_TRUE(MachineKeyHolds(kHiddenPath, RegistryTree()));
}

TEST_F(E2eTest, MissingActiveLocationShowsOneOwnerlessBoxAndNeverTheDialog)
{
    DeleteLocations();
    Start();

    HWND onlyBox = WaitForFirstBox();
    ASSERT_TRUE(onlyBox);
    ShownBox box = Answer(onlyBox);
    EXPECT_EQ(kQuimbleTitle, box.title);
    EXPECT_EQ(kNoDriversText, box.text);
    EXPECT_EQ(nullptr, box.owner);

    // Until the program ends, any further window is a fault; it is reported and the program ended.
    HWND later = nullptr;
    WaitUntil([&] {
        std::vector<HWND> dialogs = VisibleDialogs(app_.Id());
        if (!dialogs.empty())
            later = dialogs.front();
        return later || !app_.Running();
    });
    if (later) {
        ADD_FAILURE() << "after the box came \"" << WindowTitle(later) << "\""
                      << (IsMainDialog(later) ? " (the main dialog)" : ": " + BoxText(later));
        app_.Terminate();
        return;
    }
    ExpectExitCodeZero();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kActivePath));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kHiddenPath)) << "starting must not create the hidden location";
}

// Esc, OK and the close box all end the program with 0 and leave the registry as it was.
TEST_F(E2eTest, EveryWayOfClosingExitsWithZeroAndChangesNothing)
{
    const std::vector<std::string> parked = {"Tidewell Studio 2x2"};
    Park(parked);
    const std::pair<const char*, std::function<bool(HWND)>> ways[] = {
        {"Esc", PressEscape},
        {"OK",
         [](HWND dialog) {
             ClickButton(dialog, IDOK);
             return true;
         }},
        {"close box", PressCloseBox},
    };
    for (const auto& [name, close] : ways) {
        SCOPED_TRACE(name);
        Start();
        HWND dialog = WaitForMainDialog();
        ASSERT_TRUE(dialog);
        ASSERT_TRUE(close(dialog));
        ExpectExitCodeZero();
        EXPECT_TRUE(MachineKeyHolds(kActivePath, Without(seeded_, parked)));
        EXPECT_TRUE(MachineKeyHolds(kHiddenPath, Only(seeded_, parked)));
    }
}

// Names outside any one code page are listed as themselves and move only themselves, byte for byte: a full-width
// look-alike beside its ASCII twin, and a full-width backslash beside the real nesting it resembles.
TEST_F(E2eTest, NamesInAnyScriptAreListedAndMovedAsThemselves)
{
    ASSERT_EQ(65001u, GetACP()) << "the test program must read registry names in UTF-8, as the program does";
    const std::vector<std::string> moved = {u8"\u0416\u0443\u043a \u0410\u0443\u0434\u0438\u043e ASIO",
                                            u8"\u3053\u3068\u308a ASIO", u8"\uff26\uff4f\uff4f ASIO",
                                            u8"A\uff3cB"};
    RegistryTree start = seeded_;
    for (const std::string& name : moved)
        start.Subkey(name, DriverTree(name));
    start.Subkey("Foo ASIO", DriverTree("ascii twin"));
    start.Subkey("A", DriverTree("A").Subkey("B", DriverTree("nested B")));
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath, start);
    ASSERT_TRUE(MachineKeyHolds(kActivePath, start));
    Start();
    std::string answered;
    HWND dialog = WaitForMainDialogPastBox(app_, &answered);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(DriverNames(start), Sorted(ListItems(dialog, kActiveList)));

    ASSERT_TRUE(SelectNamedItems(dialog, kActiveList, moved));
    ClickButton(dialog, kHideButton);
    EXPECT_TRUE(WaitUntil([&] { return ListCount(dialog, kHiddenList) >= static_cast<int>(moved.size()); }));
    EXPECT_EQ(Sorted(moved), Sorted(ListItems(dialog, kHiddenList)));
    EXPECT_EQ(1u, VisibleDialogs(app_.Id()).size()) << "a box came up after a successful hide";
    EXPECT_TRUE(MachineKeyHolds(kHiddenPath, Only(start, moved)));
    EXPECT_TRUE(MachineKeyHolds(kActivePath, Without(start, moved)));

    ASSERT_TRUE(SelectAll(dialog, kHiddenList));
    ClickButton(dialog, kRestoreButton);
    EXPECT_TRUE(WaitUntil([&] { return ListCount(dialog, kHiddenList) == 0; }));
    ClickButton(dialog, IDOK);
    ExpectExitCodeZero();
    EXPECT_TRUE(MachineKeyHolds(kActivePath, start));
    EXPECT_TRUE(MachineKeyHolds(kHiddenPath, RegistryTree()));
}

// An update registers a hidden driver again under its name: ">>" asks once; No leaves both copies as they are, Yes
// hides it again in place of the older hidden copy.
TEST_F(E2eTest, DriverRegisteredAgainIsHiddenAgainOnYesAndLeftOnNo)
{
    const std::string twin = "Corvid Loopback ASIO";
    Park({twin});
    // The update's registration names the class in lower case and brings a description of its own.
    RegistryTree again = seeded_.subkeys.at(twin);
    again.String("CLSID", "{c0a1d2e3-f405-4617-8829-3a4b5c6d7e02}").String("Description", "Corvid Loopback ASIO 2");
    WriteTree(HKEY_LOCAL_MACHINE, std::string(kActivePath) + "\\" + twin, again);
    const RegistryTree active = ReadTree(HKEY_LOCAL_MACHINE, kActivePath);
    const RegistryTree hidden = ReadTree(HKEY_LOCAL_MACHINE, kHiddenPath);
    for (const int answer : {IDNO, IDYES}) {
        const bool yes = answer == IDYES;
        SCOPED_TRACE(yes ? "Yes" : "No");
        Start();
        HWND dialog = WaitForMainDialog();
        ASSERT_TRUE(dialog);
        ASSERT_TRUE(SelectNamedItems(dialog, kActiveList, {twin}));
        ClickButton(dialog, kHideButton);
        HWND question = WaitForBox(app_);
        ASSERT_TRUE(question) << "no box asked about the driver registered again";
        EXPECT_EQ(kQuimbleTitle, WindowTitle(question));
        EXPECT_EQ(RegisteredAgainText("hidden", {twin}), BoxText(question));
        ASSERT_TRUE(AnswerBoxWith(question, answer));
        if (yes) {
            EXPECT_TRUE(WaitUntil([&] { return ListCount(dialog, kActiveList) == 5; })) << "the active list kept it";
        }
        ASSERT_TRUE(WaitUntilPaintedAndIdle(dialog));
        EXPECT_EQ(1u, VisibleDialogs(app_.Id()).size()) << "a box came after the answer";
        EXPECT_EQ((std::vector<std::string>{twin}), ListItems(dialog, kHiddenList));
        EXPECT_EQ(!yes, ListItems(dialog, kActiveList) == kSortedDrivers);
        ClickButton(dialog, IDOK);
        ExpectExitCodeZero();
        EXPECT_TRUE(MachineKeyHolds(kActivePath, yes ? Without(active, {twin}) : active));
        EXPECT_TRUE(MachineKeyHolds(kHiddenPath, yes ? RegistryTree().Subkey(twin, again) : hidden));
    }
}

}  // namespace
