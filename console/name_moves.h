// hide and restore by name: in each view, the entry of that name is moved with the store's own move, the dialog's
// code path with all its guarantees.
#pragma once

#include "command_line.h"

#include <string>
#include <vector>

// Moves each named entry (matched without regard to letter case, as the registry matches names) in every view
// given where the source location holds it, and prints one line per name and view. With --replace, an entry that
// is the same driver as the destination's of that name replaces it. Done when every name was moved or was already
// there, NotDone when one was not, AccessDenied when a location could not be opened for writing, which is found out
// before anything moves.
ExitCode Hide(const CommandLine& line, const std::vector<RegistryView>& views);
ExitCode Restore(const CommandLine& line, const std::vector<RegistryView>& views);
