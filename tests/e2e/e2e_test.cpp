// The real program in its own process on the test prefix's HKEY_LOCAL_MACHINE, driven only through its windows.
#include "app_driver.h"
#include "expected_texts.h"
#include "registry_tree.h"

#include <gtest/gtest.h>

namespace {

RegistryTree Driver(const std::string& clsid, const std::string& description)
{
    return RegistryTree().String("CLSID", clsid).String("Description", description);
}

// What installers leave behind: plain entries, entries with nested settings and odd value types, and keys
// that are not drivers (no CLSID of their own, or only a lower-case one).
RegistryTree SeededDrivers()
{
    RegistryTree devices;
    devices.String("0", "HD Audio Output").Value("Ports", REG_MULTI_SZ, std::string("Out 1\0Out 2\0\0", 13));
    RegistryTree settings;
    settings.Dword("BufferSize", 512)
        .Value("Routing", REG_BINARY, std::string("\x01\x00\xff\x7f", 4))
        .Subkey("Devices", devices);

    RegistryTree tree;
    tree.Subkey("ASIO4ALL v2",
                Driver("{232685C6-6548-49D8-846D-4141A3EF7560}", "ASIO4ALL v2").Subkey("Settings", settings))
        .Subkey("Focusrite USB ASIO",
                Driver("{5C6A1A4E-8C3D-4C9F-9F6B-2F1C0D7E9A11}", "Focusrite USB ASIO")
                    .String("", "Focusrite")
                    .Value("InstallDir", REG_EXPAND_SZ, std::string("%ProgramFiles%\\Focusrite") + '\0')
                    .Subkey("Empty", RegistryTree()))
        .Subkey("Generic Low Latency ASIO Driver",
                Driver("{A91EAB10-6D9D-4E9B-8F3C-0B8B4A1C2D3E}", "Generic Low Latency ASIO Driver"))
        .Subkey("iConnectivity ASIO",
                Driver("{0E2B4C1F-3A5D-4E6F-8A9B-1C2D3E4F5A6B}", "iConnectivity ASIO").Dword("Version", 0x00020001))
        .Subkey("Realtek ASIO", Driver("{F3B8A2C1-7D4E-4B6A-9C8D-5E6F7A8B9C0D}", "Realtek ASIO"))
        .Subkey("Yamaha Steinberg USB ASIO",
                Driver("{7A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}", "Yamaha Steinberg USB ASIO"))
        .Subkey("Common Settings",
                RegistryTree()
                    .Dword("Latency", 10)
                    .Subkey("Nested", Driver("{00000000-0000-0000-0000-000000000001}", "not a driver of the location")))
        .Subkey("Legacy Panel", RegistryTree().String("clsid", "{00000000-0000-0000-0000-000000000002}"));
    return tree;
}

const std::vector<std::string> kSortedDrivers = {
    "ASIO4ALL v2",        "Focusrite USB ASIO", "Generic Low Latency ASIO Driver",
    "iConnectivity ASIO", "Realtek ASIO",       "Yamaha Steinberg USB ASIO"};

// The seeded tree split by entry names: the named subkeys, and the rest.
RegistryTree Only(const RegistryTree& all, const std::vector<std::string>& names)
{
    RegistryTree part;
    for (const std::string& name : names)
        part.subkeys[name] = all.subkeys.at(name);
    return part;
}

RegistryTree Without(const RegistryTree& all, const std::vector<std::string>& names)
{
    RegistryTree rest = all;
    for (const std::string& name : names)
        rest.subkeys.erase(name);
    return rest;
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
        ASSERT_EQ(QUIMBLE_TEST_PREFIX, CurrentWinePrefix()) << "refusing to seed HKEY_LOCAL_MACHINE of another prefix";
        inTestPrefix_ = true;
        exePath_ = WindowsPathOf(QUIMBLE_APP_EXE);
        ASSERT_FALSE(exePath_.empty()) << "no Windows path for " << QUIMBLE_APP_EXE;

        DeleteLocations();
        seeded_ = SeededDrivers();
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

    ::testing::AssertionResult LocationHolds(const std::string& path, const RegistryTree& expected)
    {
        if (!KeyExists(HKEY_LOCAL_MACHINE, path))
            return ::testing::AssertionFailure() << path << " does not exist";
        RegistryTree actual = ReadTree(HKEY_LOCAL_MACHINE, path);
        if (actual != expected)
            return ::testing::AssertionFailure() << path << " holds" << ::testing::PrintToString(actual) << "expected"
                                                 << ::testing::PrintToString(expected);
        return ::testing::AssertionSuccess();
    }

    std::string exePath_;
    AppProcess app_;
    RegistryTree seeded_;
    bool inTestPrefix_ = false;
};

TEST_F(E2eTest, FirstRunShowsHelpThenHidesTheSelectedDriversWhole)
{
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath, seeded_);
    Start();

    // No hidden location yet: the usage text comes before the dialog.
    HWND helpBox = WaitForFirstBox();
    ASSERT_TRUE(helpBox);
    ShownBox help = Answer(helpBox);
    EXPECT_EQ("ASIO Quimble Help", help.title);
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
    const std::vector<std::string> moved = {"Focusrite USB ASIO", "iConnectivity ASIO"};
    ASSERT_TRUE(SelectItems(dialog, kActiveList, {1, 3}));
    ASSERT_EQ(moved, SelectedItems(dialog, kActiveList));
    ClickButton(dialog, kHideButton);
    EXPECT_TRUE(WaitUntil([&] { return ListItems(dialog, kHiddenList).size() >= moved.size(); }))
        << "the hidden list did not fill";
    EXPECT_EQ(moved, ListItems(dialog, kHiddenList));
    EXPECT_EQ((std::vector<std::string>{"ASIO4ALL v2", "Generic Low Latency ASIO Driver", "Realtek ASIO",
                                        "Yamaha Steinberg USB ASIO"}),
              ListItems(dialog, kActiveList));
    EXPECT_TRUE(SelectedItems(dialog, kActiveList).empty());
    EXPECT_EQ(1u, VisibleDialogs(app_.Id()).size()) << "a box came up after a successful hide";

    ASSERT_TRUE(PressEscape(dialog));
    ExpectExitCodeZero();

    // Every value and subkey of the moved entries, and nothing else, now lives in the hidden location.
    EXPECT_TRUE(LocationHolds(kHiddenPath, Only(seeded_, moved)));
    EXPECT_TRUE(LocationHolds(kActivePath, Without(seeded_, moved)));
}

TEST_F(E2eTest, LaterRunShowsBothLocationsAndRestoresWithoutLoss)
{
    const std::vector<std::string> parked = {"ASIO4ALL v2", "iConnectivity ASIO"};
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath, Without(seeded_, parked));
    WriteTree(HKEY_LOCAL_MACHINE, kHiddenPath, Only(seeded_, parked));
    Start();

    // The hidden location exists, so no help: the dialog is the first window.
    HWND dialog = WaitForMainDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ((std::vector<std::string>{"Focusrite USB ASIO", "Generic Low Latency ASIO Driver", "Realtek ASIO",
                                        "Yamaha Steinberg USB ASIO"}),
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
    EXPECT_TRUE(LocationHolds(kHiddenPath, Only(seeded_, parked)));

    ASSERT_TRUE(SelectItems(dialog, kHiddenList, {0, 1}));
    ClickButton(dialog, kRestoreButton);
    EXPECT_TRUE(WaitUntil([&] { return ListItems(dialog, kHiddenList).empty(); })) << "the hidden list did not empty";
    EXPECT_EQ(kSortedDrivers, ListItems(dialog, kActiveList));

    ClickButton(dialog, IDOK);
    ExpectExitCodeZero();

    EXPECT_TRUE(LocationHolds(kActivePath, seeded_));
    EXPECT_TRUE(LocationHolds(kHiddenPath, RegistryTree()));
}

TEST_F(E2eTest, MissingActiveLocationShowsOneOwnerlessBoxAndNeverTheDialog)
{
    Start();

    HWND onlyBox = WaitForFirstBox();
    ASSERT_TRUE(onlyBox);
    ShownBox box = Answer(onlyBox);
    EXPECT_EQ("ASIO Quimble", box.title);
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
    const std::vector<std::string> parked = {"Realtek ASIO"};
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath, Without(seeded_, parked));
    WriteTree(HKEY_LOCAL_MACHINE, kHiddenPath, Only(seeded_, parked));
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
        EXPECT_TRUE(LocationHolds(kActivePath, Without(seeded_, parked)));
        EXPECT_TRUE(LocationHolds(kHiddenPath, Only(seeded_, parked)));
    }
}

}  // namespace
