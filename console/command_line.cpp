// Parsing with the C runtime's getopt_long, and the help and version texts of each edition.
#include "command_line.h"

#include "program_name.h"

#include <getopt.h>

#include <cstring>

// The build passes the version as plain numbers.
#define QUIMBLE_TEXT(x) #x
#define QUIMBLE_DOTTED(major, minor, patch) QUIMBLE_TEXT(major.minor.patch)
#define QUIMBLE_VERSION_TEXT QUIMBLE_DOTTED(QUIMBLE_VERSION_MAJOR, QUIMBLE_VERSION_MINOR, QUIMBLE_VERSION_PATCH)

namespace {

struct CommandName {
    const char* name;
    Command command;
    bool takesNames;
};
constexpr CommandName kCommands[] = {
    {"list", Command::List, false},
    {"check", Command::Check, false},
    {"hide", Command::Hide, true},
    {"restore", Command::Restore, true},
};

const CommandName* FindCommand(const std::string& name)
{
    for (const CommandName& command : kCommands)
        if (name == command.name)
            return &command;
    return nullptr;
}

bool ParseView(const char* text, int& view)
{
    if (std::strcmp(text, "32") != 0 && std::strcmp(text, "64") != 0)
        return false;
    view = text[0] == '3' ? 32 : 64;
    return true;
}

// The option that getopt_long could not take, as the user typed it.
std::string UnknownOption(char* const* argv)
{
    if (optopt)
        return std::string("-") + static_cast<char>(optopt);
    return argv[optind - 1];
}

// The options of one command, the command being argv[0]; the other arguments are its names, in their order.
bool ParseOptions(const CommandName& command, std::vector<char*>& argv, CommandLine& line, std::string& error)
{
    // list and check take --json, hide and restore --replace; getopt_long refuses each for the others.
    const option withJson[] = {
        {"view", required_argument, nullptr, 'v'},
        {"help", no_argument, nullptr, 'h'},
        {"json", no_argument, nullptr, 'j'},
        {nullptr, 0, nullptr, 0},
    };
    const option withReplace[] = {withJson[0], withJson[1], {"replace", no_argument, nullptr, 'r'}, withJson[3]};
    const option* options = command.takesNames ? withReplace : withJson;

    // 0 starts the parser afresh; errors are reported here, not printed by the parser.
    optind = 0;
    opterr = 0;
    const int argc = static_cast<int>(argv.size());
    for (int option; (option = getopt_long(argc, argv.data(), ":h", options, nullptr)) != -1;) {
        switch (option) {
        case 'v':
            if (!ParseView(optarg, line.view)) {
                error = std::string("--view takes 32 or 64, not \"") + optarg + "\"";
                return false;
            }
            break;
        case 'j':
            line.json = true;
            break;
        case 'r':
            line.replace = true;
            break;
        case 'h':
            line.command = Command::Help;
            return true;
        case ':':
            error = std::string(argv[optind - 1]) + " needs a value";
            return false;
        default:
            error = "unknown option " + UnknownOption(argv.data()) + " for " + command.name;
            return false;
        }
    }
    line.names.assign(argv.begin() + optind, argv.end());
    if (command.takesNames && line.names.empty()) {
        error = std::string(command.name) + " needs the name of at least one driver";
        return false;
    }
    if (!command.takesNames && !line.names.empty()) {
        error = std::string(command.name) + " takes no names, but was given \"" + line.names.front() + "\"";
        return false;
    }
    return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine& line, std::string& error)
{
    line = CommandLine();
    if (arguments.empty()) {
        error = "no command given";
        return false;
    }
    const std::string& first = arguments.front();
    if (first == "--help" || first == "-h" || first == "/?") {
        line.command = Command::Help;
        return true;
    }
    if (first == "--version") {
        line.command = Command::Version;
        return true;
    }
    const CommandName* command = FindCommand(first);
    if (!command) {
        error = "unknown command \"" + first + "\"";
        return false;
    }
    line.command = command->command;
    // getopt_long reorders the pointers, never the texts, which stay in `copies`.
    std::vector<std::string> copies(arguments);
    std::vector<char*> argv;
    for (std::string& argument : copies)
        argv.push_back(&argument[0]);
    return ParseOptions(*command, argv, line, error);
}

// The usage and what each command does, then which views this edition serves.
#ifdef _WIN64
#define QUIMBLE_VIEWS_SERVED                                                                                           \
    "It serves both registry views: the 64-bit view (HKLM\\Software\\ASIO, read by 64-bit ASIO programs) and\n"        \
    "the 32-bit view (HKLM\\Software\\WOW6432Node\\ASIO, read by 32-bit ASIO programs). Without --view, a command\n"   \
    "covers both; a name in both views is two entries.\n"
#else
#define QUIMBLE_VIEWS_SERVED                                                                                           \
    "It serves its own registry view only: the 32-bit view, read by 32-bit ASIO programs (on 64-bit Windows\n"         \
    "HKLM\\Software\\WOW6432Node\\ASIO). The 64-bit view, read by 64-bit ASIO programs, needs quimble64.exe.\n"
#endif
// Laid out as it prints; the formatter would break the lines at the program's name.
// clang-format off
constexpr char kHelp[] =
    QUIMBLE_CONSOLE_NAME " " QUIMBLE_VERSION_TEXT
    ": lists, checks, hides and restores ASIO drivers from the command line.\n"
    "\n"
    "Usage:\n"
    "  " QUIMBLE_CONSOLE_NAME " list    [--view 32|64] [--json]\n"
    "  " QUIMBLE_CONSOLE_NAME " check   [--view 32|64] [--json]\n"
    "  " QUIMBLE_CONSOLE_NAME " hide    NAME... [--view 32|64] [--replace]\n"
    "  " QUIMBLE_CONSOLE_NAME " restore NAME... [--view 32|64] [--replace]\n"
    "  " QUIMBLE_CONSOLE_NAME " --help | --version\n"
    "\n"
    "Commands:\n"
    "  list     every subkey of the active location (HKLM\\Software\\ASIO, what ASIO programs load) and of the\n"
    "           hidden one (HKLM\\Software\\ASIO Quimble), with its CLSID, its description, the server file a\n"
    "           host would load and its health: ok, server missing, wrong architecture, not registered,\n"
    "           bad CLSID or not a driver\n"
    "  check    the drivers of the active location that would not load; none, and it exits with 0\n"
    "  hide     moves the named drivers from the active location to the hidden one (names match in any\n"
    "           letter case)\n"
    "  restore  moves the named drivers back from the hidden location to the active one\n"
    "\n"
    "Options:\n"
    "  --view 32|64  only this registry view\n"
    "  --json        one JSON array with an object per subkey: view, location, name, clsid, description,\n"
    "                server, health, registered_again (the same driver both active and hidden)\n"
    "  --replace     where a name is the same driver in both locations (registered again, as by an update),\n"
    "                the one moved replaces the other, which is not kept\n"
    "\n"
    QUIMBLE_VIEWS_SERVED
    "\n"
    "Exit codes: 0 everything asked was done; 1 a name was not moved, or check found a driver that would not\n"
    "load; 2 usage error; 3 access denied (hide and restore need an elevated prompt: Run as administrator).\n";

#ifdef _WIN64
constexpr char kVersionLine[] =
    QUIMBLE_CONSOLE_NAME " " QUIMBLE_VERSION_TEXT " (ASIO Quimble command line, 64-bit edition, both registry views)\n";
#else
constexpr char kVersionLine[] =
    QUIMBLE_CONSOLE_NAME " " QUIMBLE_VERSION_TEXT
    " (ASIO Quimble command line, 32-bit edition, the 32-bit registry view)\n";
#endif
// clang-format on

const char* HelpText()
{
    return kHelp;
}

const char* VersionText()
{
    return kVersionLine;
}
