// The main dialog: fills both driver lists at start and turns its buttons into driver-store commands.
#include "my_dialog.h"

#include "driver_lists.h"
#include "resources/resource.h"

const char kHelpText[] =
    "\n"
    "This small utility can hide or unhide ASIO device drivers that are not needed\n"
    "from all ASIO aware audio applications.\n"
    "\n"
    "USAGE:\n"
    "\n"
    "Removing devices: Select one or more entries from the \"Active Devices\" List\n"
    "then hit the \">>\" button.\n"
    "Reenabling Devices: Select one or more entries from the \"Disabled Devices\" List\n"
    "then hit the \"<<\" button. \n"
    "\n"
    "REMARKS:\n"
    "\n"
    "The ASIO Quimble reads and writes to the windows registry. You might want to\n"
    "back up the registry before using this program.\n"
    "The ASIO Quimble should not be used while an ASIO aware application is running.\n"
#ifdef _WIN64
    // Each edition sees its own registry view, so the user must know which one is in front of them.
    "This is the 64 bit edition: it hides drivers from 64 bit ASIO applications. Use the 32 bit edition for 32 bit "
    "applications.\n"
#else
    "This is a 32 bit program. I have no idea how it will behave in a 64bit environment.\n"
#endif
    "ASIO is a trademark and software of Steinberg Media Technologies GmbH.\n"
    "\n"
    "Comments and suggestions are welcome at feedback@quimble.example\n";

CMyDialog::CMyDialog(UINT templateId, HWND parent) : CDialog(templateId, parent) {}

CMyDialog::~CMyDialog() = default;

BOOL CMyDialog::OnInitDialog()
{
    SetWindowIcons();

    RegistryKey active;
    if (OpenActiveLocationAtStart(active) != ERROR_SUCCESS) {
        MessageBoxA(nullptr, "No Asio drivers found or no right to access the registry. ASIO Quimble will exit now.",
                    "ASIO Quimble", MB_OK);
        EndDialog(IDCANCEL);
        return TRUE;
    }
    FillDriverList(active.Get(), hWnd, kActiveLocation);
    active.Close();

    // The hidden location comes into being with the first move, so its absence means first use.
    RegistryKey hidden;
    if (OpenLocationForListing(kHiddenLocation, hidden) != ERROR_SUCCESS)
        ShowHelp();
    else
        FillDriverList(hidden.Get(), hWnd, kHiddenLocation);
    hidden.Close();

    hyperlink.AttachToDialogItem(IDC_HYPERLINK, this);
    // TRUE lets the system focus the first tab stop, the "&<<" button.
    return TRUE;
}

INT_PTR CMyDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Moved to a display of another scale: the icons again at the new sizes. The dialog manager's default handling
    // rescales the rest, and the link's font follows the font it sends the control.
    if (message == WM_DPICHANGED)
        SetWindowIcons();
    return DialogProcDefault(dialog, message, wParam, lParam);
}

BOOL CMyDialog::OnCommand(WPARAM wParam, LPARAM)
{
    switch (LOWORD(wParam)) {
    case IDHELP:
        ShowHelp();
        return TRUE;
    case IDC_HIDE:
        HideSelected(hWnd);
        return TRUE;
    case IDC_RESTORE:
        RestoreSelected(hWnd);
        return TRUE;
    }
    return FALSE;
}

// Each replaces the icon it loaded before, which the window has let go of by then.
void CMyDialog::SetWindowIcons()
{
    SetIconLarge(IDI_APP);
    SetIconSmall(IDI_APP);
}

void CMyDialog::ShowHelp()
{
    MessageBoxA(GetForegroundWindow(), kHelpText, "ASIO Quimble Help", MB_OK);
}
