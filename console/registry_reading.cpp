// Subkey enumeration and string values through the A calls, with buffers for the longest names and any value size.
#include "registry_reading.h"

#include <cstring>

namespace {

// A name is at most 255 characters, and one character may take three bytes in UTF-8.
constexpr DWORD kNameBufferSize = 3 * 255 + 1;
// Most values fit here; a longer one is read again into a buffer of its size.
constexpr DWORD kValueBufferSize = 512;

}  // namespace

std::vector<std::string> SubkeyNames(HKEY key)
{
    std::vector<std::string> names;
    DWORD count = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS)
        return names;
    names.reserve(count);
    for (DWORD index = 0; index < count; ++index) {
        char name[kNameBufferSize];
        DWORD size = kNameBufferSize;
        // Fails only for an index gone meanwhile, which is skipped.
        if (RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            names.emplace_back(name, size);
    }
    return names;
}

std::optional<StringValue> ReadStringValue(HKEY key, const char* name)
{
    char fixed[kValueBufferSize];
    std::vector<char> grown;
    char* data = fixed;
    DWORD type = REG_NONE;
    DWORD size = kValueBufferSize;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    if (rc == ERROR_MORE_DATA) {
        grown.resize(size);
        data = grown.data();
        rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    }
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    // Stored data need not end with a terminator, nor stop at the first.
    const size_t length = strnlen(data, size);
    return StringValue{std::string(data, length), type == REG_EXPAND_SZ};
}
