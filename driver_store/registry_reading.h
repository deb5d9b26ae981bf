// Reading a key's string values through the store's call table.
#pragma once

#include <windows.h>
#include <optional>
#include <string>

struct StringValue {
    std::string text;  // up to the first terminator, in the active code page
    bool expandable;   // REG_EXPAND_SZ: environment variables are expanded by whoever uses it
};
// A value of type REG_SZ or REG_EXPAND_SZ as stored, in `value`; nothing when there is no such value or it is of
// another type. Returns the code of a read that failed for another reason than the value's absence.
[[nodiscard]] LONG ReadStringValue(HKEY key, const char* name, std::optional<StringValue>& value);
