// Quoting by the rules of CommandLineToArgvW: 2n backslashes before a quote are n, 2n+1 are n and a literal quote.
#include "argument_quoting.h"

std::wstring QuoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t character : argument) {
        if (character == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there each is doubled, and the quote escaped.
        quoted.append(character == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        quoted += character;
        backslashes = 0;
    }
    // Before the closing quote too.
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}
