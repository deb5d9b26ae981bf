// The start-up baseline: the program's own dialog template, icon and manifest shown by a bare dialog procedure.
// With "list" on its command line it also fills both lists with the raw listing, as the program does.
#include "raw_registry.h"

#include "resources/resource.h"

#include <windows.h>
#include <commctrl.h>
#include <cstring>

namespace {

bool fillLists = false;

void AddToList(const char* name, void* list)
{
    SendMessageA(static_cast<HWND>(list), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
}

INT_PTR CALLBACK BareDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        if (fillLists) {
            RawListDrivers("Software\\ASIO", AddToList, GetDlgItem(dialog, IDC_ACTIVE_LIST));
            RawListDrivers("Software\\ASIO Quimble", AddToList, GetDlgItem(dialog, IDC_HIDDEN_LIST));
        }
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, LOWORD(wParam));
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
