// The web link of the main dialog: colours and font through the dialog's reflected colour message, clicks through
// the subclassed control's own messages.
#include "hyperlink.h"

#include "unelevated_open.h"

const char kMakerAddress[] = "http://quimble.example/?asioquimble";

CHyperlink::CHyperlink()
    : visited(FALSE),
      pressed(FALSE),
      visitedColor(RGB(128, 0, 128)),
      unvisitedColor(RGB(0, 0, 255)),
      linkCursor(LoadCursorA(nullptr, IDC_HAND)),
      underlinedFont(nullptr)
{
    if (!linkCursor)
        linkCursor = LoadCursorA(nullptr, IDC_ARROW);
}

CHyperlink::~CHyperlink()
{
    if (underlinedFont)
        DeleteObject(underlinedFont);
}

BOOL CHyperlink::AttachToDialogItem(UINT controlId, Wfx::CWnd* parent)
{
    const BOOL attached = Attach(GetDlgItem(parent->hWnd, controlId));
    UnderlineFont(reinterpret_cast<HFONT>(SendMessageA(hWnd, WM_GETFONT, 0, 0)));
    return attached;
}

void CHyperlink::UnderlineFont(HFONT controlFont)
{
    // The control's font belongs to the dialog; without one the control draws in the system font.
    if (!controlFont)
        controlFont = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    LOGFONTA description = {};
    GetObjectA(controlFont, sizeof description, &description);
    description.lfUnderline = TRUE;
    if (underlinedFont)
        DeleteObject(underlinedFont);
    underlinedFont = CreateFontIndirectA(&description);
}

LRESULT CHyperlink::OnReflectedMessage(UINT message, WPARAM wParam, LPARAM)
{
    if (message != WM_CTLCOLORSTATIC)
        return 0;
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, visited ? visitedColor : unvisitedColor);
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, underlinedFont);
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT CHyperlink::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETCURSOR:
        SetCursor(linkCursor);
        return TRUE;
    case WM_NCHITTEST:
        // The static has no notify style; claiming the client area is what lets it see the mouse at all.
        return HTCLIENT;
    case WM_LBUTTONDOWN:
        OnLeftButtonDown();
        break;
    case WM_LBUTTONUP:
        OnLeftButtonUp(lParam);
        break;
    case WM_SETFONT:
        // A new font for the control, as the dialog manager sends when the dialog moves to a display of another
        // scale: underlined before the control repaints with it.
        UnderlineFont(reinterpret_cast<HFONT>(wParam));
        break;
    }
    return WndProcDefault(window, message, wParam, lParam);
}

void CHyperlink::OnLeftButtonDown()
{
    SetCapture(hWnd);
    pressed = TRUE;
}

void CHyperlink::OnLeftButtonUp(LPARAM lParam)
{
    ReleaseCapture();
    if (!pressed)
        return;
    pressed = FALSE;

    // Signed: while the mouse is captured, a release left of or above the control has negative coordinates.
    POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ClientToScreen(hWnd, &point);
    RECT bounds;
    GetWindowRect(hWnd, &bounds);
    if (PtInRect(&bounds, point))
        OpenLink();
}

void CHyperlink::OpenLink()
{
    // The program runs as administrator; a browser it started itself would too.
    if (OpenUnelevated(kMakerAddress, GetParent(hWnd))) {
        visited = TRUE;
        InvalidateRect(hWnd, nullptr, FALSE);
    }
}
