// list and check: reading the records through the store, and what each prints of them.
#include "record_commands.h"

#include "console_text.h"
#include "driver_records.h"
#include "program_name.h"
#include "record_output.h"

#include <string>

namespace {

// The views that have records, in the order given: a table of failures leaves out the views that have none.
std::vector<RegistryView> ViewsWithRecords(const std::vector<RegistryView>& views,
                                           const std::vector<DriverRecord>& records)
{
    std::vector<RegistryView> with;
    for (const RegistryView& view : views)
        for (const DriverRecord& record : records)
            if (record.view == view.bits) {
                with.push_back(view);
                break;
            }
    return with;
}

}  // namespace

std::string OtherViewNote(const std::vector<RegistryView>& views)
{
    if (ServedViews().size() == 1 && views.front().wow64)
        return "\nThe 64-bit view, read by 64-bit ASIO programs, is listed by quimble64.exe.\n";
    return std::string();
}

ExitCode ReadRecordsOrSayWhy(const std::vector<RegistryView>& views, bool activeOnly,
                             std::vector<DriverRecord>& records)
{
    const RecordsFailure failure = ReadDriverRecords(views, activeOnly, records);
    for (DriverRecord& record : records)
        record = Utf8Record(std::move(record));
    if (failure.code == ERROR_SUCCESS)
        return ExitCode::Done;
    WriteError(std::string(kProgramName) + ": cannot read " + Utf8FromActiveCodePage(failure.key) + ": " +
               ErrorTextUtf8(failure.code) + "\n");
    // Only a denial is one: any other failure to read is the system's.
    return failure.code == ERROR_ACCESS_DENIED ? ExitCode::AccessDenied : ExitCode::NotDone;
}

ExitCode List(const CommandLine& line, const std::vector<RegistryView>& views)
{
    std::vector<DriverRecord> records;
    if (const ExitCode read = ReadRecordsOrSayWhy(views, false, records); read != ExitCode::Done)
        return read;
    WriteOut(line.json ? RecordsAsJson(records) : RecordsAsTable(records, views) + OtherViewNote(views));
    return ExitCode::Done;
}

ExitCode Check(const CommandLine& line, const std::vector<RegistryView>& views)
{
    std::vector<DriverRecord> records;
    // The hidden location too, whose records only mark the active drivers registered again.
    if (const ExitCode read = ReadRecordsOrSayWhy(views, false, records); read != ExitCode::Done)
        return read;
    size_t drivers = 0;
    std::vector<DriverRecord> failing;
    for (const DriverRecord& record : records) {
        if (record.hidden)
            continue;
        if (record.health != Health::NotADriver)
            ++drivers;
        if (!PassesCheck(record.health))
            failing.push_back(record);
    }
    const std::string checked = std::to_string(drivers) + " checked";
    if (line.json)
        WriteOut(RecordsAsJson(failing));
    else if (failing.empty())
        WriteOut("Every driver of the active location would load (" + checked + ").\n");
    else
        WriteOut(RecordsAsTable(failing, ViewsWithRecords(views, failing)) + "\n" + std::to_string(failing.size()) +
                 " drivers of the active location would not load (" + checked + ").\n");
    return failing.empty() ? ExitCode::Done : ExitCode::NotDone;
}
