// The window object: one object bound to at most one system window, with the framework's message hooks and the
// routing helpers that the window and dialog procedures share.
#pragma once

#include <windows.h>

namespace Wfx {

// windows.h maps RegisterClass and DefWindowProc to their ANSI names; the members below are renamed with them
// consistently wherever this header is seen, so callers keep using the plain names.
class CWnd {
public:
    CWnd();
    virtual ~CWnd();

    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The hooks, in the order derived classes rely on.
    virtual HWND Create(HWND parent = nullptr);
    virtual void Destroy();
    virtual LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnReflectedNotify(WPARAM wParam, LPARAM lParam);
    virtual void PreCreate(CREATESTRUCT& cs);
    virtual void PreRegisterClass(WNDCLASS& wc);
    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual void SendAppMessage11();
    virtual void SendAppMessage10();
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnUnhandledCommand(WPARAM wParam, LPARAM lParam);
    virtual void OnCreate();
    virtual LRESULT OnNotify(WPARAM wParam, LPARAM lParam);
    virtual LRESULT PreNotify(WPARAM wParam, LPARAM lParam);
    virtual void OnAfterCreate();
    virtual void OnPaint(HDC dc);
    virtual LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT WndProcDefault(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width, int height,
                  HWND parent, HMENU menuOrId, LPVOID createParams);
    BOOL RegisterClass(WNDCLASS& wc);
    BOOL Attach(HWND window);
    void Subclass();
    void AddToMap();
    BOOL RemoveFromMap();
    HICON SetIconLarge(int iconId);
    HICON SetIconSmall(int iconId);

    CREATESTRUCT createStruct;
    HWND hWnd;
    WNDCLASS windowClass;
    HICON largeIcon;
    HICON smallIcon;
    WNDPROC prevWindowProc;

private:
    HICON SetIcon(HICON& held, int iconId, WPARAM kind, int width, int height);
};

// The one window procedure of every framework window: finds the object and hands it the message.
LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The object bound to the window, or null.
CWnd* FromHandle(HWND window);
// The object a framework procedure hands a message for `window` to: the one bound to it, else the one being created
// on this thread, which the message binds. `serves` picks the objects the procedure is for: a bound one it does not
// serve gives null; a pending one it does not serve stays pending and fails like a missing one.
CWnd* MessageTarget(HWND window, bool (*serves)(CWnd& object), LPCSTR noRecordText, LPCSTR notRoutedText);
// True for the control messages that a parent hands back to the object of the control they name.
bool IsReflectedMessage(UINT message);
// Offers a control message to the object of the control it names; 0 when no object claims it.
LRESULT ReflectMessage(HWND parent, UINT message, WPARAM wParam, LPARAM lParam);

// Offers a notification sent to `receiver` to the sender's object, when it has one, then, when the sender is an inner
// child of a control (its parent is not the receiver), to that control's object, null when it has none. Stops at the
// first offer that returns true, and says whether one did.
template <class Offer> bool ReflectNotify(HWND receiver, LPARAM lParam, Offer offer)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    HWND sender = header ? header->hwndFrom : nullptr;
    if (CWnd* senderObject = FromHandle(sender)) {
        if (offer(senderObject))
            return true;
    }
    HWND senderParent = sender ? GetParent(sender) : nullptr;
    return senderParent != receiver && offer(FromHandle(senderParent));
}

}  // namespace Wfx
