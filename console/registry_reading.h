// Reading what the console programs show of a key: the names of its subkeys and its string values.
#pragma once

#include <windows.h>
#include <optional>
#include <string>
#include <vector>

// Every direct subkey's name in the registry's enumeration order, in the active code page.
std::vector<std::string> SubkeyNames(HKEY key);

struct StringValue {
    std::string text;  // up to the first terminator, in the active code page
    bool expandable;   // REG_EXPAND_SZ: environment variables are expanded by whoever uses it
};
// A value of type REG_SZ or REG_EXPAND_SZ as stored; nothing when there is no such value or it is of another type.
std::optional<StringValue> ReadStringValue(HKEY key, const char* name);
