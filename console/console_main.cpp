// Entry of the console programs quimble64.exe and quimble.exe: parses the command line, runs the command, and
// returns its exit code. Results go to standard output, everything else to standard error.
#include "command_line.h"
#include "console_text.h"
#include "dll_search_guard.h"
#include "probe_child.h"
#include "program_name.h"
#include "registry_views.h"

#include <exception>
#include <string>
#include <vector>

namespace {

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

ExitCode Run(const std::vector<std::string>& arguments)
{
    CommandLine line;
    std::string error;
    if (!ParseCommandLine(arguments, line, error)) {
        UsageError(error);
        return ExitCode::UsageError;
    }
    switch (line.action) {
    case Action::Help:
        WriteOut(HelpText());
        return ExitCode::Done;
    case Action::Version:
        WriteOut(VersionText());
        return ExitCode::Done;
    case Action::Run:
        break;
    }
    std::vector<RegistryView> views;
    if (!ChooseViews(line.view, views))
        return ExitCode::UsageError;
    return line.command->run(line, views);
}

}  // namespace

// The wide entry: the arguments arrive whole in any script, whatever the system's code page.
int wmain(int argc, wchar_t** argv)
{
    // The probe's child loads a driver as a host does, its dependencies found as a host finds them; only the
    // current folder is taken out of the search.
    if (IsProbeChildMode(argc, argv)) {
        SetDllDirectoryW(L"");
        return static_cast<int>(RunProbeChild(argc, argv));
    }
    // Before anything can load a DLL by name: hide and restore run elevated, often from the Downloads folder.
    GuardDllSearch();
    try {
        std::vector<std::string> arguments;
        for (int index = 1; index < argc; ++index)
            arguments.push_back(Utf8FromWide(argv[index]));
        return static_cast<int>(Run(arguments));
    } catch (const std::exception& failure) {
        WriteError(std::string(kProgramName) + ": " + failure.what() + "\n");
        return static_cast<int>(ExitCode::NotDone);
    }
}
