// A static control of a dialog turned into a web link: underlined, blue then purple, hand cursor, opens on a click.
#pragma once

#include "wnd.h"

class CHyperlink : public Wfx::CWnd {
public:
    CHyperlink();
    ~CHyperlink() override;

    LRESULT OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    virtual BOOL AttachToDialogItem(UINT controlId, Wfx::CWnd* parent);
    virtual void OpenLink();

    void OnLeftButtonDown();
    void OnLeftButtonUp(LPARAM lParam);

    BOOL visited;
    BOOL pressed;
    COLORREF visitedColor;
    COLORREF unvisitedColor;
    HCURSOR linkCursor;
    HFONT underlinedFont;

private:
    // Makes `underlinedFont` the given font of the control with underlining, releasing the one it replaces.
    void UnderlineFont(HFONT controlFont);
};

// The maker's page that the label of the main dialog opens.
extern const char kMakerAddress[];
