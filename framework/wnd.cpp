// The window object: creation (with class registration), attachment, subclassing, icons and destruction.
#include "wnd.h"

#include "dpi_metrics.h"
#include "held_exception.h"
#include "win_app.h"
#include "win_exception.h"

namespace Wfx {

namespace {

HINSTANCE InstanceHandle()
{
    CWinApp* app = CurrentApp();
    return app ? app->GetInstanceHandle() : nullptr;
}

HINSTANCE ResourceModule()
{
    CWinApp* app = CurrentApp();
    if (!app)
        return nullptr;
    HINSTANCE module = app->GetResourceHandle();
    return module ? module : app->GetInstanceHandle();
}

}  // namespace

CWnd::CWnd()
    : createStruct(),
      hWnd(nullptr),
      windowClass(),
      largeIcon(nullptr),
      smallIcon(nullptr),
      prevWindowProc(nullptr)
{
}

CWnd::~CWnd()
{
    CWnd::Destroy();
}

HWND CWnd::Create(HWND parent)
{
    try {
        PreRegisterClass(windowClass);
        if (windowClass.lpszClassName) {
            // Registered with the object's own parameters before CreateEx could register it with plain ones.
            RegisterClass(windowClass);
            createStruct.lpszClass = windowClass.lpszClassName;
        }
        PreCreate(createStruct);

        LPCSTR className = createStruct.lpszClass ? createStruct.lpszClass : kDefaultClassName;
        if (!parent)
            parent = createStruct.hwndParent;

        DWORD style = static_cast<DWORD>(createStruct.style);
        if (style == 0)
            style = parent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW | WS_VISIBLE;

        int x = CW_USEDEFAULT;
        int y = CW_USEDEFAULT;
        int width = CW_USEDEFAULT;
        int height = CW_USEDEFAULT;
        if (createStruct.cx != 0 || createStruct.cy != 0) {
            x = createStruct.x;
            y = createStruct.y;
            width = createStruct.cx;
            height = createStruct.cy;
        }

        CreateEx(createStruct.dwExStyle, className, createStruct.lpszName, style, x, y, width, height, parent,
                 createStruct.hMenu, createStruct.lpCreateParams);
    } catch (const CWinException& e) {
        e.ShowMessage();
    }
    return hWnd;
}

void CWnd::Destroy()
{
    if (IsWindow(hWnd))
        DestroyWindow(hWnd);
    if (largeIcon)
        DestroyIcon(largeIcon);
    if (smallIcon)
        DestroyIcon(smallIcon);
    if (hWnd)
        RemoveFromMap();

    largeIcon = nullptr;
    smallIcon = nullptr;
    hWnd = nullptr;
    prevWindowProc = nullptr;
}

LRESULT CWnd::DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CWnd::OnReflectedMessage(UINT, WPARAM, LPARAM)
{
    return 0;
}

LRESULT CWnd::OnReflectedNotify(WPARAM, LPARAM)
{
    return 0;
}

void CWnd::PreCreate(CREATESTRUCT& cs)
{
    createStruct = cs;
    createStruct.hInstance = InstanceHandle();
}

void CWnd::PreRegisterClass(WNDCLASS& wc)
{
    windowClass = wc;
    windowClass.lpfnWndProc = StaticWindowProc;
    windowClass.hInstance = InstanceHandle();
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

void CWnd::SendAppMessage11()
{
    SendMessageA(hWnd, WM_APP + 11, 0, 0);
}

void CWnd::SendAppMessage10()
{
    SendMessageA(hWnd, WM_APP + 10, 0, 0);
}

BOOL CWnd::OnCommand(WPARAM, LPARAM)
{
    return FALSE;
}

BOOL CWnd::OnUnhandledCommand(WPARAM, LPARAM)
{
    return FALSE;
}

void CWnd::OnCreate() {}

LRESULT CWnd::OnNotify(WPARAM, LPARAM)
{
    return 0;
}

LRESULT CWnd::PreNotify(WPARAM, LPARAM)
{
    return 0;
}

void CWnd::OnAfterCreate() {}

void CWnd::OnPaint(HDC) {}

HWND CWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                    int height, HWND parent, HMENU menuOrId, LPVOID createParams)
{
    try {
        CWinApp& app = RequireCurrentApp();
        if (IsWindow(hWnd))
            throw CWinException("CWnd::CreateEx ... Window already exists");
        Destroy();

        // A limit of 255 copies at most 254 characters.
        char classBuffer[256] = {};
        if (lstrlenA(className) == 0)
            lstrcpynA(classBuffer, kDefaultClassName, 255);
        else
            lstrcpynA(classBuffer, className, 255);

        WNDCLASSA wc = {};
        wc.lpszClassName = classBuffer;
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        if (!RegisterClass(wc))
            throw CWinException("CWnd::CreateEx  Failed to register window class");

        ThreadRecord* record = app.AcquireThreadRecord();
        {
            PendingWindowScope pending(*record, this);
            hWnd = CreateWindowExA(exStyle, classBuffer, windowName, style, x, y, width, height, parent, menuOrId,
                                   app.GetInstanceHandle(), createParams);
            if (!hWnd) {
                // The first message may have bound this object before the creation failed.
                RemoveFromMap();
            }
            RethrowHeldException();
            if (!hWnd)
                throw CWinException("CWnd::CreateEx ... Failed to Create Window");

            WNDCLASSA used = {};
            GetClassInfoA(app.GetInstanceHandle(), classBuffer, &used);
            if (used.lpfnWndProc != app.GetDefaultWindowProc()) {
                // A class with a procedure of its own: its creation messages never reached this object.
                Subclass();
                SendMessageA(hWnd, WM_NULL, 0, 0);
                RethrowHeldException();
                OnCreate();
            }
        }
        OnAfterCreate();
    } catch (const CWinException& e) {
        e.ShowMessage();
    }
    return hWnd;
}

BOOL CWnd::RegisterClass(WNDCLASS& wc)
{
    try {
        int length = lstrlenA(wc.lpszClassName);
        if (length == 0 || length > 255)
            throw CWinException("CWnd::RegisterClass   Invalid class name");
        HINSTANCE instance = RequireCurrentApp().GetInstanceHandle();

        WNDCLASSA existing = {};
        if (GetClassInfoA(instance, wc.lpszClassName, &existing)) {
            wc = existing;
            return TRUE;
        }

        wc.hInstance = instance;
        wc.lpfnWndProc = StaticWindowProc;
        ATOM atom = ::RegisterClassA(&wc);
        if (atom == 0)
            throw CWinException("Failed to register Window Class");
        return TRUE;
    } catch (const CWinException& e) {
        e.ShowMessage();
        return FALSE;
    }
}

BOOL CWnd::Attach(HWND window)
{
    try {
        // What the object still holds of a window that is gone (a control of an ended dialog run: its handle,
        // the procedure it replaced, its map entry) goes first, or the object could never be attached again.
        if (hWnd && !IsWindow(hWnd))
            Destroy();
        if (!IsWindow(window))
            throw CWinException("Attach failed, not a valid hwnd");
        CWinApp& app = RequireCurrentApp();
        if (app.FindInMap(window))
            throw CWinException("Window already attached to this CWnd object");

        hWnd = window;
        try {
            Subclass();
            if (!prevWindowProc)
                throw CWinException("CWnd::Attach .. Subclass failed");
            AddToMap();
        } catch (...) {
            hWnd = nullptr;
            throw;
        }
        return TRUE;
    } catch (const CWinException& e) {
        e.ShowMessage();
        throw;
    }
}

void CWnd::Subclass()
{
    if (prevWindowProc)
        throw CWinException("Subclass failed.  Already Subclassed");
    WNDPROC defaultWindowProc = RequireCurrentApp().GetDefaultWindowProc();

    LONG_PTR current = GetWindowLongPtrA(hWnd, GWLP_WNDPROC);
    if (reinterpret_cast<WNDPROC>(current) == defaultWindowProc)
        throw CWinException("Subclass failed.  Already sending messages to StaticWindowProc");

    LONG_PTR previous = SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StaticWindowProc));
    prevWindowProc = reinterpret_cast<WNDPROC>(previous);
}

// At the sizes for the window's DPI: the system-wide sizes are those of the scale the session started with, and the
// window may be on a display of another.
HICON CWnd::SetIconLarge(int iconId)
{
    return SetIcon(largeIcon, iconId, ICON_BIG, SystemMetricForWindow(hWnd, SM_CXICON),
                   SystemMetricForWindow(hWnd, SM_CYICON));
}

HICON CWnd::SetIconSmall(int iconId)
{
    return SetIcon(smallIcon, iconId, ICON_SMALL, SystemMetricForWindow(hWnd, SM_CXSMICON),
                   SystemMetricForWindow(hWnd, SM_CYSMICON));
}

HICON CWnd::SetIcon(HICON& held, int iconId, WPARAM kind, int width, int height)
{
    HICON previous = held;
    held = static_cast<HICON>(
        LoadImageA(ResourceModule(), MAKEINTRESOURCEA(iconId), IMAGE_ICON, width, height, LR_DEFAULTCOLOR));
    SendMessageA(hWnd, WM_SETICON, kind, reinterpret_cast<LPARAM>(held));
    // The window has let go of the earlier icon now, and this object owns it.
    if (previous && previous != held)
        DestroyIcon(previous);
    return held;
}

}  // namespace Wfx
