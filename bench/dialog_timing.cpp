// Starting the dialog programs and timing their moves from another process, through window messages only.
#include "dialog_timing.h"

#include "driver_entries.h"

#include <psapi.h>
#include <cstdio>
#include <cstdlib>

namespace {

// A hide of 1,000 drivers took over 9 s before the lists stopped redrawing per item; this leaves room for slower hosts.
constexpr DWORD kMoveWaitMs = 120000;
// Long enough for the program to have painted the selection and gone idle by any measure, without asking it.
constexpr DWORD kCheckPauseMs = 200;

double PeakWorkingSetMiB(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters))
        Fail("GetProcessMemoryInfo failed, error " + std::to_string(GetLastError()));
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

// The list's count once the program answers, however long it is busy: the remote control's sends give up at once on
// a program that has handled no message for 5 s, and the 1 ms polls that would follow take the host's time from the
// very move they time. -1 when there is no answer.
int CountWhenAnswered(HWND dialog, int listId)
{
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutA(GetDlgItem(dialog, listId), LB_GETCOUNT, 0, 0, SMTO_NORMAL, kMoveWaitMs, &count))
        return -1;
    return static_cast<int>(count);
}

void SelectAllAndWaitUntilIdle(Running& run, int listId)
{
    if (!SelectAll(run.dialog, listId))
        Fail("cannot select the list's items");
    // The selection's repaint is not the move's.
    if (!WaitUntilPaintedAndIdle(run.dialog))
        Fail("the dialog did not paint the selection");
}

}  // namespace

const DialogMove kHide{kHideButton, kActiveList, kHiddenList, kActiveLocationPath, kHiddenLocationPath};
const DialogMove kRestore{kRestoreButton, kHiddenList, kActiveList, kHiddenLocationPath, kActiveLocationPath};

double NowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Fail(const std::string& what)
{
    std::fprintf(stderr, "bench_driver: %s\n", what.c_str());
    std::exit(1);
}

void StartToIdle(Running& run, const std::string& exe, const std::string& arguments, int expectedActive)
{
    std::string error = run.app.Start(exe, arguments);
    if (!error.empty())
        Fail(error);
    WaitForInputIdle(run.app.Handle(), kWaitMs);
    WaitUntil(
        [&] {
            for (HWND dialog : VisibleDialogs(run.app.Id()))
                if (IsMainDialog(dialog))
                    run.dialog = dialog;
            return run.dialog != nullptr || !run.app.Running();
        },
        kWaitMs, 1);
    if (!run.dialog)
        Fail(exe + ": no main dialog came up");
    if (!WaitUntil([&] { return ListCount(run.dialog, kActiveList) == expectedActive; }, kWaitMs, 1))
        Fail(exe + ": the active list did not fill");
    if (!WaitUntilPaintedAndIdle(run.dialog))
        Fail(exe + ": the dialog did not paint");
}

void EndWithEscape(Running& run, const std::string& exe)
{
    DWORD exitCode = 0;
    if (!PressEscape(run.dialog) || !run.app.WaitForExit(kWaitMs, &exitCode))
        Fail(exe + ": did not end on Esc");
}

double TimeStartUp(const std::string& exe, const std::string& arguments, int drivers, double* peakMiB)
{
    Running run;
    const double start = NowMs();
    StartToIdle(run, exe, arguments, drivers);
    *peakMiB = PeakWorkingSetMiB(run.app.Handle());
    EndWithEscape(run, exe);
    return NowMs() - start;
}

MoveTimes TimeDialogMove(Running& run, const DialogMove& move, int count)
{
    SelectAllAndWaitUntilIdle(run, move.sourceList);
    const double start = NowMs();
    ClickButton(run.dialog, move.button);
    // While the program works, each of these sends waits for it; the first that sees the end comes right after it.
    // One sent before the program has taken the click is answered at once, and the next one waits.
    if (!WaitUntil(
            [&] {
                return CountWhenAnswered(run.dialog, move.destinationList) == count &&
                       CountWhenAnswered(run.dialog, move.sourceList) == 0;
            },
            kMoveWaitMs, 1))
        Fail("the lists did not show the move finished");
    const double finished = NowMs() - start;
    if (!WaitUntilPaintedAndIdle(run.dialog))
        Fail("the dialog did not paint the lists after the move");
    return {finished, NowMs() - start};
}

double TimeDialogMoveAnotherWay(Running& run, const DialogMove& move, int count)
{
    if (!SelectAll(run.dialog, move.sourceList))
        Fail("cannot select the list's items");
    Sleep(kCheckPauseMs);
    const double start = NowMs();
    if (!SendClick(run.dialog, move.button, kMoveWaitMs))
        Fail("the program did not finish the sent click");
    const double finished = NowMs() - start;
    if (ListCount(run.dialog, move.destinationList) != count || ListCount(run.dialog, move.sourceList) != 0)
        Fail("the sent click did not move every selected driver");
    if (!WaitUntilPaintedAndIdle(run.dialog))
        Fail("the dialog did not paint the lists after the move");
    return finished;
}
