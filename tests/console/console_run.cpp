// Starting a console program without a console of its own, with inheritable handles for its standard streams.
#include "console_run.h"

#include "argument_quoting.h"
#include "console_text.h"
#include "unique_handle.h"

namespace {

constexpr DWORD kRunTimeoutMs = 60000;

// A scratch file that goes when its last handle closes: the child's inherited one and ours.
HANDLE InheritableScratchFile()
{
    wchar_t folder[MAX_PATH];
    wchar_t path[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"qcr", 0, path))
        return INVALID_HANDLE_VALUE;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

std::string ReadAll(HANDLE handle, bool fromStart)
{
    if (fromStart)
        SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
    return ReadToEnd(handle);
}

std::wstring CommandLine(const std::string& exe, const std::vector<std::string>& arguments)
{
    std::wstring commandLine = QuoteArgument(WideFromUtf8(exe));
    for (const std::string& argument : arguments)
        commandLine += L" " + QuoteArgument(WideFromUtf8(argument));
    return commandLine;
}

}  // namespace

ConsoleRun RunConsole(const std::string& exe, const std::vector<std::string>& arguments, OutputTo output)
{
    ConsoleRun run;
    std::wstring commandLine = CommandLine(exe, arguments);

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    KernelHandle input(
        CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr));
    KernelHandle errors(InheritableScratchFile());
    KernelHandle results(output == OutputTo::File ? InheritableScratchFile() : nullptr);
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (output == OutputTo::Pipe && CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    KernelHandle pipeRead(readEnd);
    PROCESS_INFORMATION info = {};
    bool started = false;
    {
        // Closed once the child has its copy, so that reading the pipe ends when the child does.
        KernelHandle pipeWrite(writeEnd);
        HANDLE out = output == OutputTo::File ? results.Get() : pipeWrite.Get();
        if (!input.IsOpen() || !errors.IsOpen() || !out) {
            run.failure = "cannot make the standard handles, error " + std::to_string(GetLastError());
            return run;
        }
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input.Get();
        startup.hStdOutput = out;
        startup.hStdError = errors.Get();
        started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                                 &startup, &info);
    }
    if (!started) {
        run.failure = "CreateProcessW(" + exe + ") failed, error " + std::to_string(GetLastError());
        return run;
    }
    KernelHandle process(info.hProcess);
    CloseHandle(info.hThread);
    if (output == OutputTo::Pipe)
        run.out = ReadAll(pipeRead.Get(), false);
    if (WaitForSingleObject(process.Get(), kRunTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
        run.failure = exe + " did not end within " + std::to_string(kRunTimeoutMs / 1000) + " s";
        return run;
    }
    GetExitCodeProcess(process.Get(), &run.exitCode);
    if (output == OutputTo::File)
        run.out = ReadAll(results.Get(), true);
    run.err = ReadAll(errors.Get(), true);
    return run;
}

ConsoleRun RunInNewConsole(const std::string& exe, const std::vector<std::string>& arguments)
{
    // Wide enough that no row of a listing wraps.
    constexpr SHORT kColumns = 400;
    constexpr SHORT kRows = 200;
    ConsoleRun run;
    std::wstring commandLine = CommandLine(exe, arguments);
    // Any console the test was started with is left first: only a console of its own can be read back.
    FreeConsole();
    if (!AllocConsole()) {
        run.failure = "AllocConsole failed, error " + std::to_string(GetLastError());
        return run;
    }
    KernelHandle screen(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!screen.IsOpen() || !SetConsoleScreenBufferSize(screen.Get(), {kColumns, kRows}) ||
        !CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        run.failure = "cannot run " + exe + " in a new console, error " + std::to_string(GetLastError());
        FreeConsole();
        return run;
    }
    KernelHandle process(info.hProcess);
    CloseHandle(info.hThread);
    if (WaitForSingleObject(process.Get(), kRunTimeoutMs) != WAIT_OBJECT_0)
        TerminateProcess(process.Get(), 1);
    GetExitCodeProcess(process.Get(), &run.exitCode);
    std::wstring shown;
    for (SHORT row = 0; row < kRows; ++row) {
        std::wstring cells(kColumns, L' ');
        DWORD read = 0;
        ReadConsoleOutputCharacterW(screen.Get(), &cells[0], kColumns, {0, row}, &read);
        cells.erase(cells.find_last_not_of(L' ') + 1);
        shown += cells + L"\n";
    }
    shown.erase(shown.find_last_not_of(L'\n') + 1);
    run.out = Utf8FromWide(shown) + "\n";
    FreeConsole();
    return run;
}

std::string Describe(const ConsoleRun& run)
{
    if (!run.failure.empty())
        return run.failure;
    return "exit code " + std::to_string(run.exitCode) + "\nstdout:\n" + run.out + "stderr:\n" + run.err;
}
