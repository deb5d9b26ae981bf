// Two sorted, extended-selection list boxes in a plain window; tests drive them with LB_* messages.
#include "list_host.h"

#include "app_driver.h"

#include <gtest/gtest.h>

namespace {

constexpr char kHostClass[] = "QuimbleListHost";
constexpr DWORD kListStyle =
    WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL;

void RegisterHostClass()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kHostClass;
    RegisterClassA(&wc);  // fails harmlessly when an earlier host registered it
}

void CreateList(HWND parent, int id, int x)
{
    HWND list = CreateWindowExA(WS_EX_STATICEDGE, "LISTBOX", "", kListStyle, x, 10, 180, 200, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(nullptr, list) << "CreateWindowExA(LISTBOX " << id << ")";
}

::testing::AssertionResult ShowsItsChanges(HWND list)
{
    if (!IsWindowVisible(list))
        return ::testing::AssertionFailure() << "list " << GetDlgCtrlID(list) << " is not visible";
    // Painted first, so that only the probe's change can leave anything to repaint.
    UpdateWindow(list);
    ValidateRect(list, nullptr);
    const LRESULT top = SendMessageA(list, LB_GETTOPINDEX, 0, 0);
    const LRESULT probe = SendMessageA(list, LB_INSERTSTRING, top, reinterpret_cast<LPARAM>("probe"));
    if (probe == LB_ERR || probe == LB_ERRSPACE)
        return ::testing::AssertionFailure() << "LB_INSERTSTRING at the top index " << top << " of list "
                                             << GetDlgCtrlID(list) << " returned " << probe;
    const bool repaintAsked = GetUpdateRect(list, nullptr, FALSE) != FALSE;
    SendMessageA(list, LB_DELETESTRING, probe, 0);
    if (!repaintAsked)
        return ::testing::AssertionFailure()
               << "list " << GetDlgCtrlID(list) << ": an item added at the top of its view asked for no repaint";
    return ::testing::AssertionSuccess();
}

}  // namespace

ListHost::ListHost()
{
    RegisterHostClass();
    window_ = CreateWindowExA(0, kHostClass, "List host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 420, 260, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(nullptr, window_) << "CreateWindowExA(" << kHostClass << ")";
    CreateList(window_, kActiveList, 10);
    CreateList(window_, kHiddenList, 220);
    SetForegroundWindow(window_);
}

ListHost::~ListHost()
{
    DestroyWindow(window_);
}

void ListHost::Add(int listId, const std::string& name) const
{
    SendMessageA(List(listId), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

void ListHost::Select(int listId, int index) const
{
    SendMessageA(List(listId), LB_SETSEL, TRUE, index);
}

void ListHost::PaintNow() const
{
    RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

bool ListHost::AwaitsRepaint(int listId) const
{
    return GetUpdateRect(List(listId), nullptr, FALSE) != FALSE;
}

::testing::AssertionResult ListHost::ListsShowTheirChanges() const
{
    for (const int listId : {kActiveList, kHiddenList}) {
        ::testing::AssertionResult shows = ShowsItsChanges(List(listId));
        if (!shows)
            return shows;
    }
    return ::testing::AssertionSuccess();
}

void ListHost::Clear() const
{
    for (int listId : {kActiveList, kHiddenList})
        SendMessageA(List(listId), LB_RESETCONTENT, 0, 0);
}
