// The console program's own name, as its help and its messages say it: one per edition.
#pragma once

#ifdef _WIN64
#define QUIMBLE_CONSOLE_NAME "quimble64"
#else
#define QUIMBLE_CONSOLE_NAME "quimble"
#endif

constexpr char kProgramName[] = QUIMBLE_CONSOLE_NAME;
