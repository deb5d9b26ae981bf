// Program entry: guard the DLL search, build the application object, run it, and return its result as the exit code.
#include "dialog_app.h"
#include "dll_search_guard.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    GuardDllSearch();
    CDialogApp app;
    return app.Execute();
}
