// Program entry: build the application object, run it, and return its result as the exit code.
#include "dialog_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    CDialogApp app;
    return app.Execute();
}
