// The application object of the program.
#include "dialog_app.h"

#include "resources/resource.h"

CDialogApp::CDialogApp() : myDialog(IDD_MAIN, nullptr) {}

CDialogApp::~CDialogApp() = default;

BOOL CDialogApp::OnStartup()
{
    myDialog.DoModal();
    // The dialog ran in the system's own modal loop; the quit message only ends the application's loop after it.
    PostQuitMessage(0);
    return TRUE;
}
