// The framework exception and the application object, against real windows, message queues and message boxes.
#include <windows.h>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "framework_core_test_windows.h"
#include "held_exception.h"
#include "message_box_recorder.h"
#include "win_app.h"
#include "win_exception.h"
#include "wnd.h"

namespace {

std::string SystemDescription(DWORD code)
{
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text,
                   sizeof text, nullptr);
    return text;
}

std::string ShownFor(DWORD lastError, const char* text, MessageBoxRecorder& recorder)
{
    SetLastError(lastError);
    Wfx::CWinException e(text);
    // The code is the one of the moment the exception was made, not of the moment it is shown.
    SetLastError(ERROR_ACCESS_DENIED);
    return ShownText(e, recorder);
}

class TestApp : public Wfx::CWinApp {
public:
    std::function<BOOL()> startup = [] { return TRUE; };
    int pumpCalls = 0;

    BOOL OnStartup() override { return startup(); }
    int PumpMessages() override
    {
        ++pumpCalls;
        return CWinApp::PumpMessages();
    }
};

void DrainQueue()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

struct LookupArgs {
    Wfx::CWinApp* app;
    HWND window;
    Wfx::CWnd* found;
};

DWORD WINAPI LookUpInMap(LPVOID parameter)
{
    auto* args = static_cast<LookupArgs*>(parameter);
    args->found = args->app->FindInMap(args->window);
    return 0;
}

// Looks the window up on another thread, which blocks if this thread still holds the map lock.
::testing::AssertionResult FoundFromAnotherThread(Wfx::CWinApp& app, HWND window, Wfx::CWnd* expected)
{
    LookupArgs args{&app, window, nullptr};
    HANDLE thread = CreateThread(nullptr, 0, LookUpInMap, &args, 0, nullptr);
    if (!thread)
        return ::testing::AssertionFailure() << "CreateThread, error " << GetLastError();
    DWORD wait = WaitForSingleObject(thread, 5000);
    if (wait == WAIT_TIMEOUT)
        TerminateThread(thread, 1);
    CloseHandle(thread);
    if (wait != WAIT_OBJECT_0)
        return ::testing::AssertionFailure() << "the lookup did not finish: the map lock is still held";
    if (args.found != expected)
        return ::testing::AssertionFailure() << "found " << args.found << " instead of " << expected;
    return ::testing::AssertionSuccess();
}

// A walk over the live map would step on through the entry just erased; reusing its memory at once makes that
// fail reliably instead of by chance.
void ScribbleOverFreedEntry()
{
    for (size_t size : {16, 20, 24, 28, 32}) {
        void* block = std::malloc(size);
        std::memset(block, 0xFF, size);
        std::free(block);
    }
}

LRESULT CALLBACK ForeignDefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

using ApplicationObject = BoxWatchingTest;
using FrameworkException = BoxWatchingTest;

TEST_F(FrameworkException, ShowMessageBuildsTheReportFromTextAndCode)
{

    // Code 0: the text alone, no blank lines after it.
    EXPECT_EQ("CWnd::AddToMap  can't add a NULL HWND", ShownFor(0, "CWnd::AddToMap  can't add a NULL HWND", recorder));

    // A code the system has no text for: a blank line, five spaces, an empty description, a blank line.
    EXPECT_EQ("No description\n\n     \n\n", ShownFor(0x20000001, "No description", recorder));

    // A real code: the system's description with its own line break.
    const std::string description = SystemDescription(ERROR_FILE_NOT_FOUND);
    ASSERT_GE(description.size(), 2u) << "FormatMessageA(ERROR_FILE_NOT_FOUND)";
    EXPECT_EQ("\r\n", description.substr(description.size() - 2));
    EXPECT_EQ("Open failed\n\n     " + description + "\n\n", ShownFor(ERROR_FILE_NOT_FOUND, "Open failed", recorder));

    // The text is cut after its 116th character, with and without a code.
    const std::string longText = std::string(100, 'a') + std::string(100, 'b');
    EXPECT_EQ(longText.substr(0, 116), ShownFor(0, longText.c_str(), recorder));
    EXPECT_EQ(longText.substr(0, 116) + "\n\n     \n\n", ShownFor(0x20000001, longText.c_str(), recorder));
}

TEST_F(FrameworkException, ShowMessageUsesTheWarningBoxWithoutOwner)
{
    SetLastError(0);
    Wfx::CWinException("plain").ShowMessage();
    EXPECT_TRUE(recorder.TookOneBox("Error", "plain"));
}

TEST_F(ApplicationObject, ASecondApplicationIsRefusedAndTheFirstCarriesOn)
{
    {
        TestApp first;
        const DWORD firstTls = first.GetTlsIndex();
        EXPECT_THROW(Wfx::CWinApp second, Wfx::CWinException);
        EXPECT_TRUE(recorder.TookOneFailure("Error!  An instance of CWinApp (or a class derived from CWinApp) is already running"));
        EXPECT_EQ(&first, Wfx::CurrentApp());

        // The first object's slot, map and class still work.
        EXPECT_EQ(firstTls, first.GetTlsIndex());
        Wfx::ThreadRecord* record = first.AcquireThreadRecord();
        EXPECT_EQ(record, TlsGetValue(firstTls));
        TestWnd window;
        ASSERT_NE(nullptr, CreateHidden(window));
        EXPECT_EQ(&window, first.FindInMap(window.hWnd));
    }
    EXPECT_EQ(nullptr, Wfx::CurrentApp());

    // Once the first is gone, a new one constructs without a report.
    Wfx::CWinApp next;
    EXPECT_EQ(&next, Wfx::CurrentApp());
}

TEST_F(ApplicationObject, RunningOutOfTlsIndexesIsReportedAndLeavesNoApplication)
{
    std::vector<DWORD> taken;
    for (DWORD index = TlsAlloc(); index != TLS_OUT_OF_INDEXES && taken.size() < 100000; index = TlsAlloc())
        taken.push_back(index);

    bool threw = false;
    try {
        Wfx::CWinApp app;
    } catch (const Wfx::CWinException&) {
        threw = true;
    }
    for (DWORD index : taken)
        TlsFree(index);

    EXPECT_TRUE(threw);
    EXPECT_TRUE(recorder.TookOneFailure("CWinApp::CWinApp  Failed to allocate TLS Index"));
    EXPECT_EQ(nullptr, Wfx::CurrentApp());
    Wfx::CWinApp app;
    EXPECT_EQ(&app, Wfx::CurrentApp());
}

TEST_F(ApplicationObject, DefaultClassTakesAnExistingClassUnchangedOrRegistersItsOwn)
{
    // No window of the class lives between tests, so it can be replaced here.
    const HINSTANCE module = GetModuleHandleA(nullptr);
    UnregisterClassA("Wfx Window", module);
    WNDCLASSA foreign = {};
    foreign.style = CS_DBLCLKS;
    foreign.lpfnWndProc = ForeignDefaultProc;
    foreign.hInstance = module;
    foreign.lpszClassName = "Wfx Window";
    ASSERT_NE(0, RegisterClassA(&foreign)) << "RegisterClassA(foreign Wfx Window)";
    {
        Wfx::CWinApp app;
        EXPECT_EQ(ForeignDefaultProc, app.GetDefaultWindowProc());
        WNDCLASSA now = {};
        ASSERT_TRUE(GetClassInfoA(module, "Wfx Window", &now));
        EXPECT_EQ(static_cast<UINT>(CS_DBLCLKS), now.style);
        EXPECT_EQ(ForeignDefaultProc, now.lpfnWndProc);
    }
    ASSERT_TRUE(UnregisterClassA("Wfx Window", module)) << "UnregisterClassA, error " << GetLastError();

    Wfx::CWinApp app;
    WNDCLASSA own = {};
    ASSERT_TRUE(GetClassInfoA(module, "Wfx Window", &own));
    EXPECT_EQ(Wfx::StaticWindowProc, own.lpfnWndProc);
    EXPECT_EQ(app.GetDefaultWindowProc(), own.lpfnWndProc);
    EXPECT_EQ(0u, own.style);
    EXPECT_EQ(GetStockObject(WHITE_BRUSH), own.hbrBackground);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), own.hCursor);
    EXPECT_EQ(nullptr, own.hIcon);
    EXPECT_EQ(module, app.GetInstanceHandle());
    EXPECT_EQ(module, app.GetResourceHandle());
}

TEST_F(ApplicationObject, PumpMessagesReturnsTheLow16BitsOfTheQuitCode)
{
    Wfx::CWinApp app;
    const struct {
        int code;
        int expected;
    } cases[] = {{0, 0}, {7, 7}, {-1, 65535}, {0x12345, 0x2345}};
    for (const auto& c : cases) {
        PostQuitMessage(c.code);
        EXPECT_EQ(c.expected, app.PumpMessages()) << "quit code " << c.code;
    }
}

TEST_F(ApplicationObject, ExecuteRunsTheLoopOnlyAfterASuccessfulStartup)
{
    {
        TestApp app;
        app.startup = [] {
            PostQuitMessage(3);
            return TRUE;
        };
        EXPECT_EQ(3, app.Execute());
        EXPECT_EQ(1, app.pumpCalls);
    }

    TestApp app;
    app.startup = [] { return FALSE; };
    EXPECT_EQ(-1, app.Execute());
    EXPECT_EQ(0, app.pumpCalls);
    // The quit message it posted stays in the queue.
    MSG message = {};
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), message.message);
    EXPECT_EQ(static_cast<WPARAM>(-1), message.wParam);
}

TEST_F(ApplicationObject, PumpMessagesOffersInputMessagesToEveryObjectOnTheParentChain)
{
    Wfx::CWinApp app;
    std::vector<std::string> log;
    TestWnd top("A", &log);
    TestWnd middle("B", &log);
    TestWnd inner("C", &log);
    HWND a = CreateHidden(top);
    HWND b = CreateHidden(middle, a, WS_CHILD);
    HWND c = CreateHidden(inner, b, WS_CHILD);
    ASSERT_TRUE(a && b && c);
    // The middle object consumes two of them; the top one is offered those all the same.
    middle.preTranslateResult = [](const MSG& m) { return m.message == WM_KEYDOWN || m.message == WM_MOUSEMOVE; };

    const UINT offered[] = {WM_KEYDOWN, WM_CHAR, 0x0108, WM_MOUSEMOVE, WM_MOUSEWHEEL, WM_XBUTTONDBLCLK};
    const UINT notOffered[] = {0x00FF, WM_PAINT, WM_TIMER, 0x0109, 0x01FF, 0x020E, WM_USER};
    for (UINT message : offered)
        ASSERT_TRUE(PostMessageA(c, message, VK_F2, 0)) << Hex(message);
    for (UINT message : notOffered)
        ASSERT_TRUE(PostMessageA(c, message, 0, 0)) << Hex(message);
    // A keyboard message without a window is dispatched without any offer.
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_KEYDOWN, VK_F2, 0));
    log.clear();
    inner.seen.clear();
    PostQuitMessage(0);
    EXPECT_EQ(0, app.PumpMessages());

    std::vector<std::string> expected;
    for (UINT message : offered)
        for (const char* name : {"C", "B", "A"})
            expected.push_back(std::string(name) + ".PreTranslate " + Hex(message));
    std::vector<std::string> offers;
    for (const std::string& entry : log)
        if (entry.find("PreTranslate") != std::string::npos)
            offers.push_back(entry);
    EXPECT_EQ(expected, offers);

    for (UINT message : offered) {
        const bool consumed = message == WM_KEYDOWN || message == WM_MOUSEMOVE;
        EXPECT_EQ(consumed ? 0 : 1, inner.Count(message)) << Hex(message) << " dispatched";
    }
    for (UINT message : notOffered)
        EXPECT_EQ(1, inner.Count(message)) << Hex(message) << " dispatched";
}

TEST_F(ApplicationObject, ExecuteReportsWhatEscapesTheLoopOnceAndThrowsItOn)
{
    TestApp app;
    TestWnd window;
    ASSERT_NE(nullptr, CreateHidden(window));
    window.handler = [](UINT message, WPARAM wParam, LPARAM, LRESULT&) {
        if (message == WM_APP && wParam == 1)
            throw std::bad_alloc();
        if (message == WM_APP && wParam == 2)
            throw 42;
        return false;
    };

    // Out of memory in a handler: held past the system's frames, rethrown after the dispatch, reported. The
    // box's own loop dispatches what is still queued, but only the framework's loop offers input to the object.
    PostMessageA(window.hWnd, WM_APP, 1, 0);
    PostMessageA(window.hWnd, WM_KEYDOWN, VK_F2, 0);
    EXPECT_THROW(app.Execute(), std::bad_alloc);
    EXPECT_TRUE(recorder.TookOneBox("Bad Alloc Exception", "Memory allocation failure"));
    EXPECT_EQ(0, window.CountLog("PreTranslate 0x100")) << "the loop ran on after the failure";
    EXPECT_NO_THROW(Wfx::RethrowHeldException()) << "the exception was left held";
    DrainQueue();

    // Anything else from a handler.
    PostMessageA(window.hWnd, WM_APP, 2, 0);
    EXPECT_THROW(app.Execute(), int);
    EXPECT_TRUE(recorder.TookOneBox("Error", "Unknown Exception"));
    DrainQueue();

    // The framework's own exception from the start-up hook.
    app.startup = []() -> BOOL {
        SetLastError(0);
        throw Wfx::CWinException("Startup failed");
    };
    EXPECT_THROW(app.Execute(), Wfx::CWinException);
    EXPECT_TRUE(recorder.TookOneBox("Error", "Startup failed"));
}

TEST_F(ApplicationObject, DestructionDestroysTheWindowsLeftInTheMap)
{
    // Declared before the application, so they outlive it. Every other one removes its own entry.
    std::vector<TestWnd> objects(6);
    TestWnd gone;
    std::vector<HWND> windows;
    {
        Wfx::CWinApp app;
        for (size_t i = 0; i < objects.size(); ++i) {
            TestWnd& object = objects[i];
            windows.push_back(CreateHidden(object));
            if (i % 2 == 1)
                continue;
            // After its last message: an object that leaves the map earlier cannot be routed to any more.
            object.handler = [&object](UINT message, WPARAM, LPARAM, LRESULT&) {
                if (message == WM_NCDESTROY) {
                    EXPECT_TRUE(object.RemoveFromMap());
                    ScribbleOverFreedEntry();
                }
                return false;
            };
        }
        // A window that died by other means keeps its entry; the destructor passes over it.
        HWND dead = CreateHidden(gone);
        ASSERT_TRUE(DestroyWindow(dead));
        EXPECT_EQ(&gone, app.FindInMap(dead));
        gone.seen.clear();
    }
    EXPECT_EQ(nullptr, Wfx::CurrentApp());
    for (size_t i = 0; i < objects.size(); ++i) {
        EXPECT_FALSE(IsWindow(windows[i])) << i;
        EXPECT_EQ(1, objects[i].Count(WM_DESTROY)) << i;
        EXPECT_EQ(1, objects[i].Count(WM_NCDESTROY)) << i;
    }
    EXPECT_TRUE(gone.seen.empty());
}

// What a window's destruction throws while the application object ends is reported then, not left held for the
// next application object's first call on this thread.
TEST_F(ApplicationObject, ExceptionHeldWhileEndingIsReportedAndDoesNotOutliveTheApplication)
{
    TestWnd throwing;
    {
        Wfx::CWinApp app;
        ASSERT_NE(nullptr, CreateHidden(throwing));
        throwing.handler = [](UINT message, WPARAM, LPARAM, LRESULT&) -> bool {
            if (message == WM_DESTROY)
                throw 42;
            return false;
        };
    }
    EXPECT_TRUE(recorder.TookOneBox("Error", "Unknown Exception"));

    TestApp next;
    next.startup = [] {
        PostQuitMessage(0);
        return TRUE;
    };
    EXPECT_EQ(0, next.Execute());
    EXPECT_TRUE(recorder.Take().empty());
}

TEST_F(ApplicationObject, WindowMapRefusesNullAndDuplicateHandlesAndReleasesItsLock)
{
    Wfx::CWinApp app;
    TestWnd first;
    HWND window = CreateHidden(first);
    ASSERT_NE(nullptr, window);

    TestWnd second;
    EXPECT_TRUE(ThrowsFailure(recorder, "CWnd::AddToMap  can't add a NULL HWND", [&] { second.AddToMap(); }));
    EXPECT_TRUE(FoundFromAnotherThread(app, window, &first));

    second.hWnd = window;
    EXPECT_TRUE(ThrowsFailure(recorder, "CWnd::AddToMap  HWND already in map", [&] { second.AddToMap(); }));
    second.hWnd = nullptr;
    // Also when the entry holds the very same object.
    EXPECT_TRUE(ThrowsFailure(recorder, "CWnd::AddToMap  HWND already in map", [&] { first.AddToMap(); }));

    EXPECT_EQ(&first, app.FindInMap(window));
    EXPECT_TRUE(FoundFromAnotherThread(app, window, &first));
    EXPECT_EQ(nullptr, app.FindInMap(nullptr));
    EXPECT_FALSE(second.RemoveFromMap());
}

TEST_F(ApplicationObject, RemoveFromMapSearchesByObject)
{
    TestWnd object;
    EXPECT_FALSE(object.RemoveFromMap()) << "without an application";
    object.hWnd = reinterpret_cast<HWND>(0x1234);
    EXPECT_TRUE(ThrowsFailure(recorder, kNotInitialised, [&] { object.AddToMap(); }));
    object.hWnd = nullptr;

    Wfx::CWinApp app;
    HWND window = CreateHidden(object);
    ASSERT_NE(nullptr, window);
    // The handle no longer names the entry's window, yet the entry is found through its object.
    object.hWnd = reinterpret_cast<HWND>(0x1234);
    EXPECT_TRUE(object.RemoveFromMap());
    EXPECT_EQ(nullptr, app.FindInMap(window));
    EXPECT_FALSE(object.RemoveFromMap());
    object.hWnd = window;
    object.AddToMap();
}

TEST_F(ApplicationObject, EachThreadHandsOverThroughItsOwnRecord)
{
    Wfx::CWinApp app;
    Wfx::ThreadRecord* mine = app.AcquireThreadRecord();
    ASSERT_NE(nullptr, mine);
    EXPECT_EQ(mine, app.AcquireThreadRecord());
    EXPECT_EQ(mine, TlsGetValue(app.GetTlsIndex()));
    EXPECT_EQ(nullptr, mine->pendingWindow);

    // While this thread is in the middle of a creation, another thread creates and binds its own window.
    TestWnd decoy;
    mine->pendingWindow = &decoy;
    Wfx::ThreadRecord* theirs = nullptr;
    Wfx::ThreadRecord* theirsAgain = nullptr;
    TestWnd theirWindow;
    Wfx::CWnd* bound = nullptr;
    std::thread([&] {
        theirs = app.AcquireThreadRecord();
        theirsAgain = app.AcquireThreadRecord();
        if (CreateHidden(theirWindow))
            bound = app.FindInMap(theirWindow.hWnd);
        theirWindow.Destroy();
    }).join();
    EXPECT_NE(mine, theirs);
    EXPECT_EQ(theirs, theirsAgain);
    EXPECT_EQ(&theirWindow, bound);
    EXPECT_EQ(&decoy, mine->pendingWindow);
    mine->pendingWindow = nullptr;
}
