// Choosing the drivers to probe from the records, and writing the results with nlohmann/json or as aligned rows.
#include "probe_command.h"

#include "console_text.h"
#include "driver_entries.h"
#include "probe_protocol.h"
#include "program_name.h"
#include "record_commands.h"
#include "record_output.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace {

using Json = nlohmann::ordered_json;

ProbeTarget TargetOf(const DriverRecord& record)
{
    return {record.view, record.hidden, record.name, record.clsid};
}

template <typename T>
Json ValueOrNull(const std::optional<T>& value)
{
    return value ? Json(*value) : Json(nullptr);
}

std::string Count(const std::optional<long>& value)
{
    return value ? std::to_string(*value) : std::string("?");
}

// What a driver that loads told about itself, as far as it answered.
std::string DriverFacts(const ProbeResult& result)
{
    std::string facts = result.driverName ? "\"" + *result.driverName + "\"" : std::string("no name");
    if (result.driverVersion)
        facts += " version " + std::to_string(*result.driverVersion);
    if (result.inputs)
        facts += ", " + Count(result.inputs) + " in, " + Count(result.outputs) + " out";
    if (result.bufferMin)
        facts += ", buffer " + Count(result.bufferMin) + "-" + Count(result.bufferMax) + " (preferred " +
                 Count(result.bufferPreferred) + ", granularity " + Count(result.bufferGranularity) + ")";
    if (result.sampleRate) {
        char rate[32];
        std::snprintf(rate, sizeof rate, "%g Hz", *result.sampleRate);
        facts += std::string(", ") + rate;
    }
    return facts;
}

std::string Details(const ProbeResult& result, unsigned timeoutSeconds)
{
    const std::string call = result.call ? *result.call : std::string("?");
    const std::string code = result.code ? HexCode(*result.code) : std::string();
    switch (result.outcome) {
    case ProbeOutcome::Loads:
        return DriverFacts(result);
    case ProbeOutcome::InitFailed:
        return result.message && !result.message->empty() ? *result.message : std::string("no message");
    case ProbeOutcome::Crashes:
        return result.message.value_or("") + " (" + code + ")" + (result.module ? " in " + *result.module : "") +
               " during " + call;
    case ProbeOutcome::Hangs:
        return "no return from " + call + " within " + std::to_string(timeoutSeconds) + " s";
    case ProbeOutcome::CannotLoad:
        return call + ": " + code + (result.message ? " " + *result.message : "");
    case ProbeOutcome::NotProbed:
        return result.message.value_or("");
    }
    return "";
}

}  // namespace

ExitCode Probe(const CommandLine& line, const std::vector<RegistryView>& views)
{
    std::vector<DriverRecord> records;
    if (const ExitCode read = ReadRecordsOrSayWhy(views, line.names.empty(), records); read != ExitCode::Done)
        return read;
    std::vector<std::string> unknown;
    const std::vector<ProbeTarget> targets = SelectProbeTargets(records, line.names, unknown);
    for (const std::string& name : unknown)
        WriteError(std::string(kProgramName) + ": " + name + ": not found\n");
    const std::vector<ProbeResult> results = ProbeDrivers(targets, line.timeoutSeconds);
    size_t loading = 0;
    for (const ProbeResult& result : results)
        loading += result.outcome == ProbeOutcome::Loads;
    if (line.json)
        WriteOut(ProbeResultsAsJson(results));
    else
        WriteOut(ProbeResultsAsTable(results, views, line.timeoutSeconds) + OtherViewNote(views) + "\n" +
                 std::to_string(loading) + " of " + std::to_string(results.size()) + " drivers load.\n");
    return unknown.empty() && loading == results.size() ? ExitCode::Done : ExitCode::NotDone;
}

std::vector<ProbeTarget> SelectProbeTargets(const std::vector<DriverRecord>& records,
                                            const std::vector<std::string>& names, std::vector<std::string>& unknown)
{
    std::vector<ProbeTarget> targets;
    if (names.empty())
        for (const DriverRecord& record : records)
            if (record.health != Health::NotADriver && !record.hidden)
                targets.push_back(TargetOf(record));
    for (const std::string& name : names) {
        const std::wstring wideName = WideFromUtf8(name);
        bool found = false;
        for (const DriverRecord& record : records)
            if (record.health != Health::NotADriver &&
                SameRegistryName(WideFromUtf8(record.name).c_str(), wideName.c_str())) {
                targets.push_back(TargetOf(record));
                found = true;
            }
        if (!found)
            unknown.push_back(name);
    }
    return targets;
}

std::string ProbeResultsAsJson(const std::vector<ProbeResult>& results)
{
    Json array = Json::array();
    for (const ProbeResult& result : results) {
        const ProbeTarget& target = result.target;
        array.push_back({
            {"view", target.view},
            {"location", LocationWord(target.hidden)},
            {"name", target.name},
            {"clsid", ValueOrNull(target.clsid)},
            {"result", ProbeOutcomeWord(result.outcome)},
            {"call", ValueOrNull(result.call)},
            {"code", result.code ? Json(HexCode(*result.code)) : Json(nullptr)},
            {"message", ValueOrNull(result.message)},
            {"module", ValueOrNull(result.module)},
            {"driver_name", ValueOrNull(result.driverName)},
            {"driver_version", ValueOrNull(result.driverVersion)},
            {"inputs", ValueOrNull(result.inputs)},
            {"outputs", ValueOrNull(result.outputs)},
            {"buffer_min", ValueOrNull(result.bufferMin)},
            {"buffer_max", ValueOrNull(result.bufferMax)},
            {"buffer_preferred", ValueOrNull(result.bufferPreferred)},
            {"buffer_granularity", ValueOrNull(result.bufferGranularity)},
            {"sample_rate", ValueOrNull(result.sampleRate)},
        });
    }
    // A driver's text with no UTF-8 form is written with a replacement character rather than failing the document.
    return array.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string ProbeResultsAsTable(const std::vector<ProbeResult>& results, const std::vector<RegistryView>& views,
                                unsigned timeoutSeconds)
{
    std::string text;
    for (const RegistryView& view : views) {
        if (!text.empty())
            text += "\n";
        text += ViewHeading(view);
        std::vector<TableRow> rows = {{"location", "name", "result", "details"}};
        for (const ProbeResult& result : results)
            if (result.target.view == view.bits)
                rows.push_back({LocationWord(result.target.hidden), result.target.name,
                                ProbeOutcomeWord(result.outcome), Details(result, timeoutSeconds)});
        text += rows.size() > 1 ? AlignedRows(rows) : "no drivers\n";
    }
    return text;
}
