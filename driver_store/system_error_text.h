// The system's description of an error code, for the messages that say why something was not done.
#pragma once

#include <windows.h>
#include <string>

// One line, without the trailing line break; "error N" where the system has no text for the code.
std::string SystemErrorText(LONG code);
// The same line, empty where the system has no text for the code (Wine has none for some).
std::string SystemWordsFor(LONG code);
