// The benchmark's rows for the console program: both registry views seeded with drivers whose classes and server
// files are all in place, and timed runs of a console program.
#pragma once

#include <string>
#include <vector>

// Seeds each view's active location with `count` drivers, registers their classes in the same view with a
// REG_EXPAND_SZ path under System32 (which the 32-bit view reads in SysWOW64), and places a server file of the
// view's architecture there. Empty on success, else what failed.
std::string SeedConsoleViews(int count);
// Seeds the 64-bit view's active location with `count` drivers whose classes the DLL `server` serves. Gives their
// class ids, or nothing and what failed in `failure`.
std::vector<std::string> SeedProbeDrivers(int count, const std::string& server, std::string& failure);
// Takes all of it away again.
void ClearConsoleViews();

struct ConsoleTiming {
    std::string failure;  // empty when the program ran and ended with exit code 0
    double ms = 0;        // from the process's creation to its end
    std::string output;   // what it wrote to standard output, a file
};
ConsoleTiming TimeConsoleRun(const std::string& exe, const std::string& arguments);
