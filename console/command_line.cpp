// Parsing with the C runtime's getopt_long, and the help and version texts of each edition.
#include "command_line.h"

#include "program_name.h"

#include <getopt.h>

#include <algorithm>
#include <cstring>

// The build passes the version as plain numbers.
#define QUIMBLE_TEXT(x) #x
#define QUIMBLE_DOTTED(major, minor, patch) QUIMBLE_TEXT(major.minor.patch)
#define QUIMBLE_VERSION_TEXT QUIMBLE_DOTTED(QUIMBLE_VERSION_MAJOR, QUIMBLE_VERSION_MINOR, QUIMBLE_VERSION_PATCH)

namespace {

constexpr unsigned kLongestTimeout = 600;

const CommandRow* FindCommand(const std::string& name)
{
    for (const CommandRow& command : CommandTable())
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

// Whole seconds from 1 to 600, in plain digits.
bool ParseTimeout(const char* text, unsigned& seconds)
{
    unsigned value = 0;
    for (const char* digit = text; *digit; ++digit) {
        if (*digit < '0' || *digit > '9' || value > kLongestTimeout)
            return false;
        value = value * 10 + static_cast<unsigned>(*digit - '0');
    }
    if (!*text || value < 1 || value > kLongestTimeout)
        return false;
    seconds = value;
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
bool ParseOptions(const CommandRow& command, std::vector<char*>& argv, CommandLine& line, std::string& error)
{
    // Only the options the command takes: getopt_long refuses the others.
    std::vector<option> options = {
        {"view", required_argument, nullptr, 'v'},
        {"help", no_argument, nullptr, 'h'},
    };
    if (command.takesJson)
        options.push_back({"json", no_argument, nullptr, 'j'});
    if (command.takesTimeout)
        options.push_back({"timeout", required_argument, nullptr, 't'});
    if (command.takesReplace)
        options.push_back({"replace", no_argument, nullptr, 'r'});
    options.push_back({nullptr, 0, nullptr, 0});

    // 0 starts the parser afresh; errors are reported here, not printed by the parser. The leading "-" hands every
    // name over in its place (as option 1), which keeps options anywhere on the line even where POSIXLY_CORRECT
    // would stop the parser at the first name.
    optind = 0;
    opterr = 0;
    const int argc = static_cast<int>(argv.size());
    std::vector<std::string> names;
    for (int option; (option = getopt_long(argc, argv.data(), "-:h", options.data(), nullptr)) != -1;) {
        switch (option) {
        case 1:
            names.push_back(optarg);
            break;
        case 'v':
            if (!ParseView(optarg, line.view)) {
                error = std::string("--view takes 32 or 64, not \"") + optarg + "\"";
                return false;
            }
            break;
        case 'j':
            line.json = true;
            break;
        case 't':
            if (!ParseTimeout(optarg, line.timeoutSeconds)) {
                error = std::string("--timeout takes whole seconds from 1 to 600, not \"") + optarg + "\"";
                return false;
            }
            break;
        case 'r':
            line.replace = true;
            break;
        case 'h':
            line.action = Action::Help;
            return true;
        case ':':
            error = std::string(argv[optind - 1]) + " needs a value";
            return false;
        default:
            error = "unknown option " + UnknownOption(argv.data()) + " for " + command.name;
            return false;
        }
    }
    // After "--" the rest are names, whatever they look like.
    names.insert(names.end(), argv.begin() + optind, argv.end());
    line.names = names;
    if (command.needsNames && line.names.empty()) {
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
        line.action = Action::Help;
        return true;
    }
    if (first == "--version") {
        line.action = Action::Version;
        return true;
    }
    const CommandRow* command = FindCommand(first);
    if (!command) {
        error = "unknown command \"" + first + "\"";
        return false;
    }
    line.action = Action::Run;
    line.command = command;
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
constexpr char kHelpStart[] =
    QUIMBLE_CONSOLE_NAME " " QUIMBLE_VERSION_TEXT
    ": lists, checks, probes, hides and restores ASIO drivers from the command line.\n"
    "\n"
    "Usage:\n";
constexpr char kHelpEnd[] =
    "\n"
    "Options:\n"
    "  --view 32|64  only this registry view\n"
    "  --json        one JSON array with an object per subkey: view, location, name, clsid, description,\n"
    "                server, health, registered_again (true for the same driver both active and hidden)\n"
    "                (probe: view, location, name, clsid, result, call, code, message, module,\n"
    "                driver_name, driver_version, inputs, outputs, buffer_min, buffer_max, buffer_preferred,\n"
    "                buffer_granularity, sample_rate)\n"
    "  --timeout S   probe: how long one driver may take, 1 to 600 seconds (default 10)\n"
    "  --replace     where a name is the same driver in both locations (registered again, as by an update),\n"
    "                the one moved replaces the other, which is not kept\n"
    "\n"
    QUIMBLE_VIEWS_SERVED
    "\n"
    "Exit codes: 0 everything asked was done; 1 a name was not moved, check found a driver that would not\n"
    "load, or probe found one that does not load; 2 usage error; 3 access denied (hide and restore need an\n"
    "elevated prompt: Run as administrator).\n";
#ifdef _WIN64
constexpr char kVersionLine[] =
    QUIMBLE_CONSOLE_NAME " " QUIMBLE_VERSION_TEXT " (ASIO Quimble command line, 64-bit edition, both registry views)\n";
#else
constexpr char kVersionLine[] =
    QUIMBLE_CONSOLE_NAME " " QUIMBLE_VERSION_TEXT
    " (ASIO Quimble command line, 32-bit edition, the 32-bit registry view)\n";
#endif
// clang-format on

std::string HelpText()
{
    size_t width = 0;
    for (const CommandRow& command : CommandTable())
        width = std::max(width, std::strlen(command.name));
    const auto padded = [](const char* name, size_t to) { return name + std::string(to - std::strlen(name), ' '); };
    std::string text = kHelpStart;
    for (const CommandRow& command : CommandTable())
        text += std::string("  " QUIMBLE_CONSOLE_NAME " ") + padded(command.name, width + 1) + command.usage + "\n";
    text += "  " QUIMBLE_CONSOLE_NAME " --help | --version\n\nCommands:\n";
    const std::string indent(2 + width + 2, ' ');
    for (const CommandRow& command : CommandTable()) {
        text += "  " + padded(command.name, width + 2);
        for (const char* line = command.summary; *line;) {
            const char* end = std::strchr(line, '\n');
            const size_t length = end ? static_cast<size_t>(end - line) : std::strlen(line);
            text += (line == command.summary ? "" : indent) + std::string(line, length) + "\n";
            line += length + (end ? 1 : 0);
        }
    }
    return text + kHelpEnd;
}

const char* VersionText()
{
    return kVersionLine;
}
