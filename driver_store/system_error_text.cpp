// The system's description of an error code as one line.
#include "system_error_text.h"

std::string SystemWordsFor(LONG code)
{
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text,
                                        sizeof text, nullptr);
    std::string line(text, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ' || line.back() == '.'))
        line.pop_back();
    return line;
}

std::string SystemErrorText(LONG code)
{
    if (code == kNameCutShortError)
        return "it holds a value, key or class name with a NUL character in it, which could not be written back whole";
    if (code == kRegistryLinkError)
        return "it holds a registry link, a key that stands for another key, which a move would not keep";
    const std::string line = SystemWordsFor(code);
    return line.empty() ? "error " + std::to_string(code) : line;
}
