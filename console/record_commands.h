// list and check: the records of the locations, as a table or as JSON.
#pragma once

#include "command_line.h"

// Every subkey of both locations with its health.
ExitCode List(const CommandLine& line, const std::vector<RegistryView>& views);
// The active drivers that would not load; NotDone when there is any.
ExitCode Check(const CommandLine& line, const std::vector<RegistryView>& views);
