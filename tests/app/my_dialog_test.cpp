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
#include <ostream>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

void Click(HWND dialog, int controlId)
{
    SendMessageA(GetDlgItem(dialog, controlId), BM_CLICK, 0, 0);
}

// Through the queue, so the dialog manager's own keyboard handling in the modal loop sees the key.
void PressKey(HWND window, WPARAM key)
{
    PostMessageA(window, WM_KEYDOWN, key, 0);
}

// Client width of the control next to the width its text takes in the control's font.
std::pair<LONG, LONG> TextAndClientWidth(HWND control)
{
    char text[256] = {};
    GetWindowTextA(control, text, sizeof text);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    SIZE extent = {};
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    RECT client = {};
    GetClientRect(control, &client);
    return {extent.cx, client.right - client.left};
}

int IconWidth(HICON icon)
{
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return 0;
    BITMAP bitmap = {};
    GetObjectA(info.hbmMask, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    return bitmap.bmWidth;
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
                                auto big = reinterpret_cast<HICON>(SendMessageA(d, WM_GETICON, ICON_BIG, 0));
                                auto small = reinterpret_cast<HICON>(SendMessageA(d, WM_GETICON, ICON_SMALL, 0));
                                EXPECT_NE(nullptr, big);
                                EXPECT_NE(nullptr, small);
                                EXPECT_EQ(dialog.largeIcon, big);
                                EXPECT_EQ(dialog.smallIcon, small);
                                EXPECT_EQ(GetSystemMetrics(SM_CXICON), IconWidth(big));
                                EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), IconWidth(small));

                                // Bound and alive: the link claims the mouse, which the plain static would not.
                                HWND label = GetDlgItem(d, IDC_HYPERLINK);
                                EXPECT_EQ(label, dialog.hyperlink.hWnd);
                                EXPECT_EQ(&dialog.hyperlink, Wfx::FromHandle(label));
                                EXPECT_EQ(HTCLIENT, SendMessageA(label, WM_NCHITTEST, 0, 0));
                                EXPECT_NE(nullptr, dialog.hyperlink.underlinedFont);
                                EXPECT_GT(GetWindowTextLengthA(label), 0);
                                const auto [textWidth, clientWidth] = TextAndClientWidth(label);
                                EXPECT_LE(textWidth, clientWidth) << "the link text is cut off";
                                Click(d, IDOK);
                            }}));
        EXPECT_TRUE(boxes.Take().empty()) << "a box came up during the run";
    }
}

}  // namespace
