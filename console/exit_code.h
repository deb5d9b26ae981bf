// The console programs' exit codes, each with the one meaning --help gives it.
#pragma once

enum class ExitCode : int {
    Done = 0,          // everything asked was done
    NotDone = 1,       // a name was not moved, check found a driver that would not load, or a read failed
    UsageError = 2,    // the command line asked for nothing this program does
    AccessDenied = 3,  // found before anything moved: nothing changed
};
