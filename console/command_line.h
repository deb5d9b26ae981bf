// The console programs' command line: one command, its driver names and its options.
#pragma once

#include <string>
#include <vector>

enum class Command { List, Check, Hide, Restore, Help, Version };

struct CommandLine {
    Command command = Command::Help;
    int view = 0;  // 32 or 64 from --view; 0 for every view the program serves
    bool json = false;
    bool replace = false;            // hide and restore: a driver registered again replaces its copy on the other side
    std::vector<std::string> names;  // as given, UTF-8
};

// Parses the arguments that follow the program's name. False, with the reason in `error`, for a usage error: an
// unknown command or option, a view other than 32 or 64, names where none belong or none where they must.
bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine& line, std::string& error);

// What --help prints: the usage, the commands, which views this program serves, the exit codes.
const char* HelpText();
// What --version prints: the program, its edition and the version.
const char* VersionText();
