// The records as a script reads them (one JSON array) and as a person reads them (an aligned table per view).
#pragma once

#include "driver_records.h"

#include <string>
#include <vector>

// The word the table and the JSON print for a health.
const char* HealthWord(Health health);
// Whether `check` passes the record: it loads, or it is no driver that a host would try.
bool PassesCheck(Health health);

// The record's texts, read in the active code page, as the programs print them: UTF-8.
DriverRecord Utf8Record(DriverRecord record);

// One UTF-8 JSON array, an object per record with the fields "view", "location", "name", "clsid", "description",
// "server", "health" and "registered_again", in that order; a missing string is null.
std::string RecordsAsJson(const std::vector<DriverRecord>& records);

// For each view, a heading that names its two locations as the registry editor shows them, then a row per record
// under column headings; a view without records says so. Under the rows, a note names the active records of
// drivers registered again.
std::string RecordsAsTable(const std::vector<DriverRecord>& records, const std::vector<RegistryView>& views);

// The tables' parts that other commands' tables share: the word of a location, a view's heading line, and rows
// aligned in columns as wide as their widest cell, two spaces apart, the first row being the column headings.
const char* LocationWord(bool hidden);
std::string ViewHeading(const RegistryView& view);
using TableRow = std::vector<std::string>;
std::string AlignedRows(const std::vector<TableRow>& rows);
