// Where the program keeps its drivers and what it says, written out for the tests apart from the program's own texts.
#pragma once

#include <string>
#include <vector>

constexpr char kActivePath[] = "Software\\ASIO";
constexpr char kHiddenPath[] = "Software\\ASIO Quimble";
constexpr char kHiddenKeyName[] = "ASIO Quimble";

constexpr char kQuimbleTitle[] = "ASIO Quimble";
constexpr char kHelpTitle[] = "ASIO Quimble Help";
// The edition's name, and the one caption and the one line of the usage text that tell the editions apart.
#ifdef _WIN64
constexpr char kEditionName[] = "64-bit";
constexpr char kOtherEditionName[] = "32-bit";
constexpr char kDialogCaption[] = "ASIO Quimble (64-bit)";
constexpr char kEditionHelpLine[] =
    "This is the 64 bit edition: it hides drivers from 64 bit ASIO applications. Use the 32 bit edition for 32 bit "
    "applications.\n";
#else
constexpr char kEditionName[] = "32-bit";
constexpr char kOtherEditionName[] = "64-bit";
constexpr char kDialogCaption[] = "ASIO Quimble";
constexpr char kEditionHelpLine[] =
    "This is a 32 bit program. I have no idea how it will behave in a 64bit environment.\n";
#endif
// The usage text, shown on "&Help" and on first use.
inline const std::string kHelpText =
    std::string(
        "\n"
        "This small utility can hide or unhide ASIO device drivers that are not needed\n"
        "from all ASIO aware audio applications.\n"
        "\n"
        "USAGE:\n"
        "\n"
        "Removing devices: Select one or more entries from the \"Active Devices\" List\n"
        "then hit the \">>\" button.\n"
        "Reenabling Devices: Select one or more entries from the \"Disabled Devices\" List\n"
        "then hit the \"<<\" button. \n"
        "\n"
        "REMARKS:\n"
        "\n"
        "The ASIO Quimble reads and writes to the windows registry. You might want to\n"
        "back up the registry before using this program.\n"
        "The ASIO Quimble should not be used while an ASIO aware application is running.\n") +
    kEditionHelpLine +
    "ASIO is a trademark and software of Steinberg Media Technologies GmbH.\n"
    "\n"
    "Comments and suggestions are welcome at feedback@quimble.example\n";
// Before the web address, when the link cannot open it without handing the browser administrator rights.
constexpr char kAddressShownText[] =
    "ASIO Quimble runs with administrator rights and does not start your web browser with them. Please open this "
    "address in your browser yourself (Ctrl+C copies this message):\n\n";
constexpr char kCopyrightLine[] = "Copyright (c) 2026 the ASIO Quimble authors";
constexpr char kCouldNotOpenText[] = "Could not open registry keys!";
constexpr char kNoDriversText[] =
    "No Asio drivers found or no right to access the registry. ASIO Quimble will exit now.";
constexpr char kHideNothingSelectedText[] =
    "Select one ore more devices in the \"Active Devices\" list before hitting the \">>\" button.\n"
    "Hit the \"Help\" button for further information on how to use this utility.";
constexpr char kRestoreNothingSelectedText[] =
    "Select one ore more devices in the \"Disabled Devices\" list before hitting the \"<<\" button.\n"
    "Hit the \"Help\" button for further information on how to use this utility.";
constexpr char kDevicesInTheWayText[] =
    "These devices were left where they are, because the other list already has a device of the same name:\n";
constexpr char kNotMovedText[] = "These devices could not be moved and were left where they are:\n";
constexpr char kInBothText[] =
    "These devices are now in both lists: they were copied, but a failure kept them from being removed from where "
    "they were:\n";
// Why an entry was not moved, where the system has no words for it.
constexpr char kNameCutShortText[] =
    "it holds a value, key or class name with a NUL character in it, which could not be written back whole";
constexpr char kRegistryLinkText[] =
    "it holds a registry link, a key that stands for another key, which a move would not keep";
inline std::string KeysInTheWayText(const std::string& locationPath)
{
    return "These devices were left where they are, because HKEY_LOCAL_MACHINE\\" + locationPath +
           " already holds a registry key of the same name that is not a device; rename or remove that key (for "
           "example with the registry editor) to move them:\n";
}
// The question about drivers registered again, whose copies in the destination ("hidden" or "active") a Yes replaces;
// the names in list order.
inline std::string RegisteredAgainText(const std::string& destinationWord, const std::vector<std::string>& names)
{
    std::string text =
        "These devices are already " + destinationWord + ", and an update has probably registered them again:\n";
    for (const std::string& name : names)
        text += "\n" + name;
    return text + "\n\nYes replaces the " + destinationWord +
           " copy of each with the one selected; No leaves both as they are.";
}
