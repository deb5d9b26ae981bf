// The system's own description of an error code, for the messages that say why something was not done.
#pragma once

#include <windows.h>
#include <string>

// The store's own reasons for leaving an entry where it is. Bit 29 marks a code as an application's own, so no
// system code is ever one of them; the system has no text for them, and SystemErrorText gives the store's.
constexpr LONG kNameCutShortError = 0x20000001;
constexpr LONG kRegistryLinkError = 0x20000002;

// One line, without the trailing line break; "error N" where the system has no text for the code.
std::string SystemErrorText(LONG code);
// The system's own line alone, empty where the system has no text for the code (Wine has none for some).
std::string SystemWordsFor(LONG code);
