// The web-link label bound to control 1001 of the real dialog template, shown modeless so tests can act on it.
#include "dialog.h"
#include "expected_texts.h"
#include "hyperlink.h"
#include "message_box_recorder.h"
#include "resources/resource.h"
#include "unelevated_open.h"
#include "win_app.h"
#include "win_exception.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr COLORREF kBlue = 0x00FF0000;
constexpr COLORREF kPurple = 0x00800080;
constexpr COLORREF kSentinelColor = RGB(1, 2, 3);

// Counts the clicks that would open the page, instead of starting a browser.
class CountingHyperlink : public CHyperlink {
public:
    void OpenLink() override { ++opened; }
    int opened = 0;
};

// A memory device context with known attributes, so a test sees exactly what a colour message changed.
class MemoryDc {
public:
    MemoryDc() : dc_(CreateCompatibleDC(nullptr)), font_(GetCurrentObject(dc_, OBJ_FONT))
    {
        SetTextColor(dc_, kSentinelColor);
        SetBkMode(dc_, OPAQUE);
    }
    ~MemoryDc()
    {
        // The underlined font belongs to the link; put the original back before the DC goes.
        SelectObject(dc_, font_);
        DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;

    operator HDC() const { return dc_; }
    HGDIOBJ OriginalFont() const { return font_; }

private:
    HDC dc_;
    HGDIOBJ font_;
};

LOGFONTA Describe(HGDIOBJ font)
{
    LOGFONTA description = {};
    EXPECT_NE(0, GetObjectA(font, sizeof description, &description)) << "GetObjectA(font)";
    return description;
}

// A link of the given class bound to control 1001 of the main dialog's template.
template <class Link>
class LinkOnDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog = host.DoModeless();
        ASSERT_NE(nullptr, dialog);
        control = GetDlgItem(dialog, IDC_HYPERLINK);
        ASSERT_NE(nullptr, control);
        ASSERT_TRUE(link.AttachToDialogItem(IDC_HYPERLINK, &host));
        ASSERT_EQ(control, link.hWnd);
    }

    // What the control sends its dialog before it paints its text.
    LRESULT ColorStatic(HDC dc)
    {
        return SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
    }

    // The control's bottom-right window corner in its client coordinates: the first column and row outside it.
    POINT FarCorner() const
    {
        RECT bounds = {};
        GetWindowRect(control, &bounds);
        POINT corner = {bounds.right, bounds.bottom};
        ScreenToClient(control, &corner);
        return corner;
    }

    MessageBoxRecorder boxes{{Wfx::StaticDialogProc}};
    Wfx::CWinApp app;
    Wfx::CDialog host{IDD_MAIN};
    Link link;
    HWND dialog = nullptr;
    HWND control = nullptr;
};

using HyperlinkTest = LinkOnDialog<CountingHyperlink>;

TEST_F(HyperlinkTest, PaintsUnderlinedBlueOnButtonFaceThenPurpleOnceVisited)
{
    MemoryDc dc;
    EXPECT_EQ(reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE)), ColorStatic(dc));
    EXPECT_EQ(kBlue, GetTextColor(dc));
    EXPECT_EQ(TRANSPARENT, GetBkMode(dc));

    // The underline is the only difference from the control's own font, which stays as it was.
    HGDIOBJ selected = GetCurrentObject(dc, OBJ_FONT);
    EXPECT_EQ(link.underlinedFont, selected);
    const LOGFONTA drawn = Describe(selected);
    const LOGFONTA own = Describe(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    EXPECT_TRUE(drawn.lfUnderline);
    EXPECT_FALSE(own.lfUnderline);
    EXPECT_STREQ(own.lfFaceName, drawn.lfFaceName);
    EXPECT_EQ(own.lfHeight, drawn.lfHeight);
    EXPECT_EQ(own.lfWeight, drawn.lfWeight);

    link.visited = TRUE;
    MemoryDc visitedDc;
    EXPECT_EQ(reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE)), ColorStatic(visitedDc));
    EXPECT_EQ(kPurple, GetTextColor(visitedDc));
    EXPECT_EQ(link.underlinedFont, GetCurrentObject(visitedDc, OBJ_FONT));
}

TEST_F(HyperlinkTest, AnswersNoOtherReflectedMessageAndLeavesItsDcAlone)
{
    const UINT others[] = {WM_CTLCOLORBTN, WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX, WM_CTLCOLORDLG,
                           WM_COMMAND,     WM_DRAWITEM,     WM_PARENTNOTIFY,    WM_HSCROLL};
    for (UINT message : others) {
        SCOPED_TRACE(::testing::Message() << "message 0x" << std::hex << message);
        MemoryDc dc;
        EXPECT_EQ(0, link.OnReflectedMessage(message, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)),
                                             reinterpret_cast<LPARAM>(control)));
        EXPECT_EQ(kSentinelColor, GetTextColor(dc));
        EXPECT_EQ(OPAQUE, GetBkMode(dc));
        EXPECT_EQ(dc.OriginalFont(), GetCurrentObject(dc, OBJ_FONT));
    }
}

TEST_F(HyperlinkTest, ShowsTheHandAndClaimsItsWholeArea)
{
    HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
    ASSERT_NE(nullptr, hand);
    EXPECT_EQ(hand, link.linkCursor);

    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(TRUE, SendMessageA(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
                                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(hand, GetCursor());

    // A static without the notify style would answer HTTRANSPARENT and never see a click.
    RECT bounds = {};
    GetWindowRect(control, &bounds);
    EXPECT_EQ(HTCLIENT, SendMessageA(control, WM_NCHITTEST, 0, MAKELPARAM(bounds.left + 1, bounds.top + 1)));
}

TEST_F(HyperlinkTest, OpensOnlyWhenPressedAndReleasedInside)
{
    const POINT corner = FarCorner();
    ASSERT_GT(corner.x, 2);
    ASSERT_GT(corner.y, 2);
    struct Release {
        const char* where;
        POINT point;
        int opens;
    };
    const Release releases[] = {
        {"inside", {1, 1}, 1},
        {"top-left corner", {0, 0}, 1},
        {"last pixel inside", {corner.x - 1, corner.y - 1}, 1},
        {"on the right edge", {corner.x, 1}, 0},
        {"on the bottom edge", {1, corner.y}, 0},
        {"left of the control", {-1, 1}, 0},
        {"above the control", {1, -1}, 0},
        {"dragged far out", {corner.x + 40, corner.y + 40}, 0},
    };
    for (const Release& release : releases) {
        SCOPED_TRACE(release.where);
        link.opened = 0;
        SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
        EXPECT_EQ(control, GetCapture());
        EXPECT_TRUE(link.pressed);
        SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(release.point.x, release.point.y));
        EXPECT_EQ(release.opens, link.opened);
        EXPECT_EQ(nullptr, GetCapture());
        EXPECT_FALSE(link.pressed);
    }
}

TEST_F(HyperlinkTest, ReleaseWithoutPressOnlyReleasesCapture)
{
    SetCapture(control);
    SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
    EXPECT_EQ(0, link.opened);
    EXPECT_EQ(nullptr, GetCapture());

    // A second release after a complete click is just as unpressed.
    SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
    SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
    SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
    EXPECT_EQ(1, link.opened);
    EXPECT_FALSE(link.pressed);
}

// The dialog manager sends the control a new font when the dialog moves to a display of another scale.
TEST_F(HyperlinkTest, UnderlinedFontFollowsANewControlFontAndReleasesTheOldOne)
{
    const LOGFONTA own = Describe(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    LOGFONTA larger = own;
    larger.lfHeight = own.lfHeight * 2;
    HFONT scaled = CreateFontIndirectA(&larger);
    ASSERT_NE(nullptr, scaled);
    const HFONT before = link.underlinedFont;

    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(scaled), TRUE);
    EXPECT_EQ(0u, GetObjectType(before)) << "the earlier underlined font was not released";
    ASSERT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(link.underlinedFont));
    const LOGFONTA followed = Describe(link.underlinedFont);
    EXPECT_TRUE(followed.lfUnderline);
    EXPECT_EQ(larger.lfHeight, followed.lfHeight);
    EXPECT_STREQ(own.lfFaceName, followed.lfFaceName);
    EXPECT_EQ(scaled, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)))
        << "the control did not take its new font";
    {
        MemoryDc dc;
        ColorStatic(dc);
        EXPECT_EQ(link.underlinedFont, GetCurrentObject(dc, OBJ_FONT));
    }

    // The font is the test's, as a dialog's is the dialog's: the control gives it back before it goes.
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    DeleteObject(scaled);
}

// Stand-ins for the calls that decide how the link opens: each records that it was made and answers as the test
// chose, so no browser starts.
class OpenCallsStandIn {
public:
    OpenCallsStandIn(bool desktopOpens, bool elevated, INT_PTR shellExecuteResult)
        : desktopOpens_(desktopOpens), elevated_(elevated), shellExecuteResult_(shellExecuteResult),
          previous_(unelevatedOpenCalls)
    {
        current_ = this;
        unelevatedOpenCalls = {OpenThroughDesktopShell, ProcessIsElevated, ShellExecute};
    }
    ~OpenCallsStandIn()
    {
        unelevatedOpenCalls = previous_;
        current_ = nullptr;
    }
    OpenCallsStandIn(const OpenCallsStandIn&) = delete;
    OpenCallsStandIn& operator=(const OpenCallsStandIn&) = delete;

    std::vector<std::string> calls;

private:
    static std::string Text(const char* text) { return text ? "\"" + std::string(text) + "\"" : "null"; }
    static bool OpenThroughDesktopShell(const char* address)
    {
        current_->calls.push_back("desktop shell " + Text(address));
        return current_->desktopOpens_;
    }
    static bool ProcessIsElevated()
    {
        current_->calls.push_back("elevation");
        return current_->elevated_;
    }
    static HINSTANCE WINAPI ShellExecute(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR folder,
                                         INT show)
    {
        current_->calls.push_back("ShellExecuteA(" + std::string(window ? "window" : "null") + ", " + Text(verb) +
                                  ", " + Text(file) + ", " + Text(parameters) + ", " + Text(folder) + ", " +
                                  std::to_string(show) + ")");
        return reinterpret_cast<HINSTANCE>(current_->shellExecuteResult_);
    }

    static OpenCallsStandIn* current_;
    bool desktopOpens_;
    bool elevated_;
    INT_PTR shellExecuteResult_;
    UnelevatedOpenCalls previous_;
};

OpenCallsStandIn* OpenCallsStandIn::current_ = nullptr;

using OpeningHyperlinkTest = LinkOnDialog<CHyperlink>;

TEST_F(OpeningHyperlinkTest, ClickOpensThroughTheDesktopElseUnelevatedShellExecuteElseShowsTheAddress)
{
    const std::string address = "\"" + std::string(kMakerAddress) + "\"";
    const std::string desktop = "desktop shell " + address;
    const std::string shellExecute = "ShellExecuteA(null, \"open\", " + address + ", null, null, 1)";
    struct Click {
        const char* what;
        bool desktopOpens;
        bool elevated;
        INT_PTR shellExecuteResult;
        std::vector<std::string> calls;
        bool opens;
        bool boxShown;
    };
    const Click clicks[] = {
        {"the desktop's shell takes it", true, true, 42, {desktop}, true, false},
        {"no desktop shell, not elevated", false, false, 42, {desktop, "elevation", shellExecute}, true, false},
        // As before: a failed ShellExecuteA is silent and leaves the link blue.
        {"no desktop shell, not elevated, ShellExecuteA fails", false, false, SE_ERR_NOASSOC,
         {desktop, "elevation", shellExecute}, false, false},
        {"no desktop shell, elevated", false, true, 42, {desktop, "elevation"}, false, true},
    };
    for (const Click& click : clicks) {
        SCOPED_TRACE(click.what);
        link.visited = FALSE;
        OpenCallsStandIn calls(click.desktopOpens, click.elevated, click.shellExecuteResult);
        SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
        SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));

        EXPECT_EQ(click.calls, calls.calls);
        EXPECT_EQ(click.opens, link.visited != FALSE);
        MemoryDc dc;
        ColorStatic(dc);
        EXPECT_EQ(click.opens ? kPurple : kBlue, GetTextColor(dc));
        if (click.boxShown) {
            EXPECT_TRUE(boxes.TookOneBox(kQuimbleTitle, kAddressShownText + std::string(kMakerAddress), dialog));
        } else {
            EXPECT_TRUE(boxes.Take().empty()) << "a message box was shown";
        }
    }
}

TEST(HyperlinkLifetime, OwnsOnlyItsUnderlinedFont)
{
    MessageBoxRecorder boxes{{Wfx::StaticDialogProc}};
    Wfx::CWinApp app;
    Wfx::CDialog host(IDD_MAIN);
    HWND dialog = host.DoModeless();
    ASSERT_NE(nullptr, dialog);
    auto own = reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, IDC_HYPERLINK, WM_GETFONT, 0, 0));
    ASSERT_NE(nullptr, own);
    HFONT underlined = nullptr;
    {
        CountingHyperlink link;
        EXPECT_EQ(nullptr, link.underlinedFont);
        ASSERT_TRUE(link.AttachToDialogItem(IDC_HYPERLINK, &host));
        underlined = link.underlinedFont;
        EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(underlined));
        EXPECT_NE(own, underlined);
    }
    EXPECT_EQ(0u, GetObjectType(underlined)) << "the underlined font outlived the link";
    EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(own)) << "the dialog's font was deleted";
}

TEST(HyperlinkLifetime, FailedAttachReportsOnceAndMakesNoFont)
{
    MessageBoxRecorder boxes{{Wfx::StaticDialogProc}};
    Wfx::CWinApp app;
    Wfx::CDialog host(IDD_MAIN);
    ASSERT_NE(nullptr, host.DoModeless());
    CountingHyperlink link;
    EXPECT_THROW(link.AttachToDialogItem(4242, &host), Wfx::CWinException);
    EXPECT_EQ(nullptr, link.underlinedFont);
    EXPECT_TRUE(boxes.TookOneFailure("Attach failed, not a valid hwnd"));
}

}  // namespace
