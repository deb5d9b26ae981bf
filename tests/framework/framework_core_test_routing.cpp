// Message routing: the hand-over, the default handling and reflection, and held exceptions, with real windows.
#include <windows.h>
#include <commctrl.h>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "framework_core_test_windows.h"
#include "held_exception.h"
#include "message_box_recorder.h"
#include "safety_timer.h"
#include "win_app.h"
#include "win_exception.h"
#include "wnd.h"

namespace {

// A window procedure of a class outside the framework, which answers the messages it records with kRawAnswer.
constexpr LRESULT kRawAnswer = 500;
std::vector<UINT> rawSeen;
bool rawRecording = false;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (rawRecording) {
        rawSeen.push_back(message);
        return kRawAnswer;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateRecordingWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "CoreTestRecording";
    RegisterClassA(&wc);  // fails harmlessly when registered before
    HWND window = CreateWindowExA(0, "CoreTestRecording", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(nullptr, window) << "CreateWindowExA(CoreTestRecording)";
    return window;
}

// A hidden control whose procedure is StaticWindowProc though no object was ever bound to it. A child, since a
// top-level window would get WM_ACTIVATEAPP from each error box, fail again and show the next box.
class UnboundRoutedWindow {
public:
    UnboundRoutedWindow()
    {
        parent_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleA(nullptr),
                                  nullptr);
        window_ = CreateWindowExA(0, "STATIC", "abc", WS_CHILD, 0, 0, 10, 10, parent_, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        ownProc_ = SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Wfx::StaticWindowProc));
    }
    ~UnboundRoutedWindow()
    {
        SetWindowLongPtrA(window_, GWLP_WNDPROC, ownProc_);
        DestroyWindow(parent_);
    }
    UnboundRoutedWindow(const UnboundRoutedWindow&) = delete;
    UnboundRoutedWindow& operator=(const UnboundRoutedWindow&) = delete;

    HWND Window() const { return window_; }

private:
    HWND parent_ = nullptr;
    HWND window_ = nullptr;
    LONG_PTR ownProc_ = 0;
};

LPARAM AsLParam(HWND window)
{
    return reinterpret_cast<LPARAM>(window);
}

LRESULT SendNotify(HWND to, HWND from)
{
    NMHDR header = {};
    header.hwndFrom = from;
    header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(from));
    header.code = NM_CLICK;
    return SendMessageA(to, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

// A parent with one control that has an object (id 101) and one that has none (id 102).
struct Family {
    std::vector<std::string> log;
    TestWnd parent{"P", &log};
    TestWnd control{"S", &log};
    HWND attached = nullptr;
    HWND plain = nullptr;

    Family()
    {
        CreateHidden(parent);
        attached = CreateRawControl("STATIC", parent.hWnd, 101);
        plain = CreateRawControl("STATIC", parent.hWnd, 102);
        control.Attach(attached);
        log.clear();
    }
};

std::unique_ptr<Wfx::CWnd> dialogObject;

INT_PTR CALLBACK HoldingDialogProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        dialogObject->hWnd = dialog;
        PostMessageA(dialog, WM_APP, 0, 0);
        return TRUE;
    case WM_APP:
        Wfx::HoldException(std::make_exception_ptr(std::bad_alloc()));
        Wfx::HoldException(std::make_exception_ptr(7));
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

using MessageRouting = BoxWatchingTest;

constexpr char kNoRecord[] = "CWnd::StaticWindowProc .. Unable to read the thread's ThreadRecord";

TEST_F(MessageRouting, AWindowThatNothingIsCreatingFailsToRouteEachMessage)
{
    {
        // Without an application object there is no record to read either.
        UnboundRoutedWindow routed;
        EXPECT_EQ(0, SendMessageA(routed.Window(), WM_GETTEXTLENGTH, 0, 0));
        EXPECT_TRUE(recorder.TookOneFailure(kNoRecord));
    }

    Wfx::CWinApp app;
    app.AcquireThreadRecord();
    UnboundRoutedWindow routed;
    ASSERT_NE(nullptr, routed.Window());

    // The control's own procedure would answer 3; the failed routing answers 0 and stays unbound.
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(0, SendMessageA(routed.Window(), WM_GETTEXTLENGTH, 0, 0)) << attempt;
        EXPECT_TRUE(recorder.TookOneFailure("CWnd::StaticWindowProc .. Failed to route message")) << attempt;
        EXPECT_EQ(nullptr, app.FindInMap(routed.Window()));
    }

    // A thread that never created a window through the framework has no record to read.
    LRESULT result = -1;
    std::thread([&] {
        MessageBoxRecorder threadRecorder;
        UnboundRoutedWindow threadRouted;
        result = SendMessageA(threadRouted.Window(), WM_GETTEXTLENGTH, 0, 0);
        EXPECT_TRUE(threadRecorder.TookOneFailure(kNoRecord));
    }).join();
    EXPECT_EQ(0, result);
}

TEST_F(MessageRouting, AFrameworkExceptionFromAHandlerIsReportedAndAnsweredWithZero)
{
    Wfx::CWinApp app;
    TestWnd object;
    ASSERT_NE(nullptr, CreateHidden(object));
    object.handler = [](UINT message, WPARAM, LPARAM, LRESULT& result) {
        if (message == WM_APP) {
            SetLastError(0);
            throw Wfx::CWinException("Handler failed");
        }
        result = 5;
        return message == WM_APP + 1;
    };
    EXPECT_EQ(0, SendMessageA(object.hWnd, WM_APP, 0, 0));
    EXPECT_TRUE(recorder.TookOneBox("Error", "Handler failed"));
    EXPECT_EQ(&object, app.FindInMap(object.hWnd));
    EXPECT_EQ(5, SendMessageA(object.hWnd, WM_APP + 1, 0, 0));
    EXPECT_NO_THROW(Wfx::RethrowHeldException());
}

TEST_F(MessageRouting, CommandsGoToTheControlThenOnCommandThenOnUnhandledCommand)
{
    Wfx::CWinApp app;
    Family family;
    family.parent.defaultAnswered = {WM_COMMAND};
    family.parent.defaultResult = 77;
    const struct {
        const char* name;
        HWND from;
        LRESULT reflected;
        BOOL command;
        BOOL unhandled;
        LRESULT expected;
        std::vector<std::string> calls;
    } cases[] = {
        {"the control's object claims it", family.attached, 5, TRUE, TRUE, 1, {"S.OnReflectedMessage 0x111"}},
        {"the control's object declines",
         family.attached,
         0,
         TRUE,
         TRUE,
         1,
         {"S.OnReflectedMessage 0x111", "P.OnCommand"}},
        {"a control without object, OnCommand", family.plain, 0, TRUE, TRUE, 1, {"P.OnCommand"}},
        {"OnUnhandledCommand", family.plain, 0, FALSE, TRUE, 1, {"P.OnCommand", "P.OnUnhandledCommand"}},
        {"nobody: default processing",
         family.plain,
         0,
         FALSE,
         FALSE,
         77,
         {"P.OnCommand", "P.OnUnhandledCommand", "P.DefWindowProc 0x111"}},
        {"a menu command",
         nullptr,
         0,
         FALSE,
         FALSE,
         77,
         {"P.OnCommand", "P.OnUnhandledCommand", "P.DefWindowProc 0x111"}},
    };
    for (const auto& c : cases) {
        family.control.reflectedResult = c.reflected;
        family.parent.commandResult = c.command;
        family.parent.unhandledCommandResult = c.unhandled;
        family.log.clear();
        const LRESULT result =
            SendMessageA(family.parent.hWnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c.from), 0), AsLParam(c.from));
        EXPECT_EQ(c.expected, result) << c.name;
        EXPECT_EQ(c.calls, family.log) << c.name;
    }
}

TEST_F(MessageRouting, NotificationsAreOfferedToPreNotifyTheSenderItsParentThenOnNotify)
{
    Wfx::CWinApp app;
    Family family;
    // A control's inner child: its parent is the control, which has an object.
    HWND inner = CreateRawControl("STATIC", family.attached, 103);
    family.parent.defaultAnswered = {WM_NOTIFY};
    family.parent.defaultResult = 88;
    const struct {
        const char* name;
        HWND from;
        LRESULT preNotify;
        LRESULT reflectedNotify;
        LRESULT notify;
        LRESULT expected;
        std::vector<std::string> calls;
    } cases[] = {
        {"PreNotify decides alone", family.attached, 9, 6, 4, 9, {"P.PreNotify"}},
        {"the sender's object", family.attached, 0, 6, 4, 6, {"P.PreNotify", "S.OnReflectedNotify"}},
        {"the sender declines", family.attached, 0, 0, 4, 4, {"P.PreNotify", "S.OnReflectedNotify", "P.OnNotify"}},
        {"the sender's parent's object", inner, 0, 3, 4, 3, {"P.PreNotify", "S.OnReflectedNotify"}},
        {"nobody: default processing",
         family.plain,
         0,
         6,
         0,
         88,
         {"P.PreNotify", "P.OnNotify", "P.DefWindowProc 0x4E"}},
    };
    for (const auto& c : cases) {
        family.parent.preNotifyResult = c.preNotify;
        family.control.reflectedNotifyResult = c.reflectedNotify;
        family.parent.notifyResult = c.notify;
        family.log.clear();
        EXPECT_EQ(c.expected, SendNotify(family.parent.hWnd, c.from)) << c.name;
        EXPECT_EQ(c.calls, family.log) << c.name;
    }

    // A notification without its header names no sender; it must not bring the program down.
    family.parent.notifyResult = 0;
    family.log.clear();
    EXPECT_EQ(88, SendMessageA(family.parent.hWnd, WM_NOTIFY, 0, 0));
    EXPECT_EQ((std::vector<std::string>{"P.PreNotify", "P.OnNotify", "P.DefWindowProc 0x4E"}), family.log);
}

TEST_F(MessageRouting, ControlMessagesAreReflectedToTheObjectOfTheControlTheyName)
{
    Wfx::CWinApp app;
    Family family;
    const LRESULT brush = reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH));
    family.control.reflectedResult = brush;
    family.parent.defaultAnswered = {WM_CTLCOLORSTATIC, WM_CTLCOLORMSGBOX, WM_DRAWITEM, WM_PARENTNOTIFY, WM_HSCROLL};
    family.parent.defaultResult = 55;
    const LPARAM attached = AsLParam(family.attached);
    const LPARAM plain = AsLParam(family.plain);
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool reflected;
    } cases[] = {
        {WM_CTLCOLORSTATIC, 0, attached, true},
        {WM_CTLCOLORSTATIC, 0, plain, false},
        {WM_CTLCOLORMSGBOX, 0, attached, false},
        {WM_CTLCOLOREDIT, 0, attached, true},
        {WM_CTLCOLORLISTBOX, 0, attached, true},
        {WM_CTLCOLORBTN, 0, attached, true},
        {WM_CTLCOLORDLG, 0, attached, true},
        {WM_CTLCOLORSCROLLBAR, 0, attached, true},
        {WM_HSCROLL, 0, attached, true},
        {WM_VSCROLL, 0, attached, true},
        {WM_VKEYTOITEM, 0, attached, true},
        {WM_CHARTOITEM, 0, attached, true},
        // The item messages name their control by identifier.
        {WM_DRAWITEM, 101, 0, true},
        {WM_MEASUREITEM, 101, 0, true},
        {WM_DELETEITEM, 101, 0, true},
        {WM_COMPAREITEM, 101, 0, true},
        {WM_DRAWITEM, 102, 0, false},
        {WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, 101), attached, true},
        {WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, 101), attached, true},
        // For a click, lParam is a position, never a control.
        {WM_PARENTNOTIFY, MAKEWPARAM(WM_LBUTTONDOWN, 0), attached, false},
    };
    for (const auto& c : cases) {
        family.log.clear();
        const LRESULT result = SendMessageA(family.parent.hWnd, c.message, c.wParam, c.lParam);
        const std::string what = Hex(c.message) + " " + Hex(static_cast<UINT>(c.wParam));
        if (c.reflected) {
            EXPECT_EQ(brush, result) << what;
            EXPECT_EQ((std::vector<std::string>{"S.OnReflectedMessage " + Hex(c.message)}), family.log) << what;
        } else {
            EXPECT_EQ(55, result) << what;
            EXPECT_EQ((std::vector<std::string>{"P.DefWindowProc " + Hex(c.message)}), family.log) << what;
        }
    }

    // An object that declines leaves the message to default processing.
    family.control.reflectedResult = 0;
    family.log.clear();
    EXPECT_EQ(55, SendMessageA(family.parent.hWnd, WM_CTLCOLORSTATIC, 0, attached));
    EXPECT_EQ((std::vector<std::string>{"S.OnReflectedMessage 0x138", "P.DefWindowProc 0x138"}), family.log);
    EXPECT_EQ(0, Wfx::ReflectMessage(family.parent.hWnd, WM_CTLCOLORSTATIC, 0, plain));
}

TEST_F(MessageRouting, PaintCallsOnPaintWithOrWithoutAnUpdateRegion)
{
    Wfx::CWinApp app;
    TestWnd object;
    HWND window = CreateHidden(object, nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ASSERT_NE(nullptr, window);
    UpdateWindow(window);
    ValidateRect(window, nullptr);
    object.paintDcs.clear();

    EXPECT_EQ(0, SendMessageA(window, WM_PAINT, 0, 0));
    ASSERT_EQ(1u, object.paintDcs.size()) << "without an update region";
    EXPECT_NE(nullptr, object.paintDcs[0]);

    InvalidateRect(window, nullptr, FALSE);
    ASSERT_TRUE(GetUpdateRect(window, nullptr, FALSE));
    EXPECT_EQ(0, SendMessageA(window, WM_PAINT, 0, 0));
    ASSERT_EQ(2u, object.paintDcs.size()) << "with an update region";
    EXPECT_NE(nullptr, object.paintDcs[1]);
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE)) << "the update region was not validated";
}

TEST_F(MessageRouting, ASubclassedWindowLeavesPaintingAndReflectionToItsOwnProcedure)
{
    Wfx::CWinApp app;
    std::vector<std::string> log;
    TestWnd object("X", &log);
    HWND window = CreateRecordingWindow();
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(object.Attach(window));
    ASSERT_EQ(RecordingProc, object.prevWindowProc);
    TestWnd control("S", &log);
    HWND attached = CreateRawControl("STATIC", window, 101);
    ASSERT_TRUE(control.Attach(attached));
    HWND plain = CreateRawControl("STATIC", window, 102);
    control.reflectedResult = 1;
    control.reflectedNotifyResult = 1;
    object.notifyResult = 4;

    const struct {
        const char* name;
        UINT message;
        LPARAM lParam;
        BOOL command;
        LRESULT expected;
        std::vector<std::string> calls;
        bool reachesOwnProcedure;
    } cases[] = {
        {"painting", WM_PAINT, 0, FALSE, kRawAnswer, {}, true},
        {"a reflected message", WM_CTLCOLORSTATIC, AsLParam(attached), FALSE, kRawAnswer, {}, true},
        {"creation still calls OnCreate", WM_CREATE, 0, FALSE, kRawAnswer, {"X.OnCreate"}, true},
        {"a handled command", WM_COMMAND, AsLParam(plain), TRUE, 1, {"X.OnCommand"}, false},
        {"an unhandled command",
         WM_COMMAND,
         AsLParam(plain),
         FALSE,
         kRawAnswer,
         {"X.OnCommand", "X.OnUnhandledCommand"},
         true},
        {"a notification from a known control",
         WM_NOTIFY,
         AsLParam(attached),
         FALSE,
         kRawAnswer,
         {"X.PreNotify"},
         true},
        {"a notification from an unknown control",
         WM_NOTIFY,
         AsLParam(plain),
         FALSE,
         4,
         {"X.PreNotify", "X.OnNotify"},
         false},
    };
    for (const auto& c : cases) {
        object.commandResult = c.command;
        log.clear();
        rawSeen.clear();
        rawRecording = true;
        const LRESULT result = c.message == WM_NOTIFY ? SendNotify(window, reinterpret_cast<HWND>(c.lParam))
                                                      : SendMessageA(window, c.message, 0, c.lParam);
        rawRecording = false;
        EXPECT_EQ(c.expected, result) << c.name;
        EXPECT_EQ(c.calls, log) << c.name;
        EXPECT_EQ(c.reachesOwnProcedure ? std::vector<UINT>{c.message} : std::vector<UINT>{}, rawSeen) << c.name;
    }
}

TEST(HeldException, HoldingEndsTheInnermostModalLoopAndKeepsTheFirstException)
{
    MessageBoxRecorder recorder({HoldingDialogProc});
    dialogObject = std::make_unique<Wfx::CWnd>();
#pragma pack(push, 4)
    struct {
        DLGTEMPLATE dialog;
        WORD menu;
        WORD windowClass;
        WORD title;
    } dialogTemplate = {{WS_POPUP | WS_CAPTION, 0, 0, 0, 0, 100, 50}, 0, 0, 0};
#pragma pack(pop)
    INT_PTR result = 0;
    {
        SafetyTimer safety;
        Wfx::ModalLoopScope loop(dialogObject.get());
        result =
            DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &dialogTemplate.dialog, nullptr, HoldingDialogProc, 0);
    }
    EXPECT_EQ(0, result) << "the modal loop ran on until the safety timer";
    EXPECT_THROW(Wfx::RethrowHeldException(), std::bad_alloc);
    EXPECT_NO_THROW(Wfx::RethrowHeldException()) << "rethrowing forgets the exception";
    dialogObject->hWnd = nullptr;
    dialogObject.reset();

    // Outside any modal loop the exception is only kept.
    Wfx::HoldException(std::make_exception_ptr(3));
    EXPECT_THROW(Wfx::RethrowHeldException(), int);
}
