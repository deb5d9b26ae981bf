// The console programs' command line: the table of commands, and parsing one command with its names and options.
#pragma once

#include "exit_code.h"
#include "registry_views.h"

#include <string>
#include <vector>

struct CommandLine;
using CommandHandler = ExitCode (*)(const CommandLine& line, const std::vector<RegistryView>& views);

// One command: how it is called, what it takes, how --help shows it, and what runs it.
struct CommandRow {
    const char* name;
    bool takesJson;
    bool takesTimeout;
    bool takesReplace;  // --replace: a driver registered again replaces its copy on the other side
    bool takesNames;    // names may follow the command
    bool needsNames;    // at least one name is then required
    const char* usage;    // after the command's name on its usage line
    const char* summary;  // what it does, for --help; lines after the first are indented under it
    CommandHandler run;
};
// Every command, in the order --help lists them. Dispatch and --help come from here alone.
const std::vector<CommandRow>& CommandTable();

enum class Action { Run, Help, Version };

struct CommandLine {
    Action action = Action::Help;
    const CommandRow* command = nullptr;  // the row to run, for Action::Run
    int view = 0;                         // 32 or 64 from --view; 0 for every view the program serves
    bool json = false;
    unsigned timeoutSeconds = 10;    // --timeout: how long one driver may take
    bool replace = false;            // hide and restore: a driver registered again replaces its copy on the other side
    std::vector<std::string> names;  // as given, UTF-8
};

// Parses the arguments that follow the program's name. Options are taken wherever they stand, whatever the
// environment says. False, with the reason in `error`, for a usage error: an unknown command or option, a view other
// than 32 or 64, a timeout other than 1 to 600 whole seconds, names where none belong or none where they must.
bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine& line, std::string& error);

// What --help prints: the usage, the commands, which views this program serves, the exit codes.
std::string HelpText();
// What --version prints: the program, its edition and the version.
const char* VersionText();
