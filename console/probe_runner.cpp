// Starting each child in its job, waiting for it within the timeout, ending the job, and reading what the child
// reported into a result. Nothing of the child is trusted but its lines; its exit code only says how it ended.
#include "probe_runner.h"

#include "argument_quoting.h"
#include "console_text.h"
#include "exit_code.h"
#include "probe_protocol.h"
#include "program_name.h"
#include "registry_views.h"
#include "system_error_text.h"
#include "unique_handle.h"

#include <windows.h>
#include <objbase.h>

#include <cstdlib>

namespace {

// Far more than a child's report, so its writes never wait for the parent, which reads once the child has ended.
constexpr DWORD kPipeSize = 64 * 1024;
// After the job is ended, how long its process may take to go.
constexpr DWORD kEndingMs = 5000;

struct ChildRun {
    std::string failure;  // why the child could not be run; empty when it ran
    std::vector<std::vector<std::string>> lines;  // each line's tab-separated fields
    bool timedOut = false;
    DWORD exitCode = 0;
};

struct ProbeProgram {
    std::wstring path;
    std::string whyNot;  // empty when the program is there
};

std::wstring OwnPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// This program loads drivers of its own architecture; quimble64.exe leaves the 32-bit ones to quimble.exe beside it.
ProbeProgram ProgramFor(int view)
{
    const std::wstring own = OwnPath();
    if (view == OwnView().bits)
        return {own, ""};
    const std::wstring other = own.substr(0, own.find_last_of(L'\\') + 1) + L"quimble.exe";
    const DWORD attributes = GetFileAttributesW(other.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {other, ""};
    return {L"", "quimble.exe, which loads the 32-bit drivers, is not beside " + std::string(kProgramName) + ".exe"};
}

std::vector<std::vector<std::string>> SplitLines(const std::string& bytes)
{
    std::vector<std::vector<std::string>> lines;
    size_t begin = 0;
    for (size_t end; (end = bytes.find('\n', begin)) != std::string::npos; begin = end + 1) {
        std::vector<std::string> fields;
        const std::string line = bytes.substr(begin, end - begin);
        size_t from = 0;
        for (size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
            fields.push_back(line.substr(from, tab - from));
        fields.push_back(line.substr(from));
        lines.push_back(fields);
    }
    return lines;
}

std::string WhyNot(const char* what)
{
    return std::string(what) + " failed: " + ErrorTextUtf8(static_cast<LONG>(GetLastError()));
}

// A job that ends every process in it once its last handle is closed, whatever the processes do.
KernelHandle KillingJob()
{
    KernelHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job.IsOpen())
        return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
        job.Close();
    return job;
}

// Starts the child suspended, in the job, with the pipe's write end and the null device as its only handles.
ChildRun RunChild(const std::wstring& program, const std::wstring& clsid, DWORD timeoutMs)
{
    ChildRun run;
    const KernelHandle job = KillingJob();
    if (!job.IsOpen()) {
        run.failure = WhyNot("CreateJobObject");
        return run;
    }
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    KernelHandle pipeRead;
    KernelHandle pipeWrite;
    if (!CreatePipe(pipeRead.Receive(), pipeWrite.Receive(), &inherit, kPipeSize)) {
        run.failure = WhyNot("CreatePipe");
        return run;
    }
    SetHandleInformation(pipeRead.Get(), HANDLE_FLAG_INHERIT, 0);
    const KernelHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inherit, OPEN_EXISTING, 0, nullptr));
    if (!nul.IsOpen()) {
        run.failure = WhyNot("CreateFile(NUL)");
        return run;
    }
    std::wstring commandLine = QuoteArgument(program) + L" " + kProbeChildMode + L" " +
                               std::to_wstring(reinterpret_cast<uintptr_t>(pipeWrite.Get())) + L" " +
                               QuoteArgument(clsid);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul.Get();
    startup.hStdOutput = nul.Get();
    startup.hStdError = nul.Get();
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED | CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &info)) {
        run.failure = WhyNot("CreateProcess");
        return run;
    }
    // Closed once the child has its copy, so that the pipe ends when the child's side does.
    pipeWrite.Close();
    const KernelHandle process(info.hProcess);
    const KernelHandle thread(info.hThread);
    if (!AssignProcessToJobObject(job.Get(), process.Get())) {
        run.failure = WhyNot("AssignProcessToJobObject");
        TerminateProcess(process.Get(), 1);
        return run;
    }
    ResumeThread(thread.Get());
    run.timedOut = WaitForSingleObject(process.Get(), timeoutMs) == WAIT_TIMEOUT;
    // Whatever the child started goes with it; then the pipe's last writer is gone and the read below ends.
    TerminateJobObject(job.Get(), ERROR_TIMEOUT);
    WaitForSingleObject(process.Get(), kEndingMs);
    GetExitCodeProcess(process.Get(), &run.exitCode);
    run.lines = SplitLines(ReadToEnd(pipeRead.Get()));
    return run;
}

unsigned long CodeFromHex(const std::string& text)
{
    return std::strtoul(text.c_str(), nullptr, 16);
}

long Number(const std::string& text)
{
    return std::strtol(text.c_str(), nullptr, 10);
}

// The system's words for an HRESULT, where it has them.
std::optional<std::string> SystemWords(unsigned long code)
{
    const std::string words = SystemWordsFor(static_cast<LONG>(code));
    if (words.empty())
        return std::nullopt;
    return Utf8FromActiveCodePage(words);
}

// The facts the child reported, the call it was in last, and what ended it.
ProbeResult Interpret(const ProbeTarget& target, const ChildRun& run)
{
    ProbeResult result;
    result.target = target;
    bool initFailed = false;
    for (const std::vector<std::string>& fields : run.lines) {
        const std::string& kind = fields[0];
        const size_t count = fields.size();
        if (kind == kLineCall && count == 2) {
            result.call = fields[1];
        } else if (kind == kLineFailed && count == 3) {
            result.outcome = ProbeOutcome::CannotLoad;
            result.code = CodeFromHex(fields[2]);
            result.message = SystemWords(*result.code);
            return result;
        } else if (kind == kLineCrash && count == 3) {
            result.outcome = ProbeOutcome::Crashes;
            result.code = CodeFromHex(fields[1]);
            const char* name = ExceptionName(*result.code);
            result.message = *name ? name : "exception";
            result.module = fields[2].empty() ? std::nullopt : std::optional<std::string>(fields[2]);
            return result;
        } else if (kind == kLineError && count == 2) {
            initFailed = true;
            result.message = fields[1];
        } else if (kind == kLineName && count == 2) {
            result.driverName = fields[1];
        } else if (kind == kLineVersion && count == 2) {
            result.driverVersion = Number(fields[1]);
        } else if (kind == kLineChannels && count == 3) {
            result.inputs = Number(fields[1]);
            result.outputs = Number(fields[2]);
        } else if (kind == kLineBuffer && count == 5) {
            result.bufferMin = Number(fields[1]);
            result.bufferMax = Number(fields[2]);
            result.bufferPreferred = Number(fields[3]);
            result.bufferGranularity = Number(fields[4]);
        } else if (kind == kLineRate && count == 2) {
            result.sampleRate = std::strtod(fields[1].c_str(), nullptr);
        }
    }
    if (!result.call) {
        result.message = "the probe's child ended before its first call, with exit code " +
                         std::to_string(run.exitCode);
        return result;
    }
    if (run.timedOut) {
        result.outcome = ProbeOutcome::Hangs;
        return result;
    }
    if (*result.call == kCallExitProcess && run.exitCode == static_cast<DWORD>(ExitCode::Done)) {
        result.outcome = initFailed ? ProbeOutcome::InitFailed : ProbeOutcome::Loads;
        result.call = std::nullopt;
        return result;
    }
    // The child ended in a call without a word: the driver ended the process, or an exception got past the filter.
    result.outcome = ProbeOutcome::Crashes;
    result.code = run.exitCode;
    const char* name = ExceptionName(run.exitCode);
    result.message = *name ? std::string(name) : "the process ended with exit code " + std::to_string(run.exitCode);
    return result;
}

ProbeResult Probe(const ProbeTarget& target, DWORD timeoutMs)
{
    ProbeResult result;
    result.target = target;
    CLSID parsed;
    const std::wstring clsid = target.clsid ? WideFromUtf8(*target.clsid) : std::wstring();
    if (!target.clsid || IIDFromString(clsid.c_str(), &parsed) != S_OK) {
        result.message = "no CLSID string holding a GUID";
        return result;
    }
    const ProbeProgram program = ProgramFor(target.view);
    if (!program.whyNot.empty()) {
        result.message = program.whyNot;
        return result;
    }
    const ChildRun run = RunChild(program.path, clsid, timeoutMs);
    if (!run.failure.empty()) {
        result.message = run.failure;
        return result;
    }
    return Interpret(target, run);
}

}  // namespace

const char* ProbeOutcomeWord(ProbeOutcome outcome)
{
    switch (outcome) {
    case ProbeOutcome::Loads:
        return "loads";
    case ProbeOutcome::InitFailed:
        return "init failed";
    case ProbeOutcome::Crashes:
        return "crashes";
    case ProbeOutcome::Hangs:
        return "hangs";
    case ProbeOutcome::CannotLoad:
        return "cannot load";
    case ProbeOutcome::NotProbed:
        return "not probed";
    }
    return "";
}

const char* ExceptionName(unsigned long code)
{
    struct Named {
        unsigned long code;
        const char* name;
    };
    static const Named kNames[] = {
        {0xC0000005, "access violation"},
        {0xC0000006, "in-page error"},
        {0xC000001D, "illegal instruction"},
        {0xC0000025, "noncontinuable exception"},
        {0xC000008C, "array bounds exceeded"},
        {0xC000008E, "floating-point division by zero"},
        {0xC0000094, "integer division by zero"},
        {0xC0000095, "integer overflow"},
        {0xC0000096, "privileged instruction"},
        {0xC00000FD, "stack overflow"},
        {0xC0000374, "heap corruption"},
        {0xC0000409, "stack buffer overrun"},
        {0x80000002, "datatype misalignment"},
        {0x80000003, "breakpoint"},
        {0xE06D7363, "C++ exception (Visual C++)"},
        {0x20474343, "C++ exception (GCC)"},
    };
    for (const Named& named : kNames)
        if (named.code == code)
            return named.name;
    return "";
}

std::vector<ProbeResult> ProbeDrivers(const std::vector<ProbeTarget>& targets, unsigned timeoutSeconds)
{
    std::vector<ProbeResult> results;
    for (const ProbeTarget& target : targets)
        results.push_back(Probe(target, timeoutSeconds * 1000));
    return results;
}
