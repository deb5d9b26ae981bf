// Conversions between the active code page, UTF-16 and UTF-8, and writing to the standard handles.
#include "console_text.h"

#include "system_error_text.h"

#include <windows.h>

namespace {

std::wstring WideFrom(UINT codePage, const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int size = static_cast<int>(text.size());
    std::wstring wide(MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, &wide[0], static_cast<int>(wide.size()));
    return wide;
}

// WriteConsoleW takes at most 64 KiB of buffer on some systems, so long text goes in pieces, never splitting a
// surrogate pair.
void WriteToConsole(HANDLE console, const std::wstring& text)
{
    constexpr size_t kPiece = 8192;
    for (size_t start = 0; start < text.size();) {
        size_t length = text.size() - start < kPiece ? text.size() - start : kPiece;
        if (start + length < text.size() && IS_HIGH_SURROGATE(text[start + length - 1]))
            --length;
        DWORD written = 0;
        if (!WriteConsoleW(console, text.data() + start, static_cast<DWORD>(length), &written, nullptr) || !written)
            return;
        start += written;
    }
}

void WriteToFile(HANDLE file, const std::string& bytes)
{
    for (size_t start = 0; start < bytes.size();) {
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + start, static_cast<DWORD>(bytes.size() - start), &written, nullptr) ||
            !written)
            return;
        start += written;
    }
}

void WriteTo(DWORD standardHandle, const std::string& utf8)
{
    HANDLE handle = GetStdHandle(standardHandle);
    if (!handle || handle == INVALID_HANDLE_VALUE)
        return;
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode))
        WriteToConsole(handle, WideFromUtf8(utf8));
    else
        WriteToFile(handle, utf8);
}

}  // namespace

std::string Utf8FromActiveCodePage(const std::string& text)
{
    if (GetACP() == CP_UTF8)
        return text;
    return Utf8FromWide(WideFromActiveCodePage(text));
}

std::wstring WideFromActiveCodePage(const std::string& text)
{
    return WideFrom(CP_ACP, text);
}

std::wstring WideFromUtf8(const std::string& text)
{
    return WideFrom(CP_UTF8, text);
}

std::string Utf8FromWide(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int size = static_cast<int>(text.size());
    std::string utf8(WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &utf8[0], static_cast<int>(utf8.size()), nullptr, nullptr);
    return utf8;
}

std::string ErrorTextUtf8(long code)
{
    return Utf8FromActiveCodePage(SystemErrorText(code));
}

size_t CharacterCount(const std::string& utf8)
{
    size_t count = 0;
    // Every byte but a continuation byte starts a code point.
    for (unsigned char byte : utf8)
        if ((byte & 0xC0) != 0x80)
            ++count;
    return count;
}

void WriteOut(const std::string& utf8)
{
    WriteTo(STD_OUTPUT_HANDLE, utf8);
}

void WriteError(const std::string& utf8)
{
    WriteTo(STD_ERROR_HANDLE, utf8);
}

std::string ReadToEnd(void* handle)
{
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(handle, buffer, sizeof buffer, &read, nullptr) && read)
        bytes.append(buffer, read);
    return bytes;
}
