// The main dialog run modally on a sandboxed registry, driven through its real controls from inside its loop.
#include "dialog.h"
#include "dialog_driver.h"
#include "driver_trees.h"
#include "expected_texts.h"
#include "message_box_recorder.h"
#include "my_dialog.h"
#include "registry_sandbox.h"
#include "resources/resource.h"
#include "test_prefix.h"
#include "win_app.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

void Click(HWND dialog, int controlId)
{
    SendMessageA(GetDlgItem(dialog, controlId), BM_CLICK, 0, 0);
}

// Through the queue, so the dialog manager's own keyboard handling in the modal loop sees the key and translates it.
void PressKey(HWND window, WPARAM key, bool withAlt = false)
{
    // Alt turns a key into a system key, and bit 29 of its lParam says that Alt is held.
    if (withAlt)
        PostMessageA(window, WM_SYSKEYDOWN, key, 0x20000001);
    else
        PostMessageA(window, WM_KEYDOWN, key, 0);
}

// What the control's text takes in the control's font (mnemonic markers left out), next to its client area.
struct TextRoom {
    std::string text;
    SIZE extent;
    SIZE client;
};

TextRoom MeasureText(HWND control)
{
    char text[256] = {};
    GetWindowTextA(control, text, sizeof text);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT extent = {};
    DrawTextA(dc, text, -1, &extent, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    RECT client = {};
    GetClientRect(control, &client);
    return {text, {extent.right, extent.bottom}, {client.right, client.bottom}};
}

// The icon's size in pixels; 0 by 0 for a handle that names no icon (any more).
SIZE IconSize(HICON icon)
{
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return {0, 0};
    BITMAP bitmap = {};
    // A monochrome icon has no colour bitmap; its mask holds the image below the mask, at twice the height.
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    const SIZE size = {bitmap.bmWidth, info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2};
    DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    return size;
}

// Sizes compare as text, so a failure shows both sides as width by height.
std::string SizeText(SIZE size)
{
    return std::to_string(size.cx) + "x" + std::to_string(size.cy);
}

HICON WindowIcon(HWND window, WPARAM kind)
{
    return reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, kind, 0));
}

class MainDialogTest : public ::testing::Test {
protected:
    // Runs the dialog modally with the steps; every step must have run before it ended.
    INT_PTR Run(CMyDialog& dialog, std::vector<ModalScript::Step> steps)
    {
        ModalScript script(dialog, std::move(steps));
        const INT_PTR result = dialog.DoModal();
        EXPECT_EQ(script.StepCount(), script.StepsRun()) << "the dialog ended before every step ran";
        return result;
    }

    MessageBoxRecorder boxes{{Wfx::StaticDialogProc}};
    WindowEvents events;
    RegistrySandbox sandbox;
    Wfx::CWinApp app;
};

struct MoveButton {
    const char* name;
    int id;
    const char* nothingSelected;
};

void PrintTo(const MoveButton& button, std::ostream* os)
{
    *os << button.name;
}

class FirstUseTest : public MainDialogTest, public ::testing::WithParamInterface<MoveButton> {};

TEST_P(FirstUseTest, ShowsHelpBeforeTheDialogUntilAMoveButtonIsPressed)
{
    const RegistryTree active = Drivers({"Synth"});
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath, active);
    const int button = GetParam().id;
    {
        CMyDialog dialog(IDD_MAIN, nullptr);
        EXPECT_EQ(IDOK, Run(dialog, {[button](HWND d) {
                                         EXPECT_EQ(Names{"Synth"}, ListItems(d, IDC_ACTIVE_LIST));
                                         EXPECT_EQ(Names{}, ListItems(d, IDC_HIDDEN_LIST));
                                         Click(d, button);
                                     },
                                     [](HWND d) { Click(d, IDOK); }}));
    }
    EXPECT_EQ((Names{std::string("box: ") + kHelpTitle, "dialog shown", std::string("box: ") + kQuimbleTitle}),
              events.Take());
    std::vector<RecordedBox> shown = boxes.Take();
    ASSERT_EQ(2u, shown.size());
    EXPECT_EQ(kHelpTitle, shown[0].title);
    EXPECT_EQ(kHelpText, shown[0].text);
    EXPECT_EQ(kQuimbleTitle, shown[1].title);
    EXPECT_EQ(GetParam().nothingSelected, shown[1].text);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kHiddenPath)) << "the press did not create the hidden location";
    EXPECT_EQ(active, ReadTree(HKEY_LOCAL_MACHINE, kActivePath));

    // The next start finds the hidden location and runs without help.
    CMyDialog again(IDD_MAIN, nullptr);
    EXPECT_EQ(IDOK, Run(again, {[](HWND d) { Click(d, IDOK); }}));
    EXPECT_EQ(Names{"dialog shown"}, events.Take());
    EXPECT_TRUE(boxes.Take().empty());
}

INSTANTIATE_TEST_SUITE_P(MoveButtons, FirstUseTest,
                         ::testing::Values(MoveButton{"Hide", IDC_HIDE, kHideNothingSelectedText},
                                           MoveButton{"Restore", IDC_RESTORE, kRestoreNothingSelectedText}),
                         [](const ::testing::TestParamInfo<MoveButton>& info) { return info.param.name; });

TEST_F(MainDialogTest, MissingActiveLocationShowsOnlyItsBoxAndNeverTheDialog)
{
    CMyDialog dialog(IDD_MAIN, nullptr);
    EXPECT_EQ(IDCANCEL, Run(dialog, {}));
    EXPECT_TRUE(boxes.TookOneBox(kQuimbleTitle, kNoDriversText, nullptr));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kHiddenPath)) << "starting must not create the hidden location";
    EXPECT_EQ(nullptr, dialog.hyperlink.hWnd) << "the label was bound although the dialog ended";

    const Names seen = events.Take();
    const std::string box = std::string("box: ") + kQuimbleTitle;
    if (RunningOnWine() && seen == Names{box, "dialog shown"})
        GTEST_SKIP() << "Wine shows a modal dialog from a visible template even after EndDialog in WM_INITDIALOG";
    EXPECT_EQ(Names{box}, seen);
}

TEST_F(MainDialogTest, HideMovesExactlyTheSelectedEntriesInListsAndRegistry)
{
    // Written out of order; a subkey without a "CLSID" value of its own stays unlisted and in place.
    RegistryTree active = Drivers({"Echo", "Bravo", "Delta", "Alpha", "Charlie"});
    active.Subkey("Not a driver", RegistryTree().String("clsid", "{lower}"));
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath, active);
    WriteTree(HKEY_LOCAL_MACHINE, kHiddenPath, Drivers({"Cobra"}));

    CMyDialog dialog(IDD_MAIN, nullptr);
    EXPECT_EQ(IDOK,
              Run(dialog,
                  {[](HWND d) {
                       ASSERT_EQ((Names{"Alpha", "Bravo", "Charlie", "Delta", "Echo"}), ListItems(d, IDC_ACTIVE_LIST));
                       ASSERT_EQ(Names{"Cobra"}, ListItems(d, IDC_HIDDEN_LIST));
                       SendDlgItemMessageA(d, IDC_ACTIVE_LIST, LB_SETSEL, TRUE, 1);
                       SendDlgItemMessageA(d, IDC_ACTIVE_LIST, LB_SETSEL, TRUE, 3);
                       Click(d, IDC_HIDE);
                       EXPECT_EQ((Names{"Alpha", "Charlie", "Echo"}), ListItems(d, IDC_ACTIVE_LIST));
                       EXPECT_EQ(Names{}, SelectedItems(d, IDC_ACTIVE_LIST));
                       EXPECT_EQ((Names{"Bravo", "Cobra", "Delta"}), ListItems(d, IDC_HIDDEN_LIST));
                   },
                   [](HWND d) { Click(d, IDOK); }}));

    RegistryTree stillActive = Drivers({"Alpha", "Charlie", "Echo"});
    stillActive.Subkey("Not a driver", RegistryTree().String("clsid", "{lower}"));
    EXPECT_EQ(stillActive, ReadTree(HKEY_LOCAL_MACHINE, kActivePath));
    EXPECT_EQ(Drivers({"Bravo", "Cobra", "Delta"}), ReadTree(HKEY_LOCAL_MACHINE, kHiddenPath));
    EXPECT_EQ(Names{"dialog shown"}, events.Take());
}

TEST_F(MainDialogTest, HelpButtonShowsTheFirstUseTextOwnedByTheForegroundWindow)
{
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath, Drivers({"Synth"}));
    WriteTree(HKEY_LOCAL_MACHINE, kHiddenPath, RegistryTree());
    HWND foreground = nullptr;
    CMyDialog dialog(IDD_MAIN, nullptr);
    EXPECT_EQ(IDOK, Run(dialog, {[&](HWND d) {
                                     foreground = GetForegroundWindow();
                                     Click(d, IDHELP);
                                 },
                                 [](HWND d) { Click(d, IDOK); }}));
    EXPECT_NE(nullptr, foreground) << "no foreground window to own the box";
    EXPECT_TRUE(boxes.TookOneBox(kHelpTitle, kHelpText, foreground));
}

TEST_F(MainDialogTest, FocusStartsOnRestoreSoEnterRestoresInsteadOfEnding)
{
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath, Drivers({"Synth"}));
    WriteTree(HKEY_LOCAL_MACHINE, kHiddenPath, Drivers({"Organ"}));
    // Enter goes to the focused push button only when the dialog manager made it the default one.
    bool focusIsDefault = false;
    CMyDialog dialog(IDD_MAIN, nullptr);
    EXPECT_EQ(IDOK, Run(dialog, {[&](HWND d) {
                                     HWND focus = GetFocus();
                                     EXPECT_EQ(GetDlgItem(d, IDC_RESTORE), focus);
                                     const LRESULT code = SendMessageA(focus, WM_GETDLGCODE, 0, 0);
                                     focusIsDefault = (code & DLGC_DEFPUSHBUTTON) != 0;
                                     if (focusIsDefault || !RunningOnWine())
                                         PressKey(focus, VK_RETURN);
                                 },
                                 [&](HWND d) {
                                     // Ended first: the window lives until the loop returns, and a failed
                                     // assertion below cannot leave the dialog running.
                                     Click(d, IDOK);
                                     if (focusIsDefault || !RunningOnWine()) {
                                         EXPECT_TRUE(boxes.TookOneBox(kQuimbleTitle, kRestoreNothingSelectedText, d));
                                         EXPECT_EQ(Names{"Organ"}, ListItems(d, IDC_HIDDEN_LIST));
                                     }
                                 }}));
    if (!focusIsDefault && RunningOnWine())
        GTEST_SKIP() << "Wine leaves the push button that gets the first focus a non-default one, so Enter means IDOK";
}

TEST_F(MainDialogTest, EndingsReturnTheirResultAndLeaveTheRegistryAlone)
{
    // No hidden location: each start shows the help, and must not create the location while doing so.
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath, Drivers({"Organ", "Synth"}));
    const RegistryTree before = ReadTree(HKEY_LOCAL_MACHINE, "Software");
    struct Ending {
        const char* name;
        ModalScript::Step act;
        INT_PTR result;
    };
    const Ending endings[] = {
        {"Esc", [](HWND) { PressKey(GetFocus(), VK_ESCAPE); }, IDCANCEL},
        {"close box", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
        {"&OK", [](HWND d) { Click(d, IDOK); }, IDOK},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.name);
        CMyDialog dialog(IDD_MAIN, nullptr);
        EXPECT_EQ(ending.result, Run(dialog, {ending.act}));
        std::vector<RecordedBox> shown = boxes.Take();
        ASSERT_EQ(1u, shown.size());
        EXPECT_EQ(kHelpTitle, shown[0].title);
        EXPECT_EQ(before, ReadTree(HKEY_LOCAL_MACHINE, "Software"));
    }
}

// The same dialog object runs twice in a row, and the second run is as good as the first.
TEST_F(MainDialogTest, EveryRunSetsBothIconsBindsTheLinkAndItsLabelFits)
{
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath, Drivers({"Synth"}));
    WriteTree(HKEY_LOCAL_MACHINE, kHiddenPath, RegistryTree());
    CMyDialog dialog(IDD_MAIN, nullptr);
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        EXPECT_EQ(IDOK, Run(dialog, {[&](HWND d) {
                                HICON big = WindowIcon(d, ICON_BIG);
                                HICON small = WindowIcon(d, ICON_SMALL);
                                EXPECT_NE(nullptr, big);
                                EXPECT_NE(nullptr, small);
                                EXPECT_EQ(dialog.largeIcon, big);
                                EXPECT_EQ(dialog.smallIcon, small);

                                // Bound and alive: the link claims the mouse, which the plain static would not.
                                HWND label = GetDlgItem(d, IDC_HYPERLINK);
                                EXPECT_EQ(label, dialog.hyperlink.hWnd);
                                EXPECT_EQ(&dialog.hyperlink, Wfx::FromHandle(label));
                                EXPECT_EQ(HTCLIENT, SendMessageA(label, WM_NCHITTEST, 0, 0));
                                EXPECT_NE(nullptr, dialog.hyperlink.underlinedFont);
                                EXPECT_GT(GetWindowTextLengthA(label), 0);
                                const TextRoom room = MeasureText(label);
                                EXPECT_LE(room.extent.cx, room.client.cx) << "the link text is cut off";
                                Click(d, IDOK);
                            }}));
        EXPECT_TRUE(boxes.Take().empty()) << "a box came up during the run";
    }
}

struct Key {
    const char* name;
    WPARAM virtualKey;
    bool withAlt;
    int focusAfter;
};

TEST_F(MainDialogTest, AltLettersFocusTheListsUnderTheirLabelsAndTabKeepsItsOrder)
{
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath, Drivers({"Synth"}));
    WriteTree(HKEY_LOCAL_MACHINE, kHiddenPath, Drivers({"Organ"}));
    // From the start on "&<<": each mnemonic, then Tab once round the controls that take the focus.
    const Key keys[] = {
        {"Alt+A", 'A', true, IDC_ACTIVE_LIST},
        {"Alt+D", 'D', true, IDC_HIDDEN_LIST},
        {"Alt+A", 'A', true, IDC_ACTIVE_LIST},
        {"Tab", VK_TAB, false, IDC_HIDDEN_LIST},
        {"Tab", VK_TAB, false, IDC_RESTORE},
        {"Tab", VK_TAB, false, IDC_HIDE},
        {"Tab", VK_TAB, false, IDOK},
        {"Tab", VK_TAB, false, IDHELP},
        {"Tab", VK_TAB, false, IDC_ACTIVE_LIST},
    };
    // One step per key: a posted key is handled before the next timer tick runs the step that checks it.
    std::vector<ModalScript::Step> steps;
    int expected = IDC_RESTORE;
    std::string after = "the start";
    for (const Key& key : keys) {
        steps.push_back([=](HWND) {
            EXPECT_EQ(expected, GetDlgCtrlID(GetFocus())) << "the focused control's id after " << after;
            PressKey(GetFocus(), key.virtualKey, key.withAlt);
        });
        expected = key.focusAfter;
        after = std::string(key.name) + " in row " + std::to_string(steps.size());
    }
    steps.push_back([=](HWND d) {
        EXPECT_EQ(expected, GetDlgCtrlID(GetFocus())) << "the focused control's id after " << after;
        // Screen readers name a list after the label just before it.
        for (const auto& [list, label] : {std::pair<int, std::string>{IDC_ACTIVE_LIST, "&Active Devices"},
                                          std::pair<int, std::string>{IDC_HIDDEN_LIST, "&Disabled Devices"}}) {
            char text[64] = {};
            GetWindowTextA(GetWindow(GetDlgItem(d, list), GW_HWNDPREV), text, sizeof text);
            EXPECT_EQ(label, text) << "the window before list " << list;
        }
        Click(d, IDOK);
    });
    CMyDialog dialog(IDD_MAIN, nullptr);
    EXPECT_EQ(IDOK, Run(dialog, steps));
    EXPECT_TRUE(boxes.Take().empty()) << "a key brought up a box";
    EXPECT_EQ(Drivers({"Synth"}), ReadTree(HKEY_LOCAL_MACHINE, kActivePath)) << "a key moved a driver";
}

// What Windows asks of a window at each display scale: the big and small icon sizes, and the pixel height of the
// dialog's 8-point font, which its dialog units follow.
struct DisplayScale {
    int dpi;
    SIZE bigIcon;
    SIZE smallIcon;
    LONG fontHeight;
};

const DisplayScale kScales[] = {
    {96, {32, 32}, {16, 16}, 11},
    {120, {40, 40}, {20, 20}, 13},
    {144, {48, 48}, {24, 24}, 16},
    {192, {64, 64}, {32, 32}, 21},
};

// The dialog at the display scale the test runs at. A test prefix made for a display DPI names it in
// QUIMBLE_PREFIX_DPI, so a prefix that did not take the setting fails instead of testing 100 % once more.
class DisplayScaleTest : public MainDialogTest {
protected:
    void SetUp() override
    {
        HDC screen = GetDC(nullptr);
        const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        if (const char* prefixDpi = std::getenv("QUIMBLE_PREFIX_DPI")) {
            ASSERT_EQ(std::atoi(prefixDpi), dpi) << "the screen's DPI is not the one the test prefix was made for";
        }
        for (const DisplayScale& known : kScales) {
            if (known.dpi == dpi)
                scale = known;
        }
        if (scale.dpi == 0)
            GTEST_SKIP() << "no sizes known for a display of " << dpi << " DPI";
        WriteTree(HKEY_LOCAL_MACHINE, kActivePath, Drivers({"Synth"}));
        WriteTree(HKEY_LOCAL_MACHINE, kHiddenPath, Drivers({"Organ"}));
    }

    DisplayScale scale = {};
};

TEST_F(DisplayScaleTest, IconsAreTheSizesOfTheScaleAlsoAfterADpiChange)
{
    CMyDialog dialog(IDD_MAIN, nullptr);
    EXPECT_EQ(IDOK, Run(dialog, {[&](HWND d) {
                            const HICON big = WindowIcon(d, ICON_BIG);
                            const HICON small = WindowIcon(d, ICON_SMALL);
                            EXPECT_EQ(SizeText(scale.bigIcon), SizeText(IconSize(big)));
                            EXPECT_EQ(SizeText(scale.smallIcon), SizeText(IconSize(small)));

                            // What Windows sends when the dialog reaches a display of another scale,
                            // here of the same one: the icons are loaded again at its sizes.
                            RECT frame = {};
                            GetWindowRect(d, &frame);
                            SendMessageA(d, WM_DPICHANGED, MAKEWPARAM(scale.dpi, scale.dpi),
                                         reinterpret_cast<LPARAM>(&frame));
                            const HICON newBig = WindowIcon(d, ICON_BIG);
                            const HICON newSmall = WindowIcon(d, ICON_SMALL);
                            EXPECT_NE(big, newBig);
                            EXPECT_NE(small, newSmall);
                            EXPECT_EQ(dialog.largeIcon, newBig);
                            EXPECT_EQ(dialog.smallIcon, newSmall);
                            EXPECT_EQ(SizeText(scale.bigIcon), SizeText(IconSize(newBig)));
                            EXPECT_EQ(SizeText(scale.smallIcon), SizeText(IconSize(newSmall)));
                            // Released, unless the system has handed the freed handle out again.
                            for (HICON old : {big, small}) {
                                EXPECT_TRUE(IconSize(old).cx == 0 || old == newBig || old == newSmall)
                                    << "an icon loaded before the change is still alive";
                            }
                            Click(d, IDOK);
                        }}));
}

TEST_F(DisplayScaleTest, NoControlTextIsClippedAndTheLinkUnderlinesTheScaledFont)
{
    CMyDialog dialog(IDD_MAIN, nullptr);
    EXPECT_EQ(IDOK, Run(dialog, {[&](HWND d) {
                            int measured = 0;
                            for (HWND control = GetWindow(d, GW_CHILD); control;
                                 control = GetWindow(control, GW_HWNDNEXT)) {
                                const TextRoom room = MeasureText(control);
                                if (room.text.empty())
                                    continue;
                                ++measured;
                                EXPECT_LE(room.extent.cx, room.client.cx) << "width of \"" << room.text << '"';
                                EXPECT_LE(room.extent.cy, room.client.cy) << "height of \"" << room.text << '"';
                            }
                            EXPECT_EQ(7, measured) << "controls with a text";

                            LOGFONTA own = {};
                            GetObjectA(reinterpret_cast<HFONT>(SendDlgItemMessageA(d, IDC_HYPERLINK, WM_GETFONT, 0, 0)),
                                       sizeof own, &own);
                            EXPECT_EQ(-scale.fontHeight, own.lfHeight) << "the dialog's font";
                            LOGFONTA underlined = {};
                            GetObjectA(dialog.hyperlink.underlinedFont, sizeof underlined, &underlined);
                            EXPECT_EQ(own.lfHeight, underlined.lfHeight) << "the link's font";
                            EXPECT_TRUE(underlined.lfUnderline);
                            Click(d, IDOK);
                        }}));
}

}  // namespace
