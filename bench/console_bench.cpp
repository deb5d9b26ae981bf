// Seeding both registry views for the console rows, and one timed run of a console program with its output in a file.
#include "console_bench.h"

#include <windows.h>

#include <cstdio>

namespace {

struct SeededView {
    REGSAM flag;
    WORD machine;
};

constexpr char kServerName[] = "quimble-bench-server.dll";
constexpr char kRegisteredServer[] = "%SystemRoot%\\System32\\quimble-bench-server.dll";
constexpr char kClsidPrefix[] = "{0BE7C0DE-0000-4000-8000-";

std::string Clsid(int index)
{
    char clsid[48];
    std::snprintf(clsid, sizeof clsid, "%s%012d}", kClsidPrefix, index);
    return clsid;
}

std::string DriverName(int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "Console Bench %05d", index);
    return name;
}

std::string Folder(UINT(WINAPI* query)(LPSTR, UINT))
{
    char folder[MAX_PATH] = {};
    query(folder, MAX_PATH);
    return folder;
}

// The server of each view, where its hosts look: System32 for the 64-bit view, SysWOW64 for the 32-bit one.
std::string ServerPath(REGSAM flag)
{
    return (flag ? Folder(GetSystemWow64DirectoryA) : Folder(GetSystemDirectoryA)) + "\\" + kServerName;
}

bool PlaceServer(const std::string& path, WORD machine)
{
    IMAGE_DOS_HEADER dos = {};
    dos.e_magic = IMAGE_DOS_SIGNATURE;
    dos.e_lfanew = sizeof dos;
    struct {
        DWORD signature = IMAGE_NT_SIGNATURE;
        IMAGE_FILE_HEADER header = {};
    } nt;
    nt.header.Machine = machine;
    nt.header.Characteristics = IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_DLL;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, &dos, sizeof dos, &written, nullptr) && WriteFile(file, &nt, sizeof nt, &written, nullptr);
    CloseHandle(file);
    return ok;
}

LONG SetString(HKEY key, const char* name, DWORD type, const std::string& text)
{
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

// A key made under HKEY_LOCAL_MACHINE in the view, with one string value; the path's parents are made as needed.
bool MakeKey(REGSAM flag, const std::string& path, const char* name, DWORD type, const std::string& text)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | flag, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const bool ok = SetString(key, name, type, text) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

const SeededView kViews[] = {{0, IMAGE_FILE_MACHINE_AMD64}, {KEY_WOW64_32KEY, IMAGE_FILE_MACHINE_I386}};

}  // namespace

std::string SeedConsoleViews(int count)
{
    ClearConsoleViews();
    for (const SeededView& view : kViews) {
        if (!PlaceServer(ServerPath(view.flag), view.machine))
            return "cannot write " + ServerPath(view.flag);
        for (int index = 1; index <= count; ++index) {
            const std::string entry = "Software\\ASIO\\" + DriverName(index);
            const std::string registration = "Software\\Classes\\CLSID\\" + Clsid(index) + "\\InprocServer32";
            if (!MakeKey(view.flag, entry, "CLSID", REG_SZ, Clsid(index)) ||
                !MakeKey(view.flag, entry, "Description", REG_SZ, DriverName(index)) ||
                !MakeKey(view.flag, registration, "", REG_EXPAND_SZ, kRegisteredServer))
                return "cannot seed " + entry;
        }
        if (!MakeKey(view.flag, "Software\\ASIO Quimble", "", REG_SZ, ""))
            return "cannot make the hidden location";
    }
    return std::string();
}

std::vector<std::string> SeedProbeDrivers(int count, const std::string& server, std::string& failure)
{
    ClearConsoleViews();
    std::vector<std::string> clsids;
    for (int index = 1; index <= count; ++index) {
        const std::string entry = "Software\\ASIO\\" + DriverName(index);
        const std::string registration = "Software\\Classes\\CLSID\\" + Clsid(index) + "\\InprocServer32";
        if (!MakeKey(0, entry, "CLSID", REG_SZ, Clsid(index)) ||
            !MakeKey(0, registration, "", REG_SZ, server) ||
            !MakeKey(0, registration, "ThreadingModel", REG_SZ, "Both")) {
            failure = "cannot seed " + entry;
            return {};
        }
        clsids.push_back(Clsid(index));
    }
    return clsids;
}

void ClearConsoleViews()
{
    for (const SeededView& view : kViews) {
        // Opened in the view, the key's subkeys are the view's: RegDeleteTreeA itself takes no view.
        HKEY software = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS | view.flag, &software) == ERROR_SUCCESS) {
            RegDeleteTreeA(software, "ASIO");
            RegDeleteTreeA(software, "ASIO Quimble");
            RegCloseKey(software);
        }
        HKEY classes = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID", 0, KEY_ALL_ACCESS | view.flag, &classes) ==
            ERROR_SUCCESS) {
            // Only this benchmark's classes: every other one of the prefix stays.
            for (DWORD index = 0;;) {
                char name[64];
                DWORD size = sizeof name;
                if (RegEnumKeyExA(classes, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                    break;
                if (std::string(name).compare(0, sizeof kClsidPrefix - 1, kClsidPrefix) == 0)
                    RegDeleteTreeA(classes, name);
                else
                    ++index;
            }
            RegCloseKey(classes);
        }
        DeleteFileA(ServerPath(view.flag).c_str());
    }
}

ConsoleTiming TimeConsoleRun(const std::string& exe, const std::string& arguments)
{
    ConsoleTiming timing;
    char folder[MAX_PATH];
    char path[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "qcb", 0, path);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    std::string commandLine = "\"" + exe + "\" " + arguments;
    PROCESS_INFORMATION info = {};
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &info)) {
        CloseHandle(output);
        timing.failure = commandLine + ": cannot start it, error " + std::to_string(GetLastError());
        return timing;
    }
    DWORD exitCode = 1;
    WaitForSingleObject(info.hProcess, INFINITE);
    QueryPerformanceCounter(&end);
    GetExitCodeProcess(info.hProcess, &exitCode);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    timing.ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    SetFilePointer(output, 0, nullptr, FILE_BEGIN);
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(output, buffer, sizeof buffer, &read, nullptr) && read)
        timing.output.append(buffer, read);
    CloseHandle(output);
    if (exitCode != 0)
        timing.failure = commandLine + " ended with " + std::to_string(exitCode) + ": " + timing.output.substr(0, 400);
    return timing;
}
