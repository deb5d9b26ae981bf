// Measures the real program beside its baselines, interleaved in one run, and prints a table of medians and ratios.
// Runs only in the benchmark's own Wine prefix: it rewrites both driver locations of HKEY_LOCAL_MACHINE.
#include "app_driver.h"
#include "console_bench.h"
#include "driver_entries.h"
#include "raw_registry.h"
#include "registry_key.h"

#include <windows.h>
#include <psapi.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// A hide of 1,000 drivers took over 9 s before the lists stopped redrawing per item; this leaves room for slower hosts.
constexpr DWORD kMoveWaitMs = 120000;

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

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "bench_driver: %s\n", what.c_str());
    std::exit(1);
}

std::string DriverName(int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "Bench Driver %05d", index);
    return name;
}

std::vector<std::string> DriverNames(int count)
{
    std::vector<std::string> names;
    for (int index = 1; index <= count; ++index)
        names.push_back(DriverName(index));
    return names;
}

void SetString(HKEY key, const char* name, const std::string& text)
{
    if (RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1)) != ERROR_SUCCESS)
        Fail(std::string("RegSetValueExA(\"") + name + "\") failed");
}

void ClearLocations()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kActiveLocationPath);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kHiddenLocationPath);
}

// Invented drivers with made-up class ids in the active location, and an empty hidden location, so that the
// program starts without its first-use help.
void Seed(int count)
{
    ClearLocations();
    RegistryKey active;
    RegistryKey hidden;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kActiveLocationPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        active.Receive(), nullptr) != ERROR_SUCCESS ||
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kHiddenLocationPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        hidden.Receive(), nullptr) != ERROR_SUCCESS)
        Fail("cannot create the driver locations");
    for (int index = 1; index <= count; ++index) {
        const std::string name = DriverName(index);
        RegistryKey entry;
        if (RegCreateKeyExA(active.Get(), name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, entry.Receive(),
                            nullptr) != ERROR_SUCCESS)
            Fail("cannot create " + name);
        char clsid[64];
        std::snprintf(clsid, sizeof clsid, "{0BE7C000-0000-4000-8000-%012d}", index);
        SetString(entry.Get(), "CLSID", clsid);
        SetString(entry.Get(), "Description", name);
    }
}

double Median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const size_t middle = samples.size() / 2;
    return samples.size() % 2 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

struct Row {
    std::string label;
    std::string unit;
    double target = 0;  // the ratio the row should stay under; 0 for none
    std::vector<double> project;
    std::vector<double> baseline;
};

// One started program, driven to its idle main dialog.
struct Running {
    AppProcess app;
    HWND dialog = nullptr;
};

// Starts the program and waits until its main dialog is shown with the expected number of active drivers and
// has painted: the state a user could start working in.
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
    // Sent to the program's thread, so it returns once every pending paint of the dialog has been done.
    RedrawWindow(run.dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void EndWithEscape(Running& run, const std::string& exe)
{
    DWORD exitCode = 0;
    if (!PressEscape(run.dialog) || !run.app.WaitForExit(kWaitMs, &exitCode))
        Fail(exe + ": did not end on Esc");
}

double PeakWorkingSetMiB(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters))
        Fail("GetProcessMemoryInfo failed, error " + std::to_string(GetLastError()));
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

// From the process start to its exit after Esc on the idle dialog; the peak working set is read just before Esc.
double TimeStartUp(const std::string& exe, const std::string& arguments, int drivers, double* peakMiB)
{
    Running run;
    const double start = NowMs();
    StartToIdle(run, exe, arguments, drivers);
    *peakMiB = PeakWorkingSetMiB(run.app.Handle());
    EndWithEscape(run, exe);
    return NowMs() - start;
}

struct MoveTimes {
    double finished;  // until both lists' counts show the move done: what the targets are about
    double painted;   // until the dialog has painted them too
};

// From the posted click to the moment both lists show the move finished, and to the dialog's next paint.
MoveTimes TimeDialogMove(Running& run, int button, int sourceList, int destinationList, int count)
{
    if (!SelectAll(run.dialog, sourceList))
        Fail("cannot select the list's items");
    // The selection's own repaint is not the move's.
    RedrawWindow(run.dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    const double start = NowMs();
    ClickButton(run.dialog, button);
    // While the program works, each of these sends waits for it; the first that sees the end comes right after it.
    if (!WaitUntil(
            [&] { return ListCount(run.dialog, destinationList) == count && ListCount(run.dialog, sourceList) == 0; },
            kMoveWaitMs, 1))
        Fail("the lists did not show the move finished");
    const double finished = NowMs() - start;
    RedrawWindow(run.dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    return {finished, NowMs() - start};
}

double TimeStoreListing(int expected)
{
    const double start = NowMs();
    RegistryKey location;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kActiveLocationPath, 0, KEY_ALL_ACCESS, location.Receive()) != ERROR_SUCCESS)
        Fail("cannot open the active location");
    const size_t listed = ListDriverEntries(location.Get()).size();
    location.Close();
    const double elapsed = NowMs() - start;
    if (listed != static_cast<size_t>(expected))
        Fail("the store listed " + std::to_string(listed) + " of " + std::to_string(expected));
    return elapsed;
}

double TimeRawListing(int expected)
{
    const double start = NowMs();
    const int listed = RawListDrivers(kActiveLocationPath, nullptr, nullptr);
    const double elapsed = NowMs() - start;
    if (listed != expected)
        Fail("the raw listing found " + std::to_string(listed) + " of " + std::to_string(expected));
    return elapsed;
}

double TimeRawMove(const char* sourcePath, const char* destinationPath, const std::vector<std::string>& names)
{
    const double start = NowMs();
    const int moved = RawMoveAll(sourcePath, destinationPath, names);
    const double elapsed = NowMs() - start;
    if (moved != static_cast<int>(names.size()))
        Fail("the raw move loop moved " + std::to_string(moved) + " of " + std::to_string(names.size()));
    return elapsed;
}

// A line while the run goes on, so a slow host does not look stuck.
void Progress(const std::string& what)
{
    std::printf("  %s...\n", what.c_str());
    std::fflush(stdout);
}

// Runs project and baseline alternately, the one going first changing every repetition, so that a slow phase of
// the host falls on both alike.
void Interleave(int repetitions, const std::function<void()>& project, const std::function<void()>& baseline)
{
    for (int rep = 0; rep < repetitions; ++rep) {
        if (rep % 2 == 0) {
            project();
            baseline();
        } else {
            baseline();
            project();
        }
    }
}

struct Bench {
    std::string appExe;
    std::string bareExe;
    std::string consoleExe;
    std::string rawConsoleExe;
    int repetitions = 5;
    std::vector<Row> rows;

    // The new row's index: rows added later move the earlier ones in memory.
    size_t Add(const std::string& label, const std::string& unit, double target)
    {
        rows.push_back(Row{label, unit, target, {}, {}});
        return rows.size() - 1;
    }

    void StartUp(int drivers, double target, bool withPeak)
    {
        Progress("start-up with " + std::to_string(drivers) + " drivers");
        Seed(drivers);
        const std::string vs = drivers ? " (vs bare dialog + raw listing)" : " (vs bare dialog)";
        const size_t timeRow = Add("start-up and back out, " + std::to_string(drivers) + " drivers" + vs, "ms", target);
        const size_t peakRow =
            withPeak ? Add("peak working set, " + std::to_string(drivers) + " drivers" + vs, "MiB", 0) : 0;
        const auto measure = [&](const std::string& exe, const std::string& arguments, std::vector<double> Row::*side) {
            double peak = 0;
            (rows[timeRow].*side).push_back(TimeStartUp(exe, arguments, drivers, &peak));
            if (withPeak)
                (rows[peakRow].*side).push_back(peak);
        };
        Interleave(
            repetitions, [&] { measure(appExe, "", &Row::project); },
            [&] { measure(bareExe, drivers ? "list" : "", &Row::baseline); });
    }

    void Listing(int drivers, double target)
    {
        Progress("listing " + std::to_string(drivers) + " drivers");
        Seed(drivers);
        const size_t row =
            Add("listing " + std::to_string(drivers) + " entries (store vs raw enumeration)", "ms", target);
        Interleave(
            repetitions, [&] { rows[row].project.push_back(TimeStoreListing(drivers)); },
            [&] { rows[row].baseline.push_back(TimeRawListing(drivers)); });
    }

    void Moves(int drivers, double target)
    {
        Progress("hide and restore of " + std::to_string(drivers) + " drivers");
        Seed(drivers);
        const std::vector<std::string> names = DriverNames(drivers);
        const size_t first = rows.size();
        const std::string count = std::to_string(drivers);
        for (const char* step : {"hide ", "restore "})
            Add(step + count + " selected in the dialog (vs raw move loop)", "ms", target);
        for (const char* step : {"hide ", "restore "})
            Add(step + count + " selected, until the lists have painted (vs raw loop)", "ms", 0);
        Interleave(
            repetitions,
            [&] {
                Running run;
                StartToIdle(run, appExe, "", drivers);
                const MoveTimes hide = TimeDialogMove(run, kHideButton, kActiveList, kHiddenList, drivers);
                const MoveTimes restore = TimeDialogMove(run, kRestoreButton, kHiddenList, kActiveList, drivers);
                EndWithEscape(run, appExe);
                rows[first].project.push_back(hide.finished);
                rows[first + 1].project.push_back(restore.finished);
                rows[first + 2].project.push_back(hide.painted);
                rows[first + 3].project.push_back(restore.painted);
            },
            [&] {
                const double hide = TimeRawMove(kActiveLocationPath, kHiddenLocationPath, names);
                const double restore = TimeRawMove(kHiddenLocationPath, kActiveLocationPath, names);
                for (size_t row = first; row < first + 4; row += 2) {
                    rows[row].baseline.push_back(hide);
                    rows[row + 1].baseline.push_back(restore);
                }
            });
    }

    // quimble64.exe's list and check of both views against the raw loop of the same calls, each a process of its own.
    void Console(int drivers, double target)
    {
        Progress("the console program's list and check of " + std::to_string(drivers) + " drivers in each view");
        const std::string seeded = SeedConsoleViews(drivers);
        if (!seeded.empty())
            Fail(seeded);
        const std::string count = std::to_string(drivers);
        const size_t list =
            Add("quimble64 list --json, " + count + " drivers in each view (vs raw loop)", "ms", target);
        const size_t check = Add("quimble64 check, " + count + " drivers in each view (vs raw loop)", "ms", target);
        const auto time = [&](const std::string& exe, const std::string& arguments) {
            const ConsoleTiming run = TimeConsoleRun(exe, arguments);
            if (!run.failure.empty())
                Fail(run.failure);
            return run.ms;
        };
        // Unmeasured first runs, which also show that both find every server: the first start of each program pays
        // for caches the later ones share.
        const auto loadable = [&](const std::string& exe, const std::string& arguments, const std::string& ok) {
            const ConsoleTiming run = TimeConsoleRun(exe, arguments);
            size_t found = 0;
            for (size_t at = run.output.find(ok); at != std::string::npos; at = run.output.find(ok, at + 1))
                ++found;
            if (!run.failure.empty() || found != 2 * static_cast<size_t>(drivers))
                Fail(exe + " " + arguments + " found " + std::to_string(found) + " servers that load " + run.failure);
        };
        loadable(consoleExe, "list --json", "\"health\": \"ok\"");
        loadable(rawConsoleExe, "list", "\tok\n");
        Interleave(
            repetitions,
            [&] {
                rows[list].project.push_back(time(consoleExe, "list --json"));
                rows[check].project.push_back(time(consoleExe, "check"));
            },
            [&] {
                rows[list].baseline.push_back(time(rawConsoleExe, "list"));
                rows[check].baseline.push_back(time(rawConsoleExe, "check"));
            });
        ClearConsoleViews();
    }

    void Print() const
    {
        const char* edition = sizeof(void*) == 8 ? "64-bit" : "32-bit";
        std::printf("\n%s edition, medians of %d interleaved runs\n", edition, repetitions);
        std::printf("%-76s %11s %11s %6s  %s\n", "row", "project", "baseline", "ratio", "target");
        for (const Row& row : rows) {
            const double project = Median(row.project);
            const double baseline = Median(row.baseline);
            const double ratio = project / baseline;
            std::string target = "-";
            if (row.target > 0) {
                char text[32];
                std::snprintf(text, sizeof text, "<= %.2f %s", row.target, ratio <= row.target ? "met" : "MISSED");
                target = text;
            }
            std::printf("%-76s %7.1f %-3s %7.1f %-3s %6.2f  %s\n", row.label.c_str(), project, row.unit.c_str(),
                        baseline, row.unit.c_str(), ratio, target.c_str());
        }
        std::fflush(stdout);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    // Only the build tree's benchmark prefix may have its driver locations rewritten.
    if (CurrentWinePrefix() != QUIMBLE_BENCH_PREFIX)
        Fail(std::string("refusing to rewrite HKEY_LOCAL_MACHINE outside the prefix ") + QUIMBLE_BENCH_PREFIX);
    Bench bench;
    if (argc == 2)
        bench.repetitions = std::max(1, std::atoi(argv[1]));
    bench.appExe = WindowsPathOf(QUIMBLE_APP_EXE);
    bench.bareExe = WindowsPathOf(QUIMBLE_BARE_DIALOG_EXE);

    // Unmeasured starts of both first: the first program in a fresh prefix pays for caches that later ones share.
    Seed(0);
    double peak = 0;
    TimeStartUp(bench.appExe, "", 0, &peak);
    TimeStartUp(bench.bareExe, "", 0, &peak);

    bench.StartUp(0, 1.10, false);
    bench.StartUp(100, 0, false);
    bench.StartUp(1000, 1.25, true);
    bench.Listing(1000, 1.15);
    bench.Listing(10000, 1.15);
    bench.Moves(100, 1.25);
    bench.Moves(1000, 1.25);
    // Both registry views are the 64-bit console program's alone.
    if (sizeof(void*) == 8) {
        bench.consoleExe = WindowsPathOf(QUIMBLE_CONSOLE_EXE);
        bench.rawConsoleExe = WindowsPathOf(QUIMBLE_RAW_CONSOLE_EXE);
        bench.Console(1000, 1.25);
    }
    ClearLocations();
    bench.Print();
    return 0;
}
