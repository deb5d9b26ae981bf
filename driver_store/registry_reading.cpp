// String values through the A calls, with a buffer for any value size.
#include "registry_reading.h"

#include "registry_calls.h"

#include <cstring>
#include <vector>

namespace {

// Most values fit here; a longer one is read again into a buffer of its size.
constexpr DWORD kValueBufferSize = 512;

}  // namespace

LONG ReadStringValue(HKEY key, const char* name, std::optional<StringValue>& value)
{
    value.reset();
    char fixed[kValueBufferSize];
    std::vector<char> grown;
    char* data = fixed;
    DWORD type = REG_NONE;
    DWORD size = kValueBufferSize;
    LONG rc = registryCalls.queryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    if (rc == ERROR_MORE_DATA) {
        grown.resize(size);
        data = grown.data();
        rc = registryCalls.queryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    }
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return rc;
    // Stored data need not end with a terminator, nor stop at the first.
    const size_t length = strnlen(data, size);
    value = StringValue{std::string(data, length), type == REG_EXPAND_SZ};
    return ERROR_SUCCESS;
}
