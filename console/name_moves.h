// hide and restore by name: in each view, the entry of that name is moved with the store's own move, the dialog's
// code path with all its guarantees.
#pragma once

#include "registry_views.h"

#include <string>
#include <vector>

enum class Direction { Hide, Restore };

// Moves each named entry (matched without regard to letter case, as the registry matches names) in every view
// given where the source location holds it, and prints one line per name and view. With `replace`, an entry that
// is the same driver as the destination's of that name replaces it. Returns the exit code: 0 when every name was
// moved or was already there, 1 when one was not, 3 when a location could not be opened for writing, which is found
// out before anything moves.
int MoveByName(Direction direction, const std::vector<RegistryView>& views, const std::vector<std::string>& names,
               bool replace);
