// list and check: the records of the locations, as a table or as JSON; and the reading of them that probe shares.
#pragma once

#include "command_line.h"
#include "driver_records.h"

#include <string>
#include <vector>

// Every subkey of both locations with its health.
ExitCode List(const CommandLine& line, const std::vector<RegistryView>& views);
// The active drivers that would not load; NotDone when there is any.
ExitCode Check(const CommandLine& line, const std::vector<RegistryView>& views);

// The records of the views (the active location only, or both), their texts in UTF-8: Done. Where a location cannot
// be read, says so on standard error and gives AccessDenied for a denial, else NotDone.
ExitCode ReadRecordsOrSayWhy(const std::vector<RegistryView>& views, bool activeOnly,
                             std::vector<DriverRecord>& records);
// Where a 32-bit program on 64-bit Windows leaves the other view out of its table, the line that says who serves
// that one; empty otherwise.
std::string OtherViewNote(const std::vector<RegistryView>& views);
