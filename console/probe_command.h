// The probe command's front end: which drivers it probes, and its results as a table and as JSON.
#pragma once

#include "command_line.h"
#include "driver_records.h"
#include "probe_runner.h"

#include <string>
#include <vector>

// Loads the drivers asked for, each in a child of its own, and prints a result per driver and view. NotDone when any
// does not load or a name is no driver's; a location that cannot be read stops it as it stops list.
ExitCode Probe(const CommandLine& line, const std::vector<RegistryView>& views);

// Without names, every driver of the active location; with names, the drivers of either location whose name
// matches one of them in any letter case, as hide and restore match names. A name no driver has goes to `unknown`.
std::vector<ProbeTarget> SelectProbeTargets(const std::vector<DriverRecord>& records,
                                            const std::vector<std::string>& names, std::vector<std::string>& unknown);

// One UTF-8 JSON array, an object per result with the fields view, location, name, clsid, result, call, code,
// message, module, driver_name, driver_version, inputs, outputs, buffer_min, buffer_max, buffer_preferred,
// buffer_granularity and sample_rate, in that order; null where there is none.
std::string ProbeResultsAsJson(const std::vector<ProbeResult>& results);

// For each view, its heading as list prints it, then a row per result: location, name, result and what it found.
std::string ProbeResultsAsTable(const std::vector<ProbeResult>& results, const std::vector<RegistryView>& views,
                                unsigned timeoutSeconds);
