// Reading the records: each subkey's values, its class's InprocServer32 in the same view, and the server file.
#include "driver_records.h"

#include "console_text.h"
#include "driver_entries.h"
#include "registry_key.h"
#include "registry_reading.h"
#include "same_driver.h"
#include "server_file.h"
#include "system_error_text.h"

#include <objbase.h>

namespace {

constexpr char kDescriptionValue[] = "Description";
constexpr char kServerKey[] = "\\InprocServer32";

std::optional<std::string> Utf8Text(const std::optional<StringValue>& value)
{
    if (!value)
        return std::nullopt;
    return Utf8FromActiveCodePage(value->text);
}

// As a host reads a driver's class id: a string holding a GUID in braces.
bool HoldsGuid(const std::optional<StringValue>& clsid)
{
    IID parsed;
    return clsid && IIDFromString(WideFromActiveCodePage(clsid->text).c_str(), &parsed) == S_OK;
}

// The registrations of one view, where hosts of that view look their drivers' classes up.
class ViewReader {
public:
    explicit ViewReader(const RegistryView& view) : view_(view), files_(view)
    {
        // Missing or unreadable, it leaves every class unregistered.
        RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ | view.flag, classes_.Receive());
    }

    void AddLocation(HKEY location, bool hidden, std::vector<DriverRecord>& records) const
    {
        for (const std::string& name : SubkeyNames(location))
            records.push_back(Record(location, hidden, name));
    }

private:
    DriverRecord Record(HKEY location, bool hidden, const std::string& name) const
    {
        DriverRecord record{view_.bits, hidden, Utf8FromActiveCodePage(name), {}, {}, {}, Health::NotADriver};
        RegistryKey entry;
        if (RegOpenKeyExA(location, name.c_str(), 0, KEY_QUERY_VALUE | view_.flag, entry.Receive()) != ERROR_SUCCESS)
            return record;
        record.description = Utf8Text(ReadStringValue(entry.Get(), kDescriptionValue));
        // The dialog's rule: only a value named exactly "CLSID" makes a driver.
        if (!SubkeyHasValue(location, name.c_str(), kRegistrationValue, view_.flag))
            return record;
        const std::optional<StringValue> clsid = ReadStringValue(entry.Get(), kRegistrationValue);
        record.clsid = Utf8Text(clsid);
        if (!HoldsGuid(clsid)) {
            record.health = Health::BadClsid;
            return record;
        }
        RegistryKey server;
        std::optional<StringValue> registered;
        if (RegOpenKeyExA(classes_.Get(), (clsid->text + kServerKey).c_str(), 0, KEY_QUERY_VALUE | view_.flag,
                          server.Receive()) == ERROR_SUCCESS)
            registered = ReadStringValue(server.Get(), "");
        if (!registered || registered->text.empty()) {
            record.health = Health::NotRegistered;
            return record;
        }
        const std::string path = files_.Resolve(registered->text, registered->expandable);
        record.server = Utf8FromActiveCodePage(path);
        switch (files_.Check(path)) {
        case ServerFile::Loadable:
            record.health = Health::Ok;
            break;
        case ServerFile::Missing:
            record.health = Health::ServerMissing;
            break;
        case ServerFile::WrongArchitecture:
            record.health = Health::WrongArchitecture;
            break;
        }
        return record;
    }

    RegistryView view_;
    ServerFiles files_;
    RegistryKey classes_;
};

// Both records of a name that a view holds in both locations as the same driver: the names compared as the
// registry compares them, the classes as the move compares them.
void MarkRegisteredAgain(std::vector<DriverRecord>& records)
{
    for (DriverRecord& active : records) {
        if (active.hidden || !active.clsid)
            continue;
        const std::wstring name = WideFromUtf8(active.name);
        for (DriverRecord& hidden : records)
            if (hidden.hidden && hidden.view == active.view && hidden.clsid &&
                CompareStringOrdinal(WideFromUtf8(hidden.name).c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL &&
                NameSameClass(WideFromUtf8(*hidden.clsid).c_str(), WideFromUtf8(*active.clsid).c_str()))
                active.registeredAgain = hidden.registeredAgain = true;
    }
}

}  // namespace

const char* HealthWord(Health health)
{
    switch (health) {
    case Health::Ok:
        return "ok";
    case Health::ServerMissing:
        return "server missing";
    case Health::WrongArchitecture:
        return "wrong architecture";
    case Health::NotRegistered:
        return "not registered";
    case Health::BadClsid:
        return "bad CLSID";
    case Health::NotADriver:
        return "not a driver";
    }
    return "";
}

bool PassesCheck(Health health)
{
    return health == Health::Ok || health == Health::NotADriver;
}

bool ReadDriverRecords(const std::vector<RegistryView>& views, std::vector<DriverRecord>& records, std::string& failure)
{
    for (const RegistryView& view : views) {
        const ViewReader reader(view);
        for (const bool hidden : {false, true}) {
            const char* path = hidden ? kHiddenLocationPath : kActiveLocationPath;
            RegistryKey location;
            const LONG rc = OpenLocation(path, KEY_READ | view.flag, location);
            if (rc == ERROR_FILE_NOT_FOUND)
                continue;
            if (rc != ERROR_SUCCESS) {
                failure =
                    "cannot read " + MachineKeyAsShown(view, path) + ": " + Utf8FromActiveCodePage(SystemErrorText(rc));
                return false;
            }
            reader.AddLocation(location.Get(), hidden, records);
        }
    }
    MarkRegisteredAgain(records);
    return true;
}
