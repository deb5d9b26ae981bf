// The window object: creation, class registration, attachment and destruction, against real windows.
#include <windows.h>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework_core_test_windows.h"
#include "held_exception.h"
#include "message_box_recorder.h"
#include "win_app.h"
#include "wnd.h"

namespace {

std::string ClassNameOf(HWND window)
{
    char name[512] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::vector<std::string> CreationHooks(const TestWnd& object)
{
    std::vector<std::string> hooks;
    for (const std::string& entry : *object.log)
        if (entry.find("Create") != std::string::npos)
            hooks.push_back(entry);
    return hooks;
}

HICON CreateTestIcon()
{
    BYTE andMask[32 * 4];
    BYTE xorMask[32 * 4];
    FillMemory(andMask, sizeof andMask, 0xFF);
    ZeroMemory(xorMask, sizeof xorMask);
    HICON icon = CreateIcon(GetModuleHandleA(nullptr), 32, 32, 1, 1, andMask, xorMask);
    EXPECT_NE(nullptr, icon) << "CreateIcon";
    return icon;
}

bool IconAlive(HICON icon)
{
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return false;
    DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    return true;
}

LRESULT CALLBACK ForeignProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateWith(Wfx::CWnd& object, LPCSTR className, HWND parent = nullptr)
{
    const DWORD style = parent ? WS_CHILD : WS_OVERLAPPEDWINDOW;
    return object.CreateEx(0, className, "core test", style, 0, 0, 80, 40, parent, nullptr, nullptr);
}

}  // namespace

using WindowObject = BoxWatchingTest;

TEST_F(WindowObject, CreateExWithAFrameworkClassBindsOnItsFirstMessage)
{
    Wfx::CWinApp app;
    for (LPCSTR className : {static_cast<LPCSTR>(nullptr), "", "Wfx Window"}) {
        SCOPED_TRACE(className ? std::string("class \"") + className + "\"" : std::string("null class"));
        TestWnd object;
        HWND window = CreateWith(object, className);
        ASSERT_NE(nullptr, window);
        EXPECT_EQ(window, object.hWnd);
        EXPECT_EQ("Wfx Window", ClassNameOf(window));
        EXPECT_EQ(&object, app.FindInMap(window));
        EXPECT_EQ(nullptr, object.prevWindowProc);
        EXPECT_EQ(1, object.Count(WM_NCCREATE));
        EXPECT_EQ(1, object.Count(WM_CREATE));
        EXPECT_EQ(0, object.Count(WM_NULL));
        EXPECT_EQ((std::vector<std::string>{"w.OnCreate", "w.OnAfterCreate"}), CreationHooks(object));
        EXPECT_EQ(nullptr, app.AcquireThreadRecord()->pendingWindow);
    }
}

TEST_F(WindowObject, CreateExWithASystemClassSubclassesAndBindsThroughOneNullMessage)
{
    Wfx::CWinApp app;
    TestWnd parent("parent");
    ASSERT_NE(nullptr, CreateHidden(parent));
    TestWnd button("button");
    HWND window = button.CreateEx(0, "BUTTON", "Press", WS_CHILD | BS_PUSHBUTTON, 0, 0, 50, 20, parent.hWnd,
                                  reinterpret_cast<HMENU>(101), nullptr);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(&button, app.FindInMap(window));
    EXPECT_NE(nullptr, button.prevWindowProc);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(Wfx::StaticWindowProc), GetWindowLongPtrA(window, GWLP_WNDPROC));
    EXPECT_EQ(1, button.Count(WM_NULL));
    EXPECT_EQ(0, button.Count(WM_CREATE));
    EXPECT_EQ((std::vector<std::string>{"button.OnCreate", "button.OnAfterCreate"}), CreationHooks(button));
    EXPECT_EQ(nullptr, app.AcquireThreadRecord()->pendingWindow);

    // The control's own procedure still answers what the object leaves alone.
    char text[32] = {};
    EXPECT_EQ(5, GetWindowTextA(window, text, sizeof text));
    EXPECT_STREQ("Press", text);
    EXPECT_GE(button.Count(WM_GETTEXT), 1);
}

TEST_F(WindowObject, CreateExRegistersNewClassesWithTheFrameworkDefaults)
{
    Wfx::CWinApp app;
    const HINSTANCE module = GetModuleHandleA(nullptr);
    const std::string longName = "CoreTestLong" + std::string(288, 'x');
    const std::string cut = longName.substr(0, 254);
    for (const std::string& name : {std::string("CoreTestNewClass"), longName}) {
        SCOPED_TRACE(name.size());
        TestWnd object;
        HWND window = CreateWith(object, name.c_str());
        ASSERT_NE(nullptr, window);
        const std::string used = name.size() > 254 ? cut : name;
        EXPECT_EQ(used, ClassNameOf(window));
        WNDCLASSA registered = {};
        ASSERT_TRUE(GetClassInfoA(module, used.c_str(), &registered));
        EXPECT_EQ(Wfx::StaticWindowProc, registered.lpfnWndProc);
        EXPECT_EQ(0u, registered.style);
        EXPECT_EQ(GetStockObject(WHITE_BRUSH), registered.hbrBackground);
        EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), registered.hCursor);
        EXPECT_EQ(nullptr, registered.hIcon);
        // A class of the framework's own procedure: OnCreate comes from WM_CREATE, once.
        EXPECT_EQ(1, object.CountLog("OnCreate"));
        EXPECT_EQ(0, object.Count(WM_NULL));
    }
}

TEST_F(WindowObject, CreateExRefusesALiveWindowAndReplacesADeadOne)
{
    Wfx::CWinApp app;
    TestWnd object;
    HWND first = CreateHidden(object);
    ASSERT_NE(nullptr, first);

    EXPECT_EQ(first, CreateWith(object, nullptr));
    EXPECT_TRUE(recorder.TookOneFailure("CWnd::CreateEx ... Window already exists"));
    EXPECT_TRUE(IsWindow(first));
    EXPECT_EQ(&object, app.FindInMap(first));

    ASSERT_TRUE(DestroyWindow(first));
    HWND second = CreateWith(object, nullptr);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(&object, app.FindInMap(second));
    if (second != first) {
        EXPECT_EQ(nullptr, app.FindInMap(first)) << "the dead window's entry stayed";
    }
}

TEST_F(WindowObject, CreateExReportsFailuresAndClearsTheHandOver)
{
    {
        TestWnd object;
        EXPECT_EQ(nullptr, CreateWith(object, nullptr));
        EXPECT_TRUE(recorder.TookOneFailure(kNotInitialised));
    }

    Wfx::CWinApp app;
    TestWnd object;
    object.handler = [](UINT message, WPARAM, LPARAM, LRESULT& result) {
        result = -1;
        return message == WM_CREATE;
    };
    EXPECT_EQ(nullptr, CreateWith(object, nullptr));
    EXPECT_TRUE(recorder.TookOneFailure("CWnd::CreateEx ... Failed to Create Window"));
    EXPECT_EQ(nullptr, object.hWnd);
    EXPECT_EQ(nullptr, app.AcquireThreadRecord()->pendingWindow);
    EXPECT_EQ(0, object.CountLog("OnAfterCreate"));
    // The window was bound by its first message before its creation failed; no entry may outlive it.
    EXPECT_FALSE(object.RemoveFromMap());
}

TEST_F(WindowObject, CreateExRethrowsWhatAHandlerThrewDuringCreation)
{
    Wfx::CWinApp app;
    TestWnd parent;
    ASSERT_NE(nullptr, CreateHidden(parent));
    const struct {
        const char* name;
        LPCSTR className;
        UINT failingMessage;
        bool created;
    } cases[] = {
        {"framework class, WM_NCCREATE", nullptr, WM_NCCREATE, false},
        {"framework class, WM_CREATE", nullptr, WM_CREATE, true},
        {"system class, the binding WM_NULL", "STATIC", WM_NULL, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestWnd object;
        object.handler = [&c](UINT message, WPARAM, LPARAM, LRESULT&) {
            if (message == c.failingMessage)
                throw std::bad_alloc();
            return false;
        };
        EXPECT_THROW(CreateWith(object, c.className, parent.hWnd), std::bad_alloc);
        EXPECT_EQ(nullptr, app.AcquireThreadRecord()->pendingWindow);
        EXPECT_EQ(c.created, IsWindow(object.hWnd) != FALSE);
        EXPECT_EQ(0, object.CountLog("OnAfterCreate"));
        EXPECT_NO_THROW(Wfx::RethrowHeldException());
        if (!c.created) {
            EXPECT_FALSE(object.RemoveFromMap());
        }
    }
}

TEST_F(WindowObject, CreateFillsInTheDefaultsOfItsOwnParameters)
{
    Wfx::CWinApp app;
    TestWnd overlapped;
    HWND window = overlapped.Create();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ("Wfx Window", ClassNameOf(window));
    const DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    EXPECT_EQ(0x10CF0000u, style & 0x10CF0000u) << Hex(style);
    EXPECT_EQ(0u, style & WS_CHILD) << Hex(style);
    EXPECT_EQ(0, overlapped.createStruct.style) << "the chosen style is not written back";
    // The system's default size, as a window made with CW_USEDEFAULT directly gets it.
    HWND reference = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                     CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    RECT rect = {};
    RECT expected = {};
    ASSERT_TRUE(GetWindowRect(window, &rect));
    ASSERT_TRUE(GetWindowRect(reference, &expected));
    DestroyWindow(reference);
    EXPECT_EQ(expected.right - expected.left, rect.right - rect.left);
    EXPECT_EQ(expected.bottom - expected.top, rect.bottom - rect.top);

    // A child: its own position kept, a width of 0 stays 0.
    TestWnd child;
    child.createStruct.x = 5;
    child.createStruct.y = 7;
    child.createStruct.cy = 100;
    HWND childWindow = child.Create(window);
    ASSERT_NE(nullptr, childWindow);
    EXPECT_EQ(0x50000000u, static_cast<DWORD>(GetWindowLongA(childWindow, GWL_STYLE)) & 0xFFFF0000u);
    EXPECT_EQ(window, GetParent(childWindow));
    ASSERT_TRUE(GetWindowRect(childWindow, &rect));
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(5, rect.left);
    EXPECT_EQ(7, rect.top);
    EXPECT_EQ(0, rect.right - rect.left);
    EXPECT_EQ(100, rect.bottom - rect.top);

    // The parent taken from the parameters when none is given; the object's own class registered first.
    TestWnd own;
    own.createStruct.hwndParent = window;
    own.createStruct.cx = 10;
    own.createStruct.cy = 10;
    own.windowClass.lpszClassName = "CoreTestOwnClass";
    own.windowClass.style = CS_HREDRAW;
    own.windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    HWND ownWindow = own.Create();
    ASSERT_NE(nullptr, ownWindow);
    EXPECT_EQ(window, GetParent(ownWindow));
    EXPECT_EQ("CoreTestOwnClass", ClassNameOf(ownWindow));
    WNDCLASSA registered = {};
    ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "CoreTestOwnClass", &registered));
    EXPECT_EQ(static_cast<UINT>(CS_HREDRAW), registered.style);
    EXPECT_EQ(GetStockObject(BLACK_BRUSH), registered.hbrBackground);
    EXPECT_EQ(Wfx::StaticWindowProc, registered.lpfnWndProc);
    EXPECT_EQ(1, own.CountLog("OnCreate"));
}

TEST_F(WindowObject, RegisterClassDescribesAnExistingClassAndRefusesBadNames)
{
    Wfx::CWinApp app;
    const HINSTANCE module = GetModuleHandleA(nullptr);
    WNDCLASSA raw = {};
    raw.style = CS_HREDRAW | CS_VREDRAW;
    raw.lpfnWndProc = ForeignProc;
    raw.cbWndExtra = 8;
    raw.hInstance = module;
    raw.hCursor = LoadCursorA(nullptr, IDC_CROSS);
    raw.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    raw.lpszClassName = "CoreTestExisting";
    ASSERT_NE(0, RegisterClassA(&raw));

    TestWnd object;
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = Wfx::StaticWindowProc;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "CoreTestExisting";
    EXPECT_TRUE(object.RegisterClass(wc));
    WNDCLASSA expected = {};
    ASSERT_TRUE(GetClassInfoA(module, "CoreTestExisting", &expected));
    EXPECT_EQ(static_cast<UINT>(CS_HREDRAW | CS_VREDRAW), wc.style);
    EXPECT_EQ(ForeignProc, wc.lpfnWndProc);
    EXPECT_EQ(expected.cbClsExtra, wc.cbClsExtra);
    EXPECT_EQ(8, wc.cbWndExtra);
    EXPECT_EQ(expected.hInstance, wc.hInstance);
    EXPECT_EQ(expected.hIcon, wc.hIcon);
    EXPECT_EQ(raw.hCursor, wc.hCursor);
    EXPECT_EQ(raw.hbrBackground, wc.hbrBackground);
    EXPECT_EQ(expected.lpszMenuName, wc.lpszMenuName);
    EXPECT_STREQ("CoreTestExisting", wc.lpszClassName);

    // A new class gets the framework's procedure and module, whatever the caller put there.
    WNDCLASSA fresh = {};
    fresh.lpfnWndProc = ForeignProc;
    fresh.lpszClassName = "CoreTestFresh";
    EXPECT_TRUE(object.RegisterClass(fresh));
    WNDCLASSA registered = {};
    ASSERT_TRUE(GetClassInfoA(module, "CoreTestFresh", &registered));
    EXPECT_EQ(Wfx::StaticWindowProc, registered.lpfnWndProc);

    // Empty, and one character over the limit.
    const std::string tooLong(256, 'n');
    for (LPCSTR name : {"", tooLong.c_str()}) {
        WNDCLASSA bad = {};
        bad.lpszClassName = name;
        EXPECT_FALSE(object.RegisterClass(bad)) << lstrlenA(name);
        EXPECT_TRUE(recorder.TookOneFailure("CWnd::RegisterClass   Invalid class name")) << lstrlenA(name);
    }
}

TEST_F(WindowObject, AttachRoutesAnExistingControlThroughItsObject)
{
    Wfx::CWinApp app;
    TestWnd parent;
    ASSERT_NE(nullptr, CreateHidden(parent));
    HWND edit = CreateRawControl("EDIT", parent.hWnd, 200);
    const LONG_PTR ownProc = GetWindowLongPtrA(edit, GWLP_WNDPROC);

    TestWnd control;
    EXPECT_TRUE(control.Attach(edit));
    EXPECT_EQ(edit, control.hWnd);
    EXPECT_EQ(ownProc, reinterpret_cast<LONG_PTR>(control.prevWindowProc));
    EXPECT_EQ(&control, app.FindInMap(edit));
    EXPECT_TRUE(ThrowsFailure(recorder, "Subclass failed.  Already Subclassed", [&] { control.Subclass(); }));
    EXPECT_EQ(ownProc, reinterpret_cast<LONG_PTR>(control.prevWindowProc));

    SetWindowTextA(edit, "typed");
    char text[32] = {};
    GetWindowTextA(edit, text, sizeof text);
    EXPECT_STREQ("typed", text);
    EXPECT_EQ(1, control.Count(WM_SETTEXT));

    // The object owns the control now and destroys it.
    control.Destroy();
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_EQ(1, control.Count(WM_DESTROY));
    EXPECT_EQ(nullptr, control.prevWindowProc);
    EXPECT_FALSE(control.RemoveFromMap());
}

TEST_F(WindowObject, AttachReportsItsFailuresAndLeavesTheObjectUnbound)
{
    {
        // Without an application object the control is left as it is.
        HWND lone = CreateRawControl("STATIC", nullptr, 0, WS_POPUP);
        const LONG_PTR ownProc = GetWindowLongPtrA(lone, GWLP_WNDPROC);
        TestWnd object;
        EXPECT_THROW(object.Attach(lone), Wfx::CWinException);
        EXPECT_TRUE(recorder.TookOneFailure(kNotInitialised));
        EXPECT_EQ(nullptr, object.hWnd);
        EXPECT_EQ(ownProc, GetWindowLongPtrA(lone, GWLP_WNDPROC));
        DestroyWindow(lone);
    }

    Wfx::CWinApp app;
    TestWnd parent;
    ASSERT_NE(nullptr, CreateHidden(parent));
    TestWnd object;

    EXPECT_THROW(object.Attach(reinterpret_cast<HWND>(0x1234)), Wfx::CWinException);
    EXPECT_TRUE(recorder.TookOneFailure("Attach failed, not a valid hwnd"));
    EXPECT_EQ(nullptr, object.hWnd);

    EXPECT_THROW(object.Attach(parent.hWnd), Wfx::CWinException);
    EXPECT_TRUE(recorder.TookOneFailure("Window already attached to this CWnd object"));
    EXPECT_EQ(nullptr, object.hWnd);
    EXPECT_EQ(&parent, app.FindInMap(parent.hWnd));

    // A window that already sends its messages to the framework, without an entry in the map.
    HWND routed = CreateRawControl("STATIC", parent.hWnd, 300, WS_CHILD);
    const LONG_PTR ownProc = SetWindowLongPtrA(routed, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Wfx::StaticWindowProc));
    EXPECT_THROW(object.Attach(routed), Wfx::CWinException);
    EXPECT_TRUE(recorder.TookOneFailure("Subclass failed.  Already sending messages to StaticWindowProc"));
    EXPECT_EQ(nullptr, object.hWnd);
    EXPECT_EQ(nullptr, object.prevWindowProc);
    EXPECT_EQ(nullptr, app.FindInMap(routed));
    SetWindowLongPtrA(routed, GWLP_WNDPROC, ownProc);
    DestroyWindow(routed);

    // A window whose procedure the system will not let this process replace.
    HWND desktop = GetDesktopWindow();
    DWORD owner = 0;
    GetWindowThreadProcessId(desktop, &owner);
    if (owner == GetCurrentProcessId())
        GTEST_SKIP() << "the desktop window belongs to this process here; nothing refuses subclassing";
    EXPECT_THROW(object.Attach(desktop), Wfx::CWinException);
    EXPECT_TRUE(recorder.TookOneFailure("CWnd::Attach .. Subclass failed"));
    EXPECT_EQ(nullptr, object.hWnd);
    EXPECT_EQ(nullptr, app.FindInMap(desktop));
}

TEST_F(WindowObject, DestroyAfterTheWindowDiedReleasesEverythingWithoutDestroyingAgain)
{
    Wfx::CWinApp app;
    TestWnd object;
    HWND window = CreateHidden(object);
    ASSERT_NE(nullptr, window);
    HICON large = CreateTestIcon();
    HICON small = CreateTestIcon();
    object.largeIcon = large;
    object.smallIcon = small;

    ASSERT_TRUE(DestroyWindow(window));
    // Routing never removes an entry; the object's Destroy does.
    EXPECT_EQ(&object, app.FindInMap(window));
    object.seen.clear();
    object.Destroy();
    EXPECT_TRUE(object.seen.empty()) << "a message reached the object";
    EXPECT_EQ(nullptr, app.FindInMap(window));
    EXPECT_EQ(nullptr, object.hWnd);
    EXPECT_EQ(nullptr, object.largeIcon);
    EXPECT_EQ(nullptr, object.smallIcon);
    EXPECT_FALSE(IconAlive(large));
    EXPECT_FALSE(IconAlive(small));

    // Any number of times, also on an unbound object.
    object.Destroy();
    EXPECT_EQ(nullptr, object.hWnd);
}

TEST_F(WindowObject, SetIconsSendTheirOwnKindAndReleaseTheEarlierIcon)
{
    Wfx::CWinApp app;
    TestWnd object;
    ASSERT_NE(nullptr, CreateHidden(object));
    std::vector<WPARAM> kinds;
    object.handler = [&kinds](UINT message, WPARAM wParam, LPARAM, LRESULT&) {
        if (message == WM_SETICON)
            kinds.push_back(wParam);
        return false;
    };
    HICON earlier = CreateTestIcon();
    object.largeIcon = earlier;

    // The test program holds no icon resources, so both loads give null.
    EXPECT_EQ(nullptr, object.SetIconLarge(4711));
    EXPECT_EQ(nullptr, object.largeIcon);
    EXPECT_FALSE(IconAlive(earlier));
    EXPECT_EQ(nullptr, object.SetIconSmall(4712));
    EXPECT_EQ((std::vector<WPARAM>{ICON_BIG, ICON_SMALL}), kinds);
}
