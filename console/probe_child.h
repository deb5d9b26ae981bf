// The probe's child: loads one ASIO driver the way a host does when it scans its drivers, in a process of its own,
// and reports each step to its parent through a pipe.
#pragma once

#include "exit_code.h"

// Whether the arguments (argv[1] on) start the child mode rather than a command.
bool IsProbeChildMode(int argc, wchar_t** argv);

// Runs the child: argv[2] is the pipe's write handle, inherited, in decimal; argv[3] the driver's class id. Ends the
// process itself with Done once every call returned; returns only when it cannot start: UsageError when the
// arguments are not the parent's, NotDone when its thread cannot be made.
ExitCode RunProbeChild(int argc, wchar_t** argv);
