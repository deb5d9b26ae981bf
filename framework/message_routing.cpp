// Message routing: the one window procedure, the default handling of each message and reflection to controls, with
// the binding of a window being created and the reflection of notifications that the dialog procedure shares.
#include "wnd.h"

#include <exception>

#include "held_exception.h"
#include "win_app.h"
#include "win_exception.h"

namespace Wfx {

namespace {

// Ends the paint cycle that BeginPaint opened, also when OnPaint throws.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window), paint_(), dc_(BeginPaint(window, &paint_)) {}
    ~PaintScope() { EndPaint(window_, &paint_); }

    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HDC Dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_;
    HDC dc_;
};

class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() { ReleaseDC(window_, dc_); }

    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC Dc() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// The control that a message of the reflected set names, or null.
HWND ReflectedControl(HWND parent, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_COMPAREITEM:
        return GetDlgItem(parent, static_cast<int>(wParam));
    case WM_PARENTNOTIFY:
        if (LOWORD(wParam) == WM_CREATE || LOWORD(wParam) == WM_DESTROY)
            return reinterpret_cast<HWND>(lParam);
        return nullptr;
    default:
        return IsReflectedMessage(message) ? reinterpret_cast<HWND>(lParam) : nullptr;
    }
}

// Every window object has a window procedure.
bool AnyObject(CWnd&)
{
    return true;
}

// A subclassed window hands unhandled messages to the procedure it replaced, any other to DefWindowProc.
LRESULT DefaultProcessing(CWnd& object, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (object.prevWindowProc)
        return CallWindowProcA(object.prevWindowProc, window, message, wParam, lParam);
    return object.DefWindowProc(window, message, wParam, lParam);
}

LRESULT RouteNotify(CWnd& object, HWND window, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = object.PreNotify(wParam, lParam);
    if (result != 0)
        return result;

    // A subclassed window hands a notification that reflection would reach on to the procedure it replaced.
    const bool subclassed = object.prevWindowProc != nullptr;
    const bool reflected = ReflectNotify(object.hWnd, lParam, [&](CWnd* target) {
        if (subclassed)
            return true;
        result = target ? target->OnReflectedNotify(wParam, lParam) : 0;
        return result != 0;
    });
    if (reflected)
        return subclassed ? DefaultProcessing(object, window, WM_NOTIFY, wParam, lParam) : result;

    result = object.OnNotify(wParam, lParam);
    if (result != 0)
        return result;
    return DefaultProcessing(object, window, WM_NOTIFY, wParam, lParam);
}

LRESULT RouteCommand(CWnd& object, HWND window, WPARAM wParam, LPARAM lParam)
{
    CWnd* control = FromHandle(reinterpret_cast<HWND>(lParam));
    if (control && control->OnReflectedMessage(WM_COMMAND, wParam, lParam) != 0)
        return 1;
    if (object.OnCommand(wParam, lParam))
        return 1;
    if (object.OnUnhandledCommand(wParam, lParam))
        return 1;
    return DefaultProcessing(object, window, WM_COMMAND, wParam, lParam);
}

LRESULT RoutePaint(CWnd& object, HWND window)
{
    if (object.prevWindowProc)
        return DefaultProcessing(object, window, WM_PAINT, 0, 0);

    if (GetUpdateRect(window, nullptr, FALSE)) {
        PaintScope paint(window);
        object.OnPaint(paint.Dc());
    } else {
        WindowDc dc(window);
        object.OnPaint(dc.Dc());
    }
    return 0;
}

}  // namespace

bool IsReflectedMessage(UINT message)
{
    switch (message) {
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_PARENTNOTIFY:
        return true;
    default:
        return false;
    }
}

LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Nothing may unwind into the system's frames: that ends the process on this toolchain.
    try {
        CWnd* object =
            MessageTarget(window, AnyObject, "CWnd::StaticWindowProc .. Unable to read the thread's ThreadRecord",
                          "CWnd::StaticWindowProc .. Failed to route message");
        return object->WndProc(window, message, wParam, lParam);
    } catch (const CWinException& e) {
        e.ShowMessage();
    } catch (...) {
        HoldException(std::current_exception());
    }
    return 0;
}

CWnd* FromHandle(HWND window)
{
    CWinApp* app = CurrentApp();
    return app ? app->FindInMap(window) : nullptr;
}

CWnd* MessageTarget(HWND window, bool (*serves)(CWnd& object), LPCSTR noRecordText, LPCSTR notRoutedText)
{
    CWinApp* app = CurrentApp();
    if (CWnd* bound = app ? app->FindInMap(window) : nullptr)
        return serves(*bound) ? bound : nullptr;
    // The record is only read here: a thread that never created a window has none.
    auto* record = app ? static_cast<ThreadRecord*>(TlsGetValue(app->GetTlsIndex())) : nullptr;
    if (!record)
        throw CWinException(noRecordText);
    CWnd* pending = record->pendingWindow;
    if (!pending || !serves(*pending))
        throw CWinException(notRoutedText);
    record->pendingWindow = nullptr;
    pending->hWnd = window;
    pending->AddToMap();
    return pending;
}

LRESULT ReflectMessage(HWND parent, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND control = ReflectedControl(parent, message, wParam, lParam);
    CWnd* object = FromHandle(control);
    return object ? object->OnReflectedMessage(message, wParam, lParam) : 0;
}

LRESULT CWnd::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return WndProcDefault(window, message, wParam, lParam);
}

LRESULT CWnd::WndProcDefault(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return DefaultProcessing(*this, window, message, wParam, lParam);
    case WM_PAINT:
        return RoutePaint(*this, window);
    case WM_NOTIFY:
        return RouteNotify(*this, window, wParam, lParam);
    case WM_COMMAND:
        return RouteCommand(*this, window, wParam, lParam);
    default:
        break;
    }

    if (IsReflectedMessage(message) && !prevWindowProc) {
        LRESULT result = ReflectMessage(window, message, wParam, lParam);
        if (result != 0)
            return result;
    }
    return DefaultProcessing(*this, window, message, wParam, lParam);
}

}  // namespace Wfx
