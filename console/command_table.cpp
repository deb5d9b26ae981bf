// The rows of the console programs' commands. A new command is one row here and its handler.
#include "command_line.h"

#include "name_moves.h"
#include "probe_command.h"
#include "record_commands.h"

// The flags after each name: takes --json, takes --timeout, takes --replace, takes names, needs at least one name.
const std::vector<CommandRow>& CommandTable()
{
    static const std::vector<CommandRow> table = {
        {"list", true, false, false, false, false, "[--view 32|64] [--json]",
         "every subkey of the active location (HKLM\\Software\\ASIO, what ASIO programs load) and of the\n"
         "hidden one (HKLM\\Software\\ASIO Quimble), with its CLSID, its description, the server file a\n"
         "host would load and its health: ok, server missing, wrong architecture, not registered,\n"
         "registration unreadable, bad CLSID or not a driver",
         List},
        {"check", true, false, false, false, false, "[--view 32|64] [--json]",
         "the drivers of the active location that would not load; none, and it exits with 0", Check},
        {"hide", false, false, true, true, true, "NAME... [--view 32|64] [--replace]",
         "moves the named drivers from the active location to the hidden one (names match in any\n"
         "letter case)",
         Hide},
        {"restore", false, false, true, true, true, "NAME... [--view 32|64] [--replace]",
         "moves the named drivers back from the hidden location to the active one", Restore},
        {"probe", true, true, false, true, false, "[NAME...] [--view 32|64] [--json] [--timeout SECONDS]",
         "loads each driver of the active location (or each named one, in either location) as an ASIO\n"
         "program does, each in a process of its own, and says whether it loads, init failed, crashes,\n"
         "hangs or cannot load; close audio programs first",
         Probe},
    };
    return table;
}
