// Keeping a driver list from redrawing while many items change, then repainting it once.
#pragma once

#include <windows.h>

// A synchronous redraw per added or deleted item costs many times the registry work behind it. On the way out the
// list repaints once, frame and scroll bar included.
class ListRedrawPaused {
public:
    explicit ListRedrawPaused(HWND list) : list_(list) { SendMessageA(list_, WM_SETREDRAW, FALSE, 0); }
    ~ListRedrawPaused()
    {
        SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(list_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }

    ListRedrawPaused(const ListRedrawPaused&) = delete;
    ListRedrawPaused& operator=(const ListRedrawPaused&) = delete;

private:
    HWND list_;
};
