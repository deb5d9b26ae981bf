// Runs a console program as a script would: arguments in any script, standard output and error captured.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

struct ConsoleRun {
    std::string failure;  // why the program could not be run; empty when it ran
    DWORD exitCode = 0;
    std::string out;  // the bytes written to standard output
    std::string err;
};

enum class OutputTo { File, Pipe };

// Runs the program (a Windows path) with the UTF-8 arguments, each quoted, its standard output going to a file or
// through a pipe and its standard error to a file, and waits for it to end.
ConsoleRun RunConsole(const std::string& exe, const std::vector<std::string>& arguments,
                      OutputTo output = OutputTo::File);

// Runs the program in a console of its own that this process makes for the run, as a user at a prompt would, and
// gives in `out` what that console shows: its rows, without the blanks that fill them, one line each.
ConsoleRun RunInNewConsole(const std::string& exe, const std::vector<std::string>& arguments);

// The run in a failure message: its exit code and both streams.
std::string Describe(const ConsoleRun& run);
