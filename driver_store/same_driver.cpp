// Reading both registrations through the store's call table and comparing the classes they name.
#include "same_driver.h"

#include "registry_calls.h"

#include <objbase.h>

#include <cwchar>

namespace {

// A GUID's text without braces; the buffer holds it braced with its terminator, and one character more that is always
// free for a terminator the stored data may lack.
constexpr size_t kGuidLength = 36;
constexpr DWORD kClassTextSize = kGuidLength + 4;

// The class a text names, read by the platform's own parser: a text is a GUID, braced or bare, or names none.
bool ParseClass(const wchar_t* text, GUID& parsed)
{
    size_t length = std::wcslen(text);
    if (length == kGuidLength + 2 && text[0] == L'{' && text[length - 1] == L'}') {
        ++text;
        length = kGuidLength;
    }
    if (length != kGuidLength)
        return false;
    wchar_t braced[kGuidLength + 3] = L"{";
    std::wmemcpy(braced + 1, text, kGuidLength);
    braced[kGuidLength + 1] = L'}';
    return IIDFromString(braced, &parsed) == S_OK;
}

// The entry's "CLSID" string, up to its first terminator; empty when it has none that could hold a GUID.
LONG ReadClassText(HKEY entry, wchar_t (&text)[kClassTextSize])
{
    DWORD type = REG_NONE;
    DWORD size = sizeof text - sizeof text[0];
    const LONG rc = registryCalls.queryValueExW(entry, L"CLSID", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    // Too long for the buffer is too long for a GUID.
    if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_MORE_DATA) {
        text[0] = L'\0';
        return ERROR_SUCCESS;
    }
    if (rc != ERROR_SUCCESS)
        return rc;
    text[type == REG_SZ || type == REG_EXPAND_SZ ? size / sizeof text[0] : 0] = L'\0';
    return ERROR_SUCCESS;
}

}  // namespace

bool NameSameClass(const wchar_t* one, const wchar_t* other)
{
    GUID first;
    GUID second;
    return ParseClass(one, first) && ParseClass(other, second) && IsEqualGUID(first, second);
}

LONG HoldSameDriver(HKEY one, HKEY other, bool& same)
{
    same = false;
    wchar_t first[kClassTextSize];
    wchar_t second[kClassTextSize];
    LONG rc = ReadClassText(one, first);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = ReadClassText(other, second);
    if (rc != ERROR_SUCCESS)
        return rc;
    same = NameSameClass(first, second);
    return ERROR_SUCCESS;
}
