// Measures the real program beside its baselines, interleaved in one run, and prints a table of medians and ratios.
// Runs only in the benchmark's own Wine prefix: it rewrites both driver locations of HKEY_LOCAL_MACHINE.
#include "console_bench.h"
#include "dialog_timing.h"
#include "driver_lists.h"
#include "driver_trees.h"
#include "faithful_move.h"
#include "move_call_counts.h"
#include "raw_registry.h"
#include "registry_key.h"

#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// How far a row and its check may be apart, as a share of the lower, for its target to be judged.
constexpr double kAgreement = 0.15;
// Enough for the time per call to mean something; the counts per driver are the same for any number.
constexpr int kCountedDrivers = 100;

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
    int check = -1;     // the row timing the same moves another way, whose agreement the target needs; -1 for none
    std::vector<double> project;
    std::vector<double> baseline;
};

double TimeStoreListing(int expected)
{
    const double start = NowMs();
    RegistryKey location;
    if (OpenLocationForListing(kActiveLocation, location) != ERROR_SUCCESS)
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

// A console program's run from its start to its end; a run that fails ends the benchmark.
double TimeConsoleOrFail(const std::string& exe, const std::string& arguments)
{
    const ConsoleTiming run = TimeConsoleRun(exe, arguments);
    if (!run.failure.empty())
        Fail(run.failure);
    return run.ms;
}

// One of the move loops without a dialog: the shell's copy, or the faithful loop.
using MoveLoop =
    std::function<int(const char* sourcePath, const char* destinationPath, const std::vector<std::string>& names)>;

const MoveLoop kShellCopyLoop = RawMoveAll;
const MoveLoop kFaithfulLoop = FaithfulMoveAll;

double TimeLoopMove(const MoveLoop& loop, const DialogMove& move, const std::vector<std::string>& names)
{
    const double start = NowMs();
    const int moved = loop(move.sourcePath, move.destinationPath, names);
    const double elapsed = NowMs() - start;
    if (moved != static_cast<int>(names.size()))
        Fail("a move loop moved " + std::to_string(moved) + " of " + std::to_string(names.size()));
    return elapsed;
}

// A line while the run goes on, so a slow host does not look stuck.
void Progress(const std::string& what)
{
    std::printf("  %s...\n", what.c_str());
    std::fflush(stdout);
}

// Runs each party once per repetition, the one going first moving on by one every repetition, so that a slow
// phase of the host falls on all alike.
void Interleave(int repetitions, const std::vector<std::function<void()>>& parties)
{
    for (int rep = 0; rep < repetitions; ++rep)
        for (size_t turn = 0; turn < parties.size(); ++turn)
            parties[(rep + turn) % parties.size()]();
}

struct Bench {
    std::string appExe;
    std::string bareExe;
    std::string consoleExe;
    std::string rawConsoleExe;
    std::string rawProbeChildExe;
    std::string asioDriverDll;
    int repetitions = 5;
    std::vector<Row> rows;

    // The new row's index: rows added later move the earlier ones in memory.
    size_t Add(const std::string& label, const std::string& unit, double target, int check = -1)
    {
        rows.push_back(Row{label, unit, target, check, {}, {}});
        return rows.size() - 1;
    }

    void StartUp(int drivers, double target, bool withPeak)
    {
        Progress("start-up with " + std::to_string(drivers) + " drivers");
        SeedDriverTrees(drivers);
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
        Interleave(repetitions, {[&] { measure(appExe, "", &Row::project); },
                                 [&] { measure(bareExe, drivers ? "list" : "", &Row::baseline); }});
    }

    void Listing(int drivers, double target)
    {
        Progress("listing " + std::to_string(drivers) + " drivers");
        SeedDriverTrees(drivers);
        const size_t row =
            Add("listing " + std::to_string(drivers) + " entries (store vs raw enumeration)", "ms", target);
        Interleave(repetitions, {[&] { rows[row].project.push_back(TimeStoreListing(drivers)); },
                                 [&] { rows[row].baseline.push_back(TimeRawListing(drivers)); }});
    }

    // The click's own cost, where the registry work is least: the program's move of one driver against a bare
    // dialog's click moving one list item, plus the faithful loop's move of that driver.
    void ClickFixedCost()
    {
        Progress("hide and restore of 1 driver");
        SeedDriverTrees(1);
        const std::vector<std::string> names = DriverNames(1);
        const size_t first = rows.size();
        for (const char* step : {"hide", "restore"})
            Add(std::string(step) + " 1, the click's fixed cost (vs bare dialog's click + faithful move of 1)", "ms",
                0);
        Interleave(repetitions,
                   {[&] {
                        Running run;
                        StartToIdle(run, appExe, "", 1);
                        rows[first].project.push_back(TimeDialogMove(run, kHide, 1).finished);
                        rows[first + 1].project.push_back(TimeDialogMove(run, kRestore, 1).finished);
                        EndWithEscape(run, appExe);
                    },
                    [&] {
                        Running run;
                        StartToIdle(run, bareExe, "list", 1);
                        const double hideClick = TimeDialogMove(run, kHide, 1).finished;
                        const double restoreClick = TimeDialogMove(run, kRestore, 1).finished;
                        EndWithEscape(run, bareExe);
                        rows[first].baseline.push_back(hideClick + TimeLoopMove(kFaithfulLoop, kHide, names));
                        rows[first + 1].baseline.push_back(restoreClick + TimeLoopMove(kFaithfulLoop, kRestore, names));
                    }});
    }

    // Returns the index of the first of its rows: hide, then restore, each until the lists' counts show it done.
    // Four parties take turns in every repetition, each from the same freshly seeded prefix: the program timed for
    // the rows, the program timed for their check, the faithful loop and the shell's copy loop.
    size_t Moves(int drivers, double target)
    {
        Progress("hide and restore of " + std::to_string(drivers) + " drivers");
        const std::vector<std::string> names = DriverNames(drivers);
        const size_t first = rows.size();
        const std::string count = std::to_string(drivers);
        for (const char* step : {"hide ", "restore "})
            Add(step + count + " selected in the dialog (vs faithful loop)", "ms", target,
                static_cast<int>(rows.size()) + 4);
        for (const char* step : {"hide ", "restore "})
            Add(step + count + " selected, until the lists have painted (vs faithful loop)", "ms", 0);
        for (const char* step : {"hide ", "restore "})
            Add(step + count + " timed another way, the check of the rows above (vs faithful loop)", "ms", 0);
        for (const char* step : {"hide ", "restore "})
            Add(step + count + " by the faithful loop, its price (vs SHCopyKeyA loop)", "ms", 0);
        const auto loop = [&](const MoveLoop& moveLoop, std::vector<double> Row::*side, size_t firstRow) {
            SeedDriverTrees(drivers);
            (rows[firstRow].*side).push_back(TimeLoopMove(moveLoop, kHide, names));
            (rows[firstRow + 1].*side).push_back(TimeLoopMove(moveLoop, kRestore, names));
        };
        Interleave(repetitions,
                   {[&] {
                        SeedDriverTrees(drivers);
                        Running run;
                        StartToIdle(run, appExe, "", drivers);
                        const MoveTimes hide = TimeDialogMove(run, kHide, drivers);
                        const MoveTimes restore = TimeDialogMove(run, kRestore, drivers);
                        EndWithEscape(run, appExe);
                        rows[first].project.push_back(hide.finished);
                        rows[first + 1].project.push_back(restore.finished);
                        rows[first + 2].project.push_back(hide.painted);
                        rows[first + 3].project.push_back(restore.painted);
                    },
                    [&] {
                        SeedDriverTrees(drivers);
                        Running run;
                        StartToIdle(run, appExe, "", drivers);
                        rows[first + 4].project.push_back(TimeDialogMoveAnotherWay(run, kHide, drivers));
                        rows[first + 5].project.push_back(TimeDialogMoveAnotherWay(run, kRestore, drivers));
                        EndWithEscape(run, appExe);
                    },
                    [&] { loop(kFaithfulLoop, &Row::project, first + 6); },
                    [&] { loop(kShellCopyLoop, &Row::baseline, first + 6); }});
        // The program's rows all stand against the faithful loop's moves.
        for (size_t row = first; row < first + 6; ++row)
            rows[row].baseline = rows[first + 6 + (row - first) % 2].project;
        return first;
    }

    // What each further driver adds to a move, from the medians of two sizes: the program's against the faithful
    // loop's.
    void PerDriverCost(size_t smallRows, int smallCount, size_t largeRows, int largeCount)
    {
        const auto perDriverUs = [&](const std::vector<double>& small, const std::vector<double>& large) {
            return 1000.0 * (Median(large) - Median(small)) / (largeCount - smallCount);
        };
        const std::string between = std::to_string(smallCount) + " and " + std::to_string(largeCount);
        for (size_t step = 0; step < 2; ++step) {
            const Row& small = rows[smallRows + step];
            const Row& large = rows[largeRows + step];
            Row row{std::string(step == 0 ? "hide" : "restore") + ": cost per driver between " + between +
                        " (program vs faithful loop)",
                    "us",
                    0,
                    -1,
                    {perDriverUs(small.project, large.project)},
                    {perDriverUs(small.baseline, large.baseline)}};
            rows.push_back(row);
        }
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
        Interleave(repetitions, {[&] {
                                     rows[list].project.push_back(TimeConsoleOrFail(consoleExe, "list --json"));
                                     rows[check].project.push_back(TimeConsoleOrFail(consoleExe, "check"));
                                 },
                                 [&] {
                                     rows[list].baseline.push_back(TimeConsoleOrFail(rawConsoleExe, "list"));
                                     rows[check].baseline.push_back(TimeConsoleOrFail(rawConsoleExe, "check"));
                                 }});
        ClearConsoleViews();
    }

    // quimble64 probe of drivers that load against a raw loop starting one minimal child per driver, and against the
    // same drivers loaded in one process: the price of isolation.
    void Probe(int drivers, double target)
    {
        Progress("quimble64 probe of " + std::to_string(drivers) + " drivers that load");
        std::string failure;
        const std::vector<std::string> clsids = SeedProbeDrivers(drivers, asioDriverDll, failure);
        if (clsids.empty())
            Fail(failure);
        std::string all;
        for (const std::string& clsid : clsids)
            all += " " + clsid;
        const std::string count = std::to_string(drivers);
        const size_t loop =
            Add("quimble64 probe, " + count + " drivers that load (vs raw loop, a child per driver)", "ms", target);
        const size_t together =
            Add("quimble64 probe, " + count + " drivers (vs the same loaded in one process)", "ms", 0);
        // Unmeasured first runs, which also show that every driver loads in both.
        TimeConsoleOrFail(consoleExe, "probe --view 64");
        TimeConsoleOrFail(rawProbeChildExe, all);
        Interleave(repetitions, {[&] {
                                     const double probe = TimeConsoleOrFail(consoleExe, "probe --view 64");
                                     rows[loop].project.push_back(probe);
                                     rows[together].project.push_back(probe);
                                 },
                                 [&] {
                                     const double start = NowMs();
                                     for (const std::string& clsid : clsids)
                                         TimeConsoleOrFail(rawProbeChildExe, clsid);
                                     rows[loop].baseline.push_back(NowMs() - start);
                                     rows[together].baseline.push_back(TimeConsoleOrFail(rawProbeChildExe, all));
                                 }});
        ClearConsoleViews();
    }

    // A target is judged only where the row agrees with its check: otherwise the host's noise decides it.
    std::string Verdict(const Row& row, double ratio) const
    {
        if (row.target <= 0)
            return "-";
        char text[64];
        if (row.check >= 0) {
            const double timed = Median(row.project);
            const double checked = Median(rows[row.check].project);
            const double apart = std::max(timed, checked) / std::min(timed, checked) - 1;
            if (apart > kAgreement) {
                std::snprintf(text, sizeof text, "<= %.2f not judged: %.0f %% from its check", row.target, 100 * apart);
                return text;
            }
        }
        std::snprintf(text, sizeof text, "<= %.2f %s", row.target, ratio <= row.target ? "met" : "MISSED");
        return text;
    }

    void Print() const
    {
        const char* edition = sizeof(void*) == 8 ? "64-bit" : "32-bit";
        std::printf(
            "\n%s edition, %d interleaved runs: median and minimum of each side, ratio of the medians and of "
            "the minima (the per-driver costs: from the medians)\n",
            edition, repetitions);
        std::printf("%-76s %11s %11s %11s %11s %6s %6s  %s\n", "row", "project", "min", "baseline", "min", "ratio",
                    "min", "target");
        for (const Row& row : rows) {
            const double project = Median(row.project);
            const double baseline = Median(row.baseline);
            const double projectMin = *std::min_element(row.project.begin(), row.project.end());
            const double baselineMin = *std::min_element(row.baseline.begin(), row.baseline.end());
            const double ratio = project / baseline;
            const char* unit = row.unit.c_str();
            std::printf("%-76s %7.1f %-3s %7.1f %-3s %7.1f %-3s %7.1f %-3s %6.2f %6.2f  %s\n", row.label.c_str(),
                        project, unit, projectMin, unit, baseline, unit, baselineMin, unit, ratio,
                        projectMin / baselineMin, Verdict(row, ratio).c_str());
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
        bench.repetitions = std::max(0, std::atoi(argv[1]));
    bench.appExe = WindowsPathOf(QUIMBLE_APP_EXE);
    bench.bareExe = WindowsPathOf(QUIMBLE_BARE_DIALOG_EXE);

    // Unmeasured starts of both first: the first program in a fresh prefix pays for caches that later ones share,
    // and Wine's own services, started with it, keep its server busy for a while.
    SeedDriverTrees(0);
    double peak = 0;
    TimeStartUp(bench.appExe, "", 0, &peak);
    TimeStartUp(bench.bareExe, "", 0, &peak);

    // Exact whatever the host's load, and quick: counted first, printed beside the time rows.
    const MoveCallCounts calls = CountMoveCalls(kCountedDrivers);
    if (bench.repetitions == 0) {
        ClearLocations();
        PrintMoveCallCounts(calls);
        return 0;
    }

    bench.StartUp(0, 1.10, false);
    bench.StartUp(100, 0, false);
    bench.StartUp(1000, 1.25, true);
    bench.Listing(1000, 1.15);
    bench.Listing(10000, 1.15);
    bench.ClickFixedCost();
    const size_t hundred = bench.Moves(100, 1.25);
    const size_t thousand = bench.Moves(1000, 1.25);
    bench.PerDriverCost(hundred, 100, thousand, 1000);
    // Both registry views are the 64-bit console program's alone.
    if (sizeof(void*) == 8) {
        bench.consoleExe = WindowsPathOf(QUIMBLE_CONSOLE_EXE);
        bench.rawConsoleExe = WindowsPathOf(QUIMBLE_RAW_CONSOLE_EXE);
        bench.Console(1000, 1.25);
        bench.rawProbeChildExe = WindowsPathOf(QUIMBLE_RAW_PROBE_CHILD_EXE);
        bench.asioDriverDll = WindowsPathOf(QUIMBLE_BENCH_ASIO_DRIVER);
        bench.Probe(20, 1.25);
    }
    ClearLocations();
    bench.Print();
    PrintMoveCallCounts(calls);
    return 0;
}
