// Text of the console programs: converting between the code page of the A calls, UTF-16 and UTF-8, writing UTF-8
// to standard output and error as a console, a file or a pipe each needs it, and reading a file or a pipe to its end.
#pragma once

#include <string>

// Registry names and values come from the A calls in the active code page (UTF-8 where the manifest is honoured);
// everything the programs print is UTF-8.
std::string Utf8FromActiveCodePage(const std::string& text);
std::wstring WideFromActiveCodePage(const std::string& text);
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);
// The system's one line for an error code (the store's own for its codes), in UTF-8.
std::string ErrorTextUtf8(long code);

// Characters of UTF-8 text, for lining up columns: one per code point.
size_t CharacterCount(const std::string& utf8);

// A real console is written through WriteConsoleW, which shows every script whatever the console's code page; a
// file or a pipe gets the UTF-8 bytes.
void WriteOut(const std::string& utf8);
void WriteError(const std::string& utf8);

// Everything a file or a pipe gives from where it stands until its end.
std::string ReadToEnd(void* handle);
