// The dialog baseline: the program's own dialog template, icon and manifest shown by a bare dialog procedure.
// With "list" on its command line it also fills both lists with the raw listing, and its ">>" and "<<" buttons move
// the selected items between the lists; both the fastest way the list boxes allow.
#include "raw_registry.h"

#include "resources/resource.h"

#include <windows.h>
#include <commctrl.h>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

bool fillLists = false;

// Neither list redraws while it changes; both repaint once afterwards, scroll bars and frames included.
class ListsRedrawOff {
public:
    explicit ListsRedrawOff(std::vector<HWND> lists) : lists_(std::move(lists))
    {
        for (HWND list : lists_)
            SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    }
    ~ListsRedrawOff()
    {
        for (HWND list : lists_) {
            SendMessageA(list, WM_SETREDRAW, TRUE, 0);
            RedrawWindow(list, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
        }
    }

    ListsRedrawOff(const ListsRedrawOff&) = delete;
    ListsRedrawOff& operator=(const ListsRedrawOff&) = delete;

private:
    std::vector<HWND> lists_;
};

void CollectName(const char* name, void* names)
{
    static_cast<std::vector<std::string>*>(names)->push_back(name);
}

// Listed first, so that the list can reserve room for all of them at once.
void FillList(HWND list, const char* path)
{
    std::vector<std::string> names;
    RawListDrivers(path, CollectName, &names);
    size_t bytes = 0;
    for (const std::string& name : names)
        bytes += name.size() + 1;
    ListsRedrawOff redrawOff({list});
    SendMessageA(list, LB_INITSTORAGE, names.size(), bytes);
    for (const std::string& name : names)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

// Downwards, so that deleting an item leaves the indices still to visit valid.
void MoveSelectedItems(HWND from, HWND to)
{
    const LRESULT count = SendMessageA(from, LB_GETSELCOUNT, 0, 0);
    if (count <= 0)
        return;
    std::vector<int> selected(static_cast<size_t>(count));
    SendMessageA(from, LB_GETSELITEMS, selected.size(), reinterpret_cast<LPARAM>(selected.data()));
    ListsRedrawOff redrawOff({from, to});
    for (auto index = selected.rbegin(); index != selected.rend(); ++index) {
        char text[256] = {};
        if (SendMessageA(from, LB_GETTEXTLEN, *index, 0) >= static_cast<LRESULT>(sizeof text))
            continue;
        SendMessageA(from, LB_GETTEXT, *index, reinterpret_cast<LPARAM>(text));
        SendMessageA(to, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        SendMessageA(from, LB_DELETESTRING, *index, 0);
    }
}

INT_PTR CALLBACK BareDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        if (fillLists) {
            FillList(GetDlgItem(dialog, IDC_ACTIVE_LIST), "Software\\ASIO");
            FillList(GetDlgItem(dialog, IDC_HIDDEN_LIST), "Software\\ASIO Quimble");
        }
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            EndDialog(dialog, LOWORD(wParam));
            break;
        case IDC_HIDE:
            MoveSelectedItems(GetDlgItem(dialog, IDC_ACTIVE_LIST), GetDlgItem(dialog, IDC_HIDDEN_LIST));
            break;
        case IDC_RESTORE:
            MoveSelectedItems(GetDlgItem(dialog, IDC_HIDDEN_LIST), GetDlgItem(dialog, IDC_ACTIVE_LIST));
            break;
        }
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    fillLists = std::strstr(commandLine, "list") != nullptr;
    InitCommonControls();
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, BareDialogProc, 0);
    return 0;
}
