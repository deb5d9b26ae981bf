// The application object of the program: runs the main dialog once, then lets the program end.
#pragma once

#include "my_dialog.h"
#include "win_app.h"

class CDialogApp : public Wfx::CWinApp {
public:
    CDialogApp();
    ~CDialogApp() override;

    BOOL OnStartup() override;

    CMyDialog myDialog;
};
