// Tests of the dialog object against real dialogs under the dialog manager: runs, routing, centring, failures.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "dialog.h"
#include "dialog_test_resource.h"
#include "message_box_recorder.h"
#include "safety_timer.h"
#include "win_app.h"
#include "win_exception.h"

namespace {

constexpr UINT kMissingTemplateId = 4321;

std::vector<std::string> events;

// One row of an in-memory template's control table.
struct ControlTableRow {
    WORD classAtom;
    DWORD style;
    short x, y, cx, cy;
    WORD id;
    const char* text;
};

// An in-memory DLGTEMPLATE laid out as the dialog manager reads it: WORD fields, each item on a DWORD boundary.
class DialogTemplate {
public:
    DialogTemplate(const char* title, std::vector<ControlTableRow> controls)
    {
        PutDword(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
        PutDword(0);
        words_.insert(words_.end(), {WORD(controls.size()), 0, 0, 200, 100, 0, 0});
        PutText(title);
        for (const ControlTableRow& c : controls) {
            if (words_.size() % 2)
                words_.push_back(0);
            PutDword(c.style | WS_CHILD | WS_VISIBLE);
            PutDword(0);
            words_.insert(words_.end(), {WORD(c.x), WORD(c.y), WORD(c.cx), WORD(c.cy), c.id, 0xFFFF, c.classAtom});
            PutText(c.text);
            words_.push_back(0);
        }
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void PutDword(DWORD value)
    {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void PutText(const char* text)
    {
        words_.insert(words_.end(), text, text + lstrlenA(text));
        words_.push_back(0);
    }
    std::vector<WORD> words_;
};

const DLGTEMPLATE* ProbeTemplate()
{
    // Class atoms: 0x0080 button, 0x0082 static, 0x0083 list box.
    static const DialogTemplate probe(
        "Probe", {
                     {0x0080, BS_DEFPUSHBUTTON | WS_TABSTOP, 140, 80, 50, 14, IDOK, "OK"},
                     {0x0080, BS_PUSHBUTTON | WS_TABSTOP, 80, 80, 50, 14, IDC_PROBE_OTHER, "Other"},
                     {0x0082, SS_LEFT, 10, 10, 100, 10, IDC_PROBE_LABEL, "Label"},
                     {0x0083, LBS_NOTIFY | WS_TABSTOP, 10, 25, 100, 50, IDC_PROBE_LIST, ""},
                 });
    return probe.Get();
}

// A dialog that logs its hooks and lets each test decide what OnInitDialog and OnCommand do.
class ProbeDialog : public Wfx::CDialog {
public:
    using CDialog::CDialog;

    INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (dialog != window) {
            window = dialog;
            boundAtFirstMessage = hWnd == dialog && Wfx::FromHandle(dialog) == this;
        }
        shown |= message == WM_SHOWWINDOW && wParam;
        return CDialog::DialogProc(dialog, message, wParam, lParam);
    }
    BOOL OnInitDialog() override
    {
        events.push_back("OnInitDialog");
        return onInit ? onInit(*this) : CDialog::OnInitDialog();
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        events.push_back("OnCommand " + std::to_string(LOWORD(wParam)));
        return onCommand ? onCommand(wParam, lParam) : TRUE;
    }
    LRESULT OnNotify(WPARAM, LPARAM) override
    {
        events.push_back("OnNotify");
        return notifyResult;
    }
    void OnOK() override
    {
        events.push_back("OnOK");
        CDialog::OnOK();
    }
    void OnCancel() override
    {
        events.push_back("OnCancel");
        focusAtCancel = GetFocus();
        CDialog::OnCancel();
        if (quitWhenCancelled)
            PostQuitMessage(0);
    }
    HWND Item(int id) const { return GetDlgItem(window, id); }

    std::function<BOOL(ProbeDialog&)> onInit;
    std::function<BOOL(WPARAM, LPARAM)> onCommand;
    LRESULT notifyResult = 0;
    bool quitWhenCancelled = false;
    HWND focusAtCancel = nullptr;
    HWND window = nullptr;  // the latest run's window, kept after it ended; a new one means a new run
    bool boundAtFirstMessage = false;
    bool shown = false;
};

// A framework object attached to a control: logs what is reflected to it and what reaches its procedure.
class ControlObject : public Wfx::CWnd {
public:
    explicit ControlObject(std::string name) : name_(std::move(name)) {}
    LRESULT OnReflectedMessage(UINT message, WPARAM, LPARAM) override
    {
        events.push_back(name_ + " reflected " + std::to_string(message));
        return reflectedResult;
    }
    LRESULT OnReflectedNotify(WPARAM, LPARAM) override
    {
        events.push_back(name_ + " notify");
        return notifyResult;
    }
    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        routed.push_back(message);
        return WndProcDefault(window, message, wParam, lParam);
    }
    bool Routed(UINT message) const { return std::find(routed.begin(), routed.end(), message) != routed.end(); }

    LRESULT reflectedResult = 0;
    LRESULT notifyResult = 0;
    std::vector<UINT> routed;

private:
    std::string name_;
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        events.clear();
    }
    Wfx::CWnd* Pending() { return app.AcquireThreadRecord()->pendingWindow; }

    MessageBoxRecorder boxes{{Wfx::StaticDialogProc}};
    Wfx::CWinApp app;
};

using Events = std::vector<std::string>;

INT_PTR CALLBACK IgnoringDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

TEST(CenteredPosition, CentresThenClampsToOriginThenToWorkAreaEdges)
{
    struct Case {
        const char* what;
        RECT dialog, reference, workArea;
        POINT expected;
    } cases[] = {
        {"no parent", {0, 0, 401, 300}, {0, 0, 1024, 738}, {0, 0, 1024, 738}, {311, 219}},
        {"on a parent", {0, 0, 200, 100}, {100, 50, 500, 350}, {0, 0, 1024, 738}, {200, 150}},
        {"odd negative halves truncate", {0, 0, 401, 301}, {1000, 600, 1100, 700}, {0, 0, 2000, 2000}, {850, 500}},
        {"off the origin, work area further in",
         {0, 0, 300, 200},
         {-500, -400, -100, -100},
         {200, 100, 1224, 838},
         {0, 0}},
        {"past the right and bottom", {0, 0, 300, 200}, {900, 600, 1300, 900}, {0, 0, 1024, 738}, {724, 538}},
        {"larger than the work area", {0, 0, 1200, 900}, {0, 0, 1024, 738}, {0, 0, 1024, 738}, {-176, -162}},
    };
    for (const Case& c : cases) {
        POINT at = Wfx::CenteredPosition(c.dialog, c.reference, c.workArea);
        EXPECT_EQ(c.expected.x, at.x) << c.what;
        EXPECT_EQ(c.expected.y, at.y) << c.what;
    }
}

TEST_F(DialogTest, InitialisationCentresOnTheWorkAreaOrTheParent)
{
    HWND parent =
        CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 60, 40, 420, 360, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(parent) << "CreateWindowExA(STATIC popup)";
    for (HWND owner : {HWND(nullptr), parent}) {
        ProbeDialog dialog(ProbeTemplate(), owner);
        RECT placed = {}, workArea = {}, reference = {};
        dialog.onInit = [&](ProbeDialog& d) {
            GetWindowRect(d.hWnd, &placed);
            d.EndDialog(IDOK);
            return TRUE;
        };
        SafetyTimer safety;
        ASSERT_EQ(IDOK, dialog.DoModal());
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
        reference = workArea;
        if (owner)
            GetWindowRect(owner, &reference);
        POINT expected =
            Wfx::CenteredPosition({0, 0, placed.right - placed.left, placed.bottom - placed.top}, reference, workArea);
        EXPECT_EQ(expected.x, placed.left) << "owner " << owner;
        EXPECT_EQ(expected.y, placed.top) << "owner " << owner;
    }
    DestroyWindow(parent);
}

TEST_F(DialogTest, MissingTemplateIsReportedAndLeavesNothingBehind)
{
    // The report must carry the system's description of what the modal call itself failed with.
    SetLastError(0);
    INT_PTR direct = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kMissingTemplateId), nullptr,
                                     IgnoringDialogProc, 0);
    DWORD code = GetLastError();
    ASSERT_EQ(-1, direct);
    char description[117] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0x0400, description, sizeof description, nullptr);

    ProbeDialog missing(kMissingTemplateId);
    EXPECT_EQ(-1, missing.DoModal());
    std::string expected = "Failed to create modal dialog box";
    if (code)
        expected += std::string("\n\n     ") + description + "\n\n";
    EXPECT_TRUE(boxes.TookOneBox("Error", expected)) << "error " << code;
    EXPECT_EQ(nullptr, missing.hWnd);
    EXPECT_EQ(nullptr, Pending());

    EXPECT_EQ(nullptr, missing.DoModeless());
    EXPECT_TRUE(boxes.TookOneFailure("CDialog::DoModeless ... Failed to create dialog"));
    EXPECT_EQ(nullptr, missing.hWnd);
    EXPECT_EQ(nullptr, Pending());

    // A later run from the resource template works and loads that template's controls.
    ProbeDialog fromResource(IDD_RESOURCE_PROBE);
    char title[32] = {};
    fromResource.onInit = [&](ProbeDialog& d) {
        GetWindowTextA(d.hWnd, title, sizeof title);
        PostMessageA(d.hWnd, WM_COMMAND, IDOK, 0);
        return TRUE;
    };
    SafetyTimer safety;
    EXPECT_EQ(IDOK, fromResource.DoModal());
    EXPECT_STREQ("Resource Probe", title);
}

TEST_F(DialogTest, SecondRunWhileTheWindowLivesIsRefused)
{
    ProbeDialog dialog(ProbeTemplate());
    HWND window = dialog.DoModeless();
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(-1, dialog.DoModal());
    EXPECT_TRUE(boxes.TookOneFailure("CDialog::DoModal ... Window already exists"));
    EXPECT_FALSE(dialog.modal);
    EXPECT_EQ(window, dialog.DoModeless());
    EXPECT_TRUE(boxes.TookOneFailure("CDialog::DoModeless ... Window already exists"));
    EXPECT_EQ(window, dialog.hWnd);
    EXPECT_EQ(Events{"OnInitDialog"}, events);
}

TEST_F(DialogTest, EndDialogFromOnInitDialogEndsTheRunBeforeItIsShown)
{
    // The resource template is not WS_VISIBLE, so only the modal loop would show it.
    ProbeDialog dialog(IDD_RESOURCE_PROBE);
    HWND afterEnd = HWND(-1);
    dialog.onInit = [&](ProbeDialog& d) {
        d.EndDialog(IDCANCEL);
        afterEnd = d.hWnd;
        return TRUE;
    };
    SafetyTimer safety;
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ(nullptr, afterEnd);
    EXPECT_FALSE(dialog.shown);
    EXPECT_TRUE(dialog.boundAtFirstMessage);
    EXPECT_FALSE(IsWindow(dialog.window));
    EXPECT_EQ(nullptr, Wfx::FromHandle(dialog.window)) << "an ended modal dialog stays in the window map";
    EXPECT_EQ(Events{"OnInitDialog"}, events);
}

TEST_F(DialogTest, KeysCloseBoxAndOkCancelCommandsEndAModalRun)
{
    struct Case {
        const char* what;
        int target;  // 0: the dialog itself
        UINT message;
        WPARAM wParam;
        INT_PTR result;
        const char* hook;
    } cases[] = {
        {"Esc", IDOK, WM_KEYDOWN, VK_ESCAPE, IDCANCEL, "OnCancel"},
        {"Enter with IDOK the default button", IDC_PROBE_LIST, WM_KEYDOWN, VK_RETURN, IDOK, "OnOK"},
        {"the close box", 0, WM_SYSCOMMAND, SC_CLOSE, IDCANCEL, "OnCancel"},
        {"IDOK with a notification code", 0, WM_COMMAND, MAKEWPARAM(IDOK, 0x1234), IDOK, "OnOK"},
        {"IDCANCEL with a notification code", 0, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_DOUBLECLICKED), IDCANCEL,
         "OnCancel"},
    };
    ProbeDialog dialog(ProbeTemplate());
    for (const Case& c : cases) {
        events.clear();
        dialog.onInit = [&](ProbeDialog& d) {
            PostMessageA(c.target ? d.Item(c.target) : d.hWnd, c.message, c.wParam, 0);
            return TRUE;
        };
        SafetyTimer safety;
        EXPECT_EQ(c.result, dialog.DoModal()) << c.what;
        EXPECT_EQ((Events{"OnInitDialog", c.hook}), events) << c.what;
    }
}

TEST_F(DialogTest, CommandsAndNotificationsReachTheHooksInOrder)
{
    ProbeDialog dialog(ProbeTemplate());
    HWND window = dialog.DoModeless();
    ASSERT_TRUE(window);
    ControlObject other("other"), list("list"), inner("inner");
    ASSERT_TRUE(other.Attach(dialog.Item(IDC_PROBE_OTHER)));
    ASSERT_TRUE(list.Attach(dialog.Item(IDC_PROBE_LIST)));
    HWND innerWindows[2];
    for (HWND& child : innerWindows) {
        child = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 5, 5, list.hWnd, nullptr, nullptr, nullptr);
        ASSERT_TRUE(child) << "CreateWindowExA(inner STATIC)";
    }
    ASSERT_TRUE(inner.Attach(innerWindows[0]));

    // Other commands go to OnCommand, then to the control's object; the answer is FALSE whatever they return.
    other.reflectedResult = 1;
    events.clear();
    EXPECT_EQ(FALSE,
              Wfx::StaticDialogProc(window, WM_COMMAND, MAKEWPARAM(IDC_PROBE_OTHER, BN_CLICKED), LPARAM(other.hWnd)));
    EXPECT_EQ((Events{"OnCommand 1001", "other reflected 273"}), events);
    events.clear();
    EXPECT_EQ(FALSE, Wfx::StaticDialogProc(window, WM_COMMAND, MAKEWPARAM(IDC_PROBE_LABEL, 0),
                                           LPARAM(dialog.Item(IDC_PROBE_LABEL))));
    EXPECT_EQ(Events{"OnCommand 1002"}, events);

    struct Case {
        const char* what;
        HWND from;
        LRESULT inner, list, onNotify;
        INT_PTR result;
        Events order;
    } cases[] = {
        {"the sender's object takes it", list.hWnd, 0, 1, 1, TRUE, {"list notify"}},
        {"OnNotify returns 1", list.hWnd, 0, 0, 1, TRUE, {"list notify", "OnNotify"}},
        {"OnNotify returns 2", list.hWnd, 0, 0, 2, FALSE, {"list notify", "OnNotify"}},
        {"inner child: its object, then the control's",
         innerWindows[0],
         0,
         1,
         1,
         TRUE,
         {"inner notify", "list notify"}},
        {"inner child without an object", innerWindows[1], 0, 0, 0, FALSE, {"list notify", "OnNotify"}},
        {"a control without an object", dialog.Item(IDOK), 1, 1, 1, TRUE, {"OnNotify"}},
    };
    for (const Case& c : cases) {
        events.clear();
        inner.notifyResult = c.inner;
        list.notifyResult = c.list;
        dialog.notifyResult = c.onNotify;
        NMHDR header = {c.from, 0, NM_CLICK};
        EXPECT_EQ(c.result, Wfx::StaticDialogProc(window, WM_NOTIFY, 0, LPARAM(&header))) << c.what;
        EXPECT_EQ(c.order, events) << c.what;
    }
}

TEST_F(DialogTest, StaticColourComesFromTheAttachedObject)
{
    ProbeDialog dialog(ProbeTemplate());
    HWND window = dialog.DoModeless();
    ASSERT_TRUE(window);
    ControlObject label("label");
    ASSERT_TRUE(label.Attach(dialog.Item(IDC_PROBE_LABEL)));
    label.reflectedResult = LRESULT(GetStockObject(GRAY_BRUSH));
    HDC dc = GetDC(window);
    EXPECT_EQ(label.reflectedResult, SendMessageA(window, WM_CTLCOLORSTATIC, WPARAM(dc), LPARAM(label.hWnd)));
    EXPECT_EQ(0, Wfx::StaticDialogProc(window, WM_CTLCOLORSTATIC, WPARAM(dc), LPARAM(dialog.Item(IDC_PROBE_LIST))));
    ReleaseDC(window, dc);
    // The label asks for its colours itself when it paints.
    events.clear();
    RedrawWindow(label.hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_NE(events.end(), std::find(events.begin(), events.end(), "label reflected 312"));
}

TEST_F(DialogTest, ModelessKeyboardIsHandledThroughTheMessageLoop)
{
    ProbeDialog dialog(ProbeTemplate());
    dialog.quitWhenCancelled = true;
    HWND window = dialog.DoModeless();
    ASSERT_TRUE(window);
    EXPECT_TRUE(dialog.boundAtFirstMessage);
    EXPECT_EQ(nullptr, Pending());
    ControlObject ok("ok");
    ASSERT_TRUE(ok.Attach(dialog.Item(IDOK)));

    // Only 0x100 to 0x108 go to the dialog manager, which dispatches what it does not navigate with.
    for (UINT message : {0x00FFu, 0x0109u, 0x0200u, 0x0201u, 0x0100u, 0x0108u}) {
        MSG msg = {ok.hWnd, message, 'A', 0, 0, {0, 0}};
        bool passed = message >= 0x0100 && message <= 0x0108;
        EXPECT_EQ(passed, dialog.PreTranslateMessage(&msg) != FALSE) << std::hex << message;
        EXPECT_EQ(passed, ok.Routed(message)) << std::hex << message;
    }

    SetFocus(ok.hWnd);
    HWND nextTabStop = GetNextDlgTabItem(window, ok.hWnd, FALSE);
    ok.routed.clear();
    events.clear();
    PostMessageA(ok.hWnd, WM_KEYDOWN, VK_TAB, 0);
    PostMessageA(ok.hWnd, WM_KEYDOWN, VK_ESCAPE, 0);
    SafetyTimer safety(SafetyTimer::Ends::MessageLoop);
    EXPECT_EQ(0, app.PumpMessages());
    EXPECT_EQ(1, std::count(events.begin(), events.end(), "OnCancel"));
    EXPECT_EQ(nextTabStop, dialog.focusAtCancel) << "Tab did not move the focus";
    EXPECT_FALSE(ok.Routed(WM_KEYDOWN)) << "a key the dialog took was dispatched as well";
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, dialog.hWnd);
    EXPECT_EQ(nullptr, Wfx::FromHandle(window));
}

TEST_F(DialogTest, EndingAndDestroyingReleaseTheWindowAndItsMapEntry)
{
    // A modeless dialog ends at once, whatever the result.
    ProbeDialog dialog(ProbeTemplate());
    HWND window = dialog.DoModeless();
    ASSERT_TRUE(window);
    dialog.EndDialog(7);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, Wfx::FromHandle(window));
    EXPECT_EQ(nullptr, dialog.hWnd);

    // The same object runs again, modal this time, and leaves no map entry behind.
    dialog.onInit = [](ProbeDialog& d) {
        PostMessageA(d.hWnd, WM_COMMAND, IDOK, 0);
        return TRUE;
    };
    SafetyTimer safety;
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_TRUE(dialog.boundAtFirstMessage);
    EXPECT_EQ(nullptr, Wfx::FromHandle(dialog.window));

    // Destroying a modeless dialog whose window lives destroys the window.
    {
        ProbeDialog scoped(ProbeTemplate());
        window = scoped.DoModeless();
        ASSERT_TRUE(window);
    }
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, Wfx::FromHandle(window));
}

TEST_F(DialogTest, ExceptionsFromHandlersEndTheRunAndLeaveIt)
{
    struct Case {
        const char* what;
        bool fromCommand;
        std::function<void()> raise;
        const char* caught;
    } cases[] = {
        {"bad_alloc from OnInitDialog", false, [] { throw std::bad_alloc(); }, "bad_alloc"},
        {"bad_alloc from a command handler", true, [] { throw std::bad_alloc(); }, "bad_alloc"},
        {"another exception from OnInitDialog", false, [] { throw 42; }, "int"},
    };
    ProbeDialog dialog(ProbeTemplate());
    for (const Case& c : cases) {
        dialog.onInit = [&](ProbeDialog& d) {
            if (!c.fromCommand)
                c.raise();
            PostMessageA(d.hWnd, WM_COMMAND, IDC_PROBE_OTHER, 0);
            return TRUE;
        };
        dialog.onCommand = [&](WPARAM, LPARAM) -> BOOL {
            c.raise();
            return TRUE;
        };
        SafetyTimer safety;
        std::string caught = "nothing";
        try {
            dialog.DoModal();
        } catch (const std::bad_alloc&) {
            caught = "bad_alloc";
        } catch (int) {
            caught = "int";
        }
        EXPECT_EQ(c.caught, caught) << c.what;
        EXPECT_EQ(nullptr, dialog.hWnd) << c.what;
        EXPECT_EQ(nullptr, Pending()) << c.what;
        EXPECT_FALSE(IsWindow(dialog.window)) << c.what;
        EXPECT_EQ(nullptr, Wfx::FromHandle(dialog.window)) << c.what;
    }
    // A modeless dialog whose initialisation failed is not left running.
    dialog.onInit = [](ProbeDialog&) -> BOOL { throw std::bad_alloc(); };
    EXPECT_THROW(dialog.DoModeless(), std::bad_alloc);
    EXPECT_FALSE(IsWindow(dialog.window));
    EXPECT_EQ(nullptr, dialog.hWnd);

    // A framework failure is shown and the dialog keeps running.
    dialog.onInit = [](ProbeDialog& d) -> BOOL {
        PostMessageA(d.hWnd, WM_COMMAND, IDOK, 0);
        throw Wfx::CWinException("Probe failure");
    };
    SafetyTimer safety;
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_TRUE(boxes.TookOneFailure("Probe failure"));
}

class StartupApp : public Wfx::CWinApp {
public:
    BOOL OnStartup() override { return startup(); }
    std::function<BOOL()> startup;
};

TEST(DialogUnderExecute, BadAllocFromAHandlerIsReportedOnceByExecute)
{
    MessageBoxRecorder boxes{{Wfx::StaticDialogProc}};
    StartupApp app;
    ProbeDialog dialog(ProbeTemplate());
    dialog.onInit = [](ProbeDialog&) -> BOOL { throw std::bad_alloc(); };
    app.startup = [&] {
        dialog.DoModal();
        PostQuitMessage(0);
        return TRUE;
    };
    SafetyTimer safety;
    EXPECT_THROW(app.Execute(), std::bad_alloc);
    EXPECT_TRUE(boxes.TookOneBox("Bad Alloc Exception", "Memory allocation failure"));
}

TEST_F(DialogTest, UnroutableMessagesAreReportedAndAnsweredWithZero)
{
    HWND stranger = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(stranger) << "CreateWindowExA(STATIC)";
    EXPECT_EQ(nullptr, Pending());
    EXPECT_EQ(0, Wfx::StaticDialogProc(stranger, WM_NULL, 0, 0));
    EXPECT_TRUE(boxes.TookOneFailure("StaticDialogProc .. Failed to route message"));

    // A window object that is not a dialog, pending on this thread, is not taken.
    ControlObject notADialog("plain");
    app.AcquireThreadRecord()->pendingWindow = &notADialog;
    EXPECT_EQ(0, Wfx::StaticDialogProc(stranger, WM_NULL, 0, 0));
    EXPECT_TRUE(boxes.TookOneFailure("StaticDialogProc .. Failed to route message"));
    EXPECT_EQ(&notADialog, Pending());
    app.AcquireThreadRecord()->pendingWindow = nullptr;

    // A thread that never created a window has no record.
    std::thread([stranger] {
        MessageBoxRecorder threadBoxes;
        EXPECT_EQ(0, Wfx::StaticDialogProc(stranger, WM_NULL, 0, 0));
        EXPECT_TRUE(threadBoxes.TookOneFailure("StaticDialogProc .. Failed to read the thread's record"));
    }).join();
    DestroyWindow(stranger);
}

TEST(DialogWithoutApplication, RunsAreRefused)
{
    MessageBoxRecorder boxes{{Wfx::StaticDialogProc}};
    ProbeDialog dialog(ProbeTemplate());
    const char* text = "Wfx has not been initialised properly.\n Start Wfx by inheriting from CWinApp.";
    EXPECT_EQ(-1, dialog.DoModal());
    EXPECT_TRUE(boxes.TookOneFailure(text));
    EXPECT_EQ(nullptr, dialog.DoModeless());
    EXPECT_TRUE(boxes.TookOneFailure(text));
}

}  // namespace
