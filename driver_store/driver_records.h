// What a location holds, subkey by subkey: the driver's class, the server file a host of the view would load, and
// whether it could.
#pragma once

#include "registry_views.h"

#include <windows.h>
#include <optional>
#include <string>
#include <vector>

enum class Health {
    Ok,
    ServerMissing,
    WrongArchitecture,
    NotRegistered,
    RegistrationUnreadable,  // the class's registration exists, or may, but could not be read
    BadClsid,
    NotADriver,
};

// Text is in the active code page, as the registry gives it; a field a subkey has no string for is empty.
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

// A read that failed: the call's code and the key it was about, as the registry editor shows it.
struct RecordsFailure {
    LONG code = ERROR_SUCCESS;
    std::string key;
};

// The records of every subkey of the active location, and of the hidden one too unless `activeOnly`, view by view
// in the order given; with both read, the drivers registered again are marked. A driver is a subkey holding a
// "CLSID" value in any letter case, as hosts read it. A location that does not exist has none. Any other failure to
// read stops the reading and is returned.
[[nodiscard]] RecordsFailure ReadDriverRecords(const std::vector<RegistryView>& views, bool activeOnly,
                                               std::vector<DriverRecord>& records);
