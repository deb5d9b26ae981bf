// Building a child program's command line, argument by argument, so that it reads back exactly what was given.
#pragma once

#include <string>

// The argument as CommandLineToArgvW and the C runtime split it back into the same text: left as it is where it
// holds no blank and no quote, else in quotes, with every quote and the backslashes before a quote escaped.
std::wstring QuoteArgument(const std::wstring& argument);
