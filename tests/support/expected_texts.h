// Where the program keeps its drivers and what it says, written out for the tests apart from the program's own texts.
#pragma once

constexpr char kActivePath[] = "Software\\ASIO";
constexpr char kHiddenPath[] = "Software\\ASIO Quimble";

constexpr char kQuimbleTitle[] = "ASIO Quimble";
constexpr char kCouldNotOpenText[] = "Could not open registry keys!";
constexpr char kNoDriversText[] =
    "No Asio drivers found or no right to access the registry. ASIO Quimble will exit now.";
constexpr char kHideNothingSelectedText[] =
    "Select one ore more devices in the \"Active Devices\" list before hitting the \">>\" button.\n"
    "Hit the \"Help\" button for further information on how to use this utility.";
constexpr char kRestoreNothingSelectedText[] =
    "Select one ore more devices in the \"Disabled Devices\" list before hitting the \"<<\" button.\n"
    "Hit the \"Help\" button for further information on how to use this utility.";
