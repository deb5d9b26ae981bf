// What `list` and `check` report: one record per subkey of a location, with the server file a host of the view
// would load and whether it could.
#pragma once

#include "registry_views.h"

#include <optional>
#include <string>
#include <vector>

enum class Health { Ok, ServerMissing, WrongArchitecture, NotRegistered, BadClsid, NotADriver };

// The word the table and the JSON print for a health.
const char* HealthWord(Health health);
// Whether `check` passes the record: it loads, or it is no driver that a host would try.
bool PassesCheck(Health health);

// Text is UTF-8; a field a subkey has no string for is empty.
struct DriverRecord {
    int view;  // 32 or 64
    bool hidden;
    std::string name;
    std::optional<std::string> clsid;
    std::optional<std::string> description;
    std::optional<std::string> server;
    Health health;
    // The view holds the same driver under this name in both locations: an update has probably registered it again.
    bool registeredAgain = false;
};

// The records of every subkey of the active location and of the hidden one, view by view in the order given, with
// the drivers registered again marked. A location that does not exist has none. False, with what failed in
// `failure`, when a location exists but cannot be read.
bool ReadDriverRecords(const std::vector<RegistryView>& views, std::vector<DriverRecord>& records,
                       std::string& failure);
