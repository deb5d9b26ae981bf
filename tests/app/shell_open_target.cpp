// A test program for the desktop's shell to start: it signals the event that the test waits for.
#include "shell_open_target.h"

#include <windows.h>

int main()
{
    HANDLE started = OpenEventA(EVENT_MODIFY_STATE, FALSE, kShellOpenTargetEvent);
    if (!started)
        return 1;
    SetEvent(started);
    CloseHandle(started);
    return 0;
}
