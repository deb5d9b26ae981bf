// The rows of the console programs' commands. A new command is one row here and its handler.
#include "command_line.h"

#include "name_moves.h"
#include "record_commands.h"

const std::vector<CommandRow>& CommandTable()
{
    static const std::vector<CommandRow> table = {
        {"list", true, false, false, "[--view 32|64] [--json]",
         "every subkey of the active location (HKLM\\Software\\ASIO, what ASIO programs load) and of the\n"
         "hidden one (HKLM\\Software\\ASIO Quimble), with its CLSID, its description, the server file a\n"
         "host would load and its health: ok, server missing, wrong architecture, not registered,\n"
         "registration unreadable, bad CLSID or not a driver",
         List},
        {"check", true, false, false, "[--view 32|64] [--json]",
         "the drivers of the active location that would not load; none, and it exits with 0", Check},
        {"hide", false, true, true, "NAME... [--view 32|64] [--replace]",
         "moves the named drivers from the active location to the hidden one (names match in any\n"
         "letter case)",
         Hide},
        {"restore", false, true, true, "NAME... [--view 32|64] [--replace]",
         "moves the named drivers back from the hidden location to the active one", Restore},
    };
    return table;
}
