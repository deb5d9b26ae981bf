// Entry of the console programs quimble64.exe and quimble.exe: parses the command line, runs the command, and
// returns its exit code. Results go to standard output, everything else to standard error.
#include "command_line.h"
#include "console_text.h"
#include "dll_search_guard.h"
#include "driver_records.h"
#include "name_moves.h"
#include "program_name.h"
#include "record_output.h"
#include "registry_views.h"

#include <exception>
#include <string>
#include <vector>

namespace {

constexpr int kNotDone = 1;
constexpr int kUsageError = 2;
constexpr int kAccessDenied = 3;

void UsageError(const std::string& reason)
{
    WriteError(std::string(kProgramName) + ": " + reason + "\nRun " + kProgramName + " --help for the usage.\n");
}

// The views a command covers: the one --view names, which this program must serve, or every one it serves.
bool ChooseViews(int bits, std::vector<RegistryView>& views)
{
    const std::vector<RegistryView> served = ServedViews();
    if (!bits) {
        views = served;
        return true;
    }
    if (const RegistryView* view = FindView(served, bits)) {
        views = {*view};
        return true;
    }
    // Only the 32-bit program serves one view, so the view it was asked for is the 64-bit one.
    UsageError(served.front().wow64
                   ? "the 64-bit view needs quimble64.exe: this 32-bit program serves the 32-bit view only"
                   : "32-bit Windows has no 64-bit view");
    return false;
}

// Where a 32-bit program on 64-bit Windows leaves the other view out of its table, it says who serves that one.
std::string OtherViewNote(const std::vector<RegistryView>& views)
{
    if (ServedViews().size() == 1 && views.front().wow64)
        return "\nThe 64-bit view, read by 64-bit ASIO programs, is listed by quimble64.exe.\n";
    return std::string();
}

// The records of list and check; where a location cannot be read, says so on standard error and gives false.
bool ReadRecordsOrSayWhy(const std::vector<RegistryView>& views, std::vector<DriverRecord>& records)
{
    std::string failure;
    if (ReadDriverRecords(views, records, failure))
        return true;
    WriteError(std::string(kProgramName) + ": " + failure + "\n");
    return false;
}

int List(const CommandLine& line, const std::vector<RegistryView>& views)
{
    std::vector<DriverRecord> records;
    if (!ReadRecordsOrSayWhy(views, records))
        return kAccessDenied;
    WriteOut(line.json ? RecordsAsJson(records) : RecordsAsTable(records, views) + OtherViewNote(views));
    return 0;
}

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

// The active drivers that would not load, and 1 when there is any.
int Check(const CommandLine& line, const std::vector<RegistryView>& views)
{
    std::vector<DriverRecord> records;
    // The hidden location too, whose records only mark the active drivers registered again.
    if (!ReadRecordsOrSayWhy(views, records))
        return kAccessDenied;
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
    return failing.empty() ? 0 : kNotDone;
}

int Run(const std::vector<std::string>& arguments)
{
    CommandLine line;
    std::string error;
    if (!ParseCommandLine(arguments, line, error)) {
        UsageError(error);
        return kUsageError;
    }
    std::vector<RegistryView> views;
    switch (line.command) {
    case Command::Help:
        WriteOut(HelpText());
        return 0;
    case Command::Version:
        WriteOut(VersionText());
        return 0;
    default:
        break;
    }
    if (!ChooseViews(line.view, views))
        return kUsageError;
    switch (line.command) {
    case Command::List:
        return List(line, views);
    case Command::Check:
        return Check(line, views);
    case Command::Hide:
        return MoveByName(Direction::Hide, views, line.names, line.replace);
    default:
        return MoveByName(Direction::Restore, views, line.names, line.replace);
    }
}

}  // namespace

// The wide entry: the arguments arrive whole in any script, whatever the system's code page.
int wmain(int argc, wchar_t** argv)
{
    // Before anything can load a DLL by name: hide and restore run elevated, often from the Downloads folder.
    GuardDllSearch();
    try {
        std::vector<std::string> arguments;
        for (int index = 1; index < argc; ++index)
            arguments.push_back(Utf8FromWide(argv[index]));
        return Run(arguments);
    } catch (const std::exception& failure) {
        WriteError(std::string(kProgramName) + ": " + failure.what() + "\n");
        return kNotDone;
    }
}
