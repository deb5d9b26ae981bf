// Writing records with nlohmann/json, and lining up the table's columns by the characters each cell shows.
#include "record_output.h"

#include "console_text.h"
#include "driver_entries.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace {

nlohmann::ordered_json TextOrNull(const std::optional<std::string>& text)
{
    return text ? nlohmann::ordered_json(*text) : nlohmann::ordered_json(nullptr);
}

TableRow RecordRow(const DriverRecord& record)
{
    const auto cell = [](const std::optional<std::string>& text) { return text ? *text : std::string("-"); };
    return {LocationWord(record.hidden), record.name,         cell(record.clsid),
            cell(record.description),    cell(record.server), HealthWord(record.health)};
}

// The names of the view's drivers registered again, each once, under a line that says what to do about them.
std::string RegisteredAgainNote(const std::vector<DriverRecord>& records, const RegistryView& view)
{
    std::string names;
    for (const DriverRecord& record : records)
        if (record.view == view.bits && record.registeredAgain && !record.hidden)
            names += "  " + record.name + "\n";
    if (names.empty())
        return names;
    return "Registered again, probably by an update (the same driver both active and hidden; hide --replace hides it "
           "again):\n" +
           names;
}

std::optional<std::string> Utf8Text(const std::optional<std::string>& text)
{
    return text ? std::optional<std::string>(Utf8FromActiveCodePage(*text)) : std::nullopt;
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
    case Health::RegistrationUnreadable:
        return "registration unreadable";
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

DriverRecord Utf8Record(DriverRecord record)
{
    record.name = Utf8FromActiveCodePage(record.name);
    record.clsid = Utf8Text(record.clsid);
    record.description = Utf8Text(record.description);
    record.server = Utf8Text(record.server);
    return record;
}

std::string RecordsAsJson(const std::vector<DriverRecord>& records)
{
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const DriverRecord& record : records) {
        array.push_back({
            {"view", record.view},
            {"location", LocationWord(record.hidden)},
            {"name", record.name},
            {"clsid", TextOrNull(record.clsid)},
            {"description", TextOrNull(record.description)},
            {"server", TextOrNull(record.server)},
            {"health", HealthWord(record.health)},
            {"registered_again", record.registeredAgain},
        });
    }
    // A name the registry holds with a lone surrogate has no UTF-8 form; it is written with a replacement character
    // rather than failing the whole document.
    return array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string RecordsAsTable(const std::vector<DriverRecord>& records, const std::vector<RegistryView>& views)
{
    std::string text;
    for (const RegistryView& view : views) {
        if (!text.empty())
            text += "\n";
        text += ViewHeading(view);
        std::vector<TableRow> rows = {{"location", "name", "CLSID", "description", "server", "health"}};
        for (const DriverRecord& record : records)
            if (record.view == view.bits)
                rows.push_back(RecordRow(record));
        text += rows.size() > 1 ? AlignedRows(rows) : "no entries\n";
        text += RegisteredAgainNote(records, view);
    }
    return text;
}

const char* LocationWord(bool hidden)
{
    return hidden ? "hidden" : "active";
}

std::string ViewHeading(const RegistryView& view)
{
    return std::to_string(view.bits) + "-bit view: " + MachineKeyAsShown(view, kActiveLocationPath) + " (active), " +
           MachineKeyAsShown(view, kHiddenLocationPath) + " (hidden)\n";
}

// The last column is not padded, so no line ends in spaces.
std::string AlignedRows(const std::vector<TableRow>& rows)
{
    std::vector<size_t> widths;
    for (const TableRow& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], CharacterCount(row[column]));
    }
    std::string text;
    for (const TableRow& row : rows) {
        for (size_t column = 0; column + 1 < row.size(); ++column)
            text += row[column] + std::string(widths[column] - CharacterCount(row[column]) + 2, ' ');
        text += (row.empty() ? std::string() : row.back()) + "\n";
    }
    return text;
}
