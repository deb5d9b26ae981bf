// Timing a dialog program from outside, as a user meets it: its start to the idle dialog, and a click's move.
// Serves the program and the bare dialog alike: both show the same template with the same control ids.
#pragma once

#include "app_driver.h"

#include <windows.h>
#include <string>

double NowMs();
// Ends the benchmark with the reason: a measurement that went wrong has no figure to report.
[[noreturn]] void Fail(const std::string& what);

// One started program, driven to its idle main dialog.
struct Running {
    AppProcess app;
    HWND dialog = nullptr;
};

// Starts the program and waits until its main dialog shows the expected number of active drivers, has painted and
// is idle: the state a user could start working in.
void StartToIdle(Running& run, const std::string& exe, const std::string& arguments, int expectedActive);
void EndWithEscape(Running& run, const std::string& exe);
// From the process start to its exit after Esc on the idle dialog; the peak working set is read just before Esc.
double TimeStartUp(const std::string& exe, const std::string& arguments, int drivers, double* peakMiB);

// One direction of a move: the button, and the lists and registry locations it moves between.
struct DialogMove {
    int button;
    int sourceList;
    int destinationList;
    const char* sourcePath;
    const char* destinationPath;
};
extern const DialogMove kHide;
extern const DialogMove kRestore;

struct MoveTimes {
    double finished;  // until both lists' counts show the move done: what the targets are about
    double painted;   // until the dialog has painted them too and is idle again
};

// Selects every item of the source list and waits until the dialog has painted the selection and is idle; then
// times from the posted click until the destination list holds count items and the source list none.
MoveTimes TimeDialogMove(Running& run, const DialogMove& move, int count);
// The same move timed another way, to check the one above: a fixed pause instead of the wait for the idle dialog,
// and a sent click, timed until the program has handled it, instead of a posted one and the lists' counts.
double TimeDialogMoveAnotherWay(Running& run, const DialogMove& move, int count);
