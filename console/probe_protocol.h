// What the probe's child tells its parent through the pipe: one line per fact, tab-separated fields, UTF-8, each
// line written before the next call so that the last one names where the child stopped.
#pragma once

#include <cstdio>
#include <string>

// The child's own mode of the console program: its arguments are the pipe's handle and the class id.
constexpr wchar_t kProbeChildMode[] = L"--probe-child";

// "call <name>": about to make that call.
constexpr char kLineCall[] = "call";
// "failed <call> <0xHRESULT>": CoInitialize or CoCreateInstance failed.
constexpr char kLineFailed[] = "failed";
// "error <text>": init returned false, and getErrorMessage said why.
constexpr char kLineError[] = "error";
// "name <text>", "version <n>", "channels <in> <out>", "buffer <min> <max> <preferred> <granularity>", "rate <Hz>".
constexpr char kLineName[] = "name";
constexpr char kLineVersion[] = "version";
constexpr char kLineChannels[] = "channels";
constexpr char kLineBuffer[] = "buffer";
constexpr char kLineRate[] = "rate";
// "crash <0xCODE> <module file name>": the child's last line when an exception reached its filter.
constexpr char kLineCrash[] = "crash";

// The last call of a child that went through every call: once it is reported, the child ends itself.
constexpr char kCallExitProcess[] = "ExitProcess";
constexpr char kCallCoCreateInstance[] = "CoCreateInstance";

// A code as the pipe and the results write it: "0x" and eight upper-case hex digits.
inline std::string HexCode(unsigned long code)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", code);
    return text;
}
