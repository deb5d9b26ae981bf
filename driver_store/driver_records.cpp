// Reading the records: each subkey's values, its class's InprocServer32 in the same view, and the server file.
#include "driver_records.h"

#include "driver_entries.h"
#include "registry_key.h"
#include "registry_reading.h"
#include "same_driver.h"
#include "server_file.h"

#include <objbase.h>

namespace {

constexpr char kDescriptionValue[] = "Description";
constexpr char kServerKey[] = "\\InprocServer32";

// As a host reads a driver's class id: a string holding a GUID in braces.
bool HoldsGuid(const std::optional<StringValue>& clsid)
{
    if (!clsid)
        return false;
    wchar_t wide[64] = {};
    IID parsed;
    return MultiByteToWideChar(CP_ACP, 0, clsid->text.c_str(), -1, wide, 64) > 0 &&
           IIDFromString(wide, &parsed) == S_OK;
}

Health HealthOf(ServerFile file)
{
    switch (file) {
    case ServerFile::Loadable:
        return Health::Ok;
    case ServerFile::Missing:
        return Health::ServerMissing;
    case ServerFile::WrongArchitecture:
        break;
    }
    return Health::WrongArchitecture;
}

// The registrations of one view, where hosts of that view look their drivers' classes up.
class ViewReader {
public:
    explicit ViewReader(const RegistryView& view) : view_(view), files_(view)
    {
        classesOpened_ = classes_.Open(HKEY_CLASSES_ROOT, "CLSID", KEY_READ | view.flag);
    }

    RecordsFailure AddLocation(const char* path, bool hidden, std::vector<DriverRecord>& records) const
    {
        RegistryKey location;
        LONG rc = OpenLocation(path, KEY_READ | view_.flag, location);
        if (rc == ERROR_FILE_NOT_FOUND)
            return {};
        std::vector<std::string> names;
        if (rc == ERROR_SUCCESS)
            rc = ReadSubkeyNames(location.Get(), names);
        if (rc != ERROR_SUCCESS)
            return {rc, MachineKeyAsShown(view_, path)};
        for (const std::string& name : names) {
            DriverRecord record{view_.bits, hidden, name, {}, {}, {}, Health::NotADriver};
            rc = Read(location, record);
            if (rc != ERROR_SUCCESS)
                return {rc, MachineKeyAsShown(view_, std::string(path) + "\\" + name)};
            records.push_back(std::move(record));
        }
        return {};
    }

private:
    LONG Read(const RegistryKey& location, DriverRecord& record) const
    {
        RegistryKey entry;
        LONG rc = location.OpenSubkey(record.name.c_str(), KEY_QUERY_VALUE, entry);
        // Gone since it was listed: nothing is left to say of it but its name.
        if (rc == ERROR_FILE_NOT_FOUND)
            return ERROR_SUCCESS;
        std::optional<StringValue> description;
        std::optional<StringValue> clsid;
        if (rc == ERROR_SUCCESS)
            rc = ReadStringValue(entry.Get(), kDescriptionValue, description);
        if (rc == ERROR_SUCCESS)
            rc = FindValue(location.Get(), record.name.c_str(), kRegistrationValue, NameCase::Any, view_.flag);
        if (rc == ERROR_FILE_NOT_FOUND) {
            record.description = Text(description);
            return ERROR_SUCCESS;
        }
        if (rc == ERROR_SUCCESS)
            rc = ReadStringValue(entry.Get(), kRegistrationValue, clsid);
        if (rc != ERROR_SUCCESS)
            return rc;
        record.description = Text(description);
        record.clsid = Text(clsid);
        record.health = HoldsGuid(clsid) ? ServerHealth(clsid->text, record.server) : Health::BadClsid;
        return ERROR_SUCCESS;
    }

    static std::optional<std::string> Text(const std::optional<StringValue>& value)
    {
        return value ? std::optional<std::string>(value->text) : std::nullopt;
    }

    // Missing, the registration leaves the class unregistered; unreadable, it says so.
    Health ServerHealth(const std::string& clsid, std::optional<std::string>& server) const
    {
        LONG rc = classesOpened_;
        RegistryKey serverKey;
        std::optional<StringValue> registered;
        if (rc == ERROR_SUCCESS)
            rc = classes_.OpenSubkey((clsid + kServerKey).c_str(), KEY_QUERY_VALUE, serverKey);
        if (rc == ERROR_SUCCESS)
            rc = ReadStringValue(serverKey.Get(), "", registered);
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
            return Health::RegistrationUnreadable;
        if (!registered || registered->text.empty())
            return Health::NotRegistered;
        const std::string path = files_.Resolve(registered->text, registered->expandable);
        server = path;
        return HealthOf(files_.Check(path));
    }

    RegistryView view_;
    ServerFiles files_;
    RegistryKey classes_;
    LONG classesOpened_;
};

// The name in UTF-16, as the registry compares names.
std::wstring WideName(const std::string& name)
{
    std::wstring wide(name.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length - 1 : 0);
    return wide;
}

// Both records of a name that a view holds in both locations as the same driver: the names compared as the
// registry compares them, the classes as the move compares them.
void MarkRegisteredAgain(std::vector<DriverRecord>& records)
{
    for (DriverRecord& active : records) {
        if (active.hidden || !active.clsid)
            continue;
        const std::wstring name = WideName(active.name);
        for (DriverRecord& hidden : records)
            if (hidden.hidden && hidden.view == active.view && hidden.clsid &&
                SameRegistryName(WideName(hidden.name).c_str(), name.c_str()) &&
                NameSameClass(*hidden.clsid, *active.clsid))
                active.registeredAgain = hidden.registeredAgain = true;
    }
}

}  // namespace

RecordsFailure ReadDriverRecords(const std::vector<RegistryView>& views, bool activeOnly,
                                 std::vector<DriverRecord>& records)
{
    for (const RegistryView& view : views) {
        const ViewReader reader(view);
        for (const bool hidden : {false, true}) {
            if (hidden && activeOnly)
                continue;
            RecordsFailure failure = reader.AddLocation(hidden ? kHiddenLocationPath : kActiveLocationPath, hidden,
                                                        records);
            if (failure.code != ERROR_SUCCESS)
                return failure;
        }
    }
    MarkRegisteredAgain(records);
    return {};
}
