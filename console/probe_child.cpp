// The child's calls, in a host's order and threading model, each announced on the pipe first; and the filter that
// reports an exception the driver let escape, instead of an error box or Wine's debugger.
#include "probe_child.h"

#include "asio_driver.h"
#include "console_text.h"
#include "exit_code.h"
#include "probe_protocol.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

HANDLE g_report = nullptr;

void WriteReport(const char* bytes, DWORD size)
{
    DWORD written = 0;
    WriteFile(g_report, bytes, size, &written, nullptr);
}

void Report(const std::string& line)
{
    const std::string terminated = line + "\n";
    WriteReport(terminated.data(), static_cast<DWORD>(terminated.size()));
}

void Calling(const char* call)
{
    Report(std::string(kLineCall) + "\t" + call);
}

// A driver's fixed-size text: up to its terminator or the buffer's end, as UTF-8, on one line of one field.
std::string DriverText(const char* text, size_t size)
{
    std::string line = Utf8FromActiveCodePage(std::string(text, strnlen(text, size)));
    for (char& c : line)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return line;
}

// The process may be broken when this runs: stack buffers only, one write, then the end.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception)
{
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    wchar_t path[MAX_PATH] = L"";
    HMODULE module = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(exception->ExceptionRecord->ExceptionAddress), &module))
        GetModuleFileNameW(module, path, MAX_PATH);
    const wchar_t* file = std::wcsrchr(path, L'\\');
    char name[3 * MAX_PATH] = "";
    WideCharToMultiByte(CP_UTF8, 0, file ? file + 1 : path, -1, name, sizeof name, nullptr, nullptr);
    char line[sizeof name + 64];
    const int length = std::snprintf(line, sizeof line, "%s\t0x%08lX\t%s\n", kLineCrash,
                                     static_cast<unsigned long>(code), name);
    if (length > 0)
        WriteReport(line, static_cast<DWORD>(length));
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

// The system handle a host passes to init: a top-level window of its own, never shown.
HWND HiddenWindow()
{
    return CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// What a host asks of a driver that is ready, each answer reported as it comes.
void ReadDriverFacts(AsioDriver& driver)
{
    Calling("getDriverName");
    char name[32] = {};
    driver.getDriverName(name);
    Report(std::string(kLineName) + "\t" + DriverText(name, sizeof name));

    Calling("getDriverVersion");
    Report(std::string(kLineVersion) + "\t" + std::to_string(driver.getDriverVersion()));

    Calling("getChannels");
    long inputs = 0;
    long outputs = 0;
    if (AsioSucceeded(driver.getChannels(&inputs, &outputs)))
        Report(std::string(kLineChannels) + "\t" + std::to_string(inputs) + "\t" + std::to_string(outputs));

    Calling("getBufferSize");
    long minimum = 0, maximum = 0, preferred = 0, granularity = 0;
    if (AsioSucceeded(driver.getBufferSize(&minimum, &maximum, &preferred, &granularity)))
        Report(std::string(kLineBuffer) + "\t" + std::to_string(minimum) + "\t" + std::to_string(maximum) + "\t" +
               std::to_string(preferred) + "\t" + std::to_string(granularity));

    Calling("getSampleRate");
    double rate = 0;
    if (AsioSucceeded(driver.getSampleRate(&rate))) {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", rate);
        Report(std::string(kLineRate) + "\t" + text);
    }
}

DWORD WINAPI ProbeDriver(void* parameter)
{
    const CLSID& clsid = *static_cast<const CLSID*>(parameter);
    Calling("CoInitialize");
    // A single-threaded apartment, as a host's own thread calls its driver.
    const HRESULT initialized = CoInitialize(nullptr);
    if (FAILED(initialized)) {
        Report(std::string(kLineFailed) + "\tCoInitialize\t" + HexCode(static_cast<unsigned long>(initialized)));
        return 0;
    }
    const HWND window = HiddenWindow();
    Calling(kCallCoCreateInstance);
    // A driver answers with its own class id as the interface id.
    void* object = nullptr;
    HRESULT created = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, clsid, &object);
    if (SUCCEEDED(created) && !object)
        created = E_POINTER;
    if (FAILED(created)) {
        Report(std::string(kLineFailed) + "\t" + kCallCoCreateInstance + "\t" +
               HexCode(static_cast<unsigned long>(created)));
    } else {
        AsioDriver* driver = static_cast<AsioDriver*>(object);
        Calling("init");
        if (driver->init(window)) {
            ReadDriverFacts(*driver);
        } else {
            Calling("getErrorMessage");
            char text[124] = {};
            driver->getErrorMessage(text);
            Report(std::string(kLineError) + "\t" + DriverText(text, sizeof text));
        }
        Calling("Release");
        driver->Release();
    }
    Calling("CoUninitialize");
    CoUninitialize();
    return 0;
}

}  // namespace

bool IsProbeChildMode(int argc, wchar_t** argv)
{
    return argc > 1 && std::wcscmp(argv[1], kProbeChildMode) == 0;
}

ExitCode RunProbeChild(int argc, wchar_t** argv)
{
    CLSID clsid;
    if (argc != 4 || CLSIDFromString(argv[3], &clsid) != NOERROR)
        return ExitCode::UsageError;
    g_report = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoull(argv[2], nullptr, 10)));
    // No box may wait for a user who is not there: not the system's, and, through the filter, not Wine's debugger
    // either, which the error mode alone does not keep away.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(ReportCrash);
    // On a thread of its own, as hosts call their drivers, and past the C runtime's frame around the entry, whose
    // filter would let a C++ exception from the driver end the process quietly instead of reaching this one.
    const HANDLE thread = CreateThread(nullptr, 0, ProbeDriver, &clsid, 0, nullptr);
    if (!thread)
        return ExitCode::NotDone;
    WaitForSingleObject(thread, INFINITE);
    Calling(kCallExitProcess);
    ExitProcess(static_cast<UINT>(ExitCode::Done));
}
