// Reading both registrations through the store's read path and comparing the classes they name.
#include "same_driver.h"

#include "driver_entries.h"
#include "registry_reading.h"

#include <objbase.h>

#include <optional>

namespace {

// A GUID's text without braces.
constexpr size_t kGuidLength = 36;

// The class a text names, read by the platform's own parser: a text is a GUID, braced or bare, or names none.
bool ParseClass(const std::string& text, GUID& parsed)
{
    std::string bare = text;
    if (bare.size() == kGuidLength + 2 && bare.front() == '{' && bare.back() == '}')
        bare = bare.substr(1, kGuidLength);
    if (bare.size() != kGuidLength)
        return false;
    wchar_t braced[kGuidLength + 3] = L"{";
    for (size_t index = 0; index < kGuidLength; ++index) {
        // Anything but ASCII is no part of a GUID.
        if (static_cast<unsigned char>(bare[index]) > 0x7F)
            return false;
        braced[index + 1] = static_cast<wchar_t>(bare[index]);
    }
    braced[kGuidLength + 1] = L'}';
    return IIDFromString(braced, &parsed) == S_OK;
}

}  // namespace

bool NameSameClass(const std::string& one, const std::string& other)
{
    GUID first;
    GUID second;
    return ParseClass(one, first) && ParseClass(other, second) && IsEqualGUID(first, second);
}

LONG HoldSameDriver(HKEY one, HKEY other, bool& same)
{
    same = false;
    std::optional<StringValue> first;
    std::optional<StringValue> second;
    LONG rc = ReadStringValue(one, kRegistrationValue, first);
    if (rc == ERROR_SUCCESS)
        rc = ReadStringValue(other, kRegistrationValue, second);
    if (rc != ERROR_SUCCESS)
        return rc;
    same = first && second && NameSameClass(first->text, second->text);
    return ERROR_SUCCESS;
}
