// The baseline of the console program's rows: for `list` (both locations) or `check` (the active ones) of both
// registry views, the registry and file calls quimble64.exe makes for each subkey, in the same order, and one line of
// plain text per subkey instead of JSON or a table. No layer around the calls.
// Usage: raw_console_listing list|check
#include <windows.h>
#include <objbase.h>

#include <cstring>
#include <string>

namespace {

struct View {
    REGSAM flag;
    bool wow64;
    WORD machine;
};

std::string QueryString(HKEY key, const char* name)
{
    char data[512];
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::string();
    return std::string(data, strnlen(data, size));
}

// The exact-name test of a driver entry: the entry opened again and its value names enumerated.
bool HasClsid(HKEY location, const char* name, REGSAM flag)
{
    HKEY entry = nullptr;
    if (RegOpenKeyExA(location, name, 0, KEY_READ | flag, &entry) != ERROR_SUCCESS)
        return false;
    DWORD values = 0;
    RegQueryInfoKeyA(entry, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    bool found = false;
    char valueName[16384];
    for (DWORD index = 0; index < values; ++index) {
        DWORD size = 16383;
        if (RegEnumValueA(entry, index, valueName, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
            std::strcmp(valueName, "CLSID") == 0)
            found = true;
    }
    RegCloseKey(entry);
    return found;
}

const char* ServerHealth(const std::string& path, WORD machine)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "server missing";
    IMAGE_DOS_HEADER dos = {};
    struct {
        DWORD signature;
        IMAGE_FILE_HEADER header;
    } nt = {};
    DWORD read = 0;
    bool loadable = SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
                    ReadFile(file, &dos, sizeof dos, &read, nullptr) && read == sizeof dos &&
                    SetFilePointer(file, dos.e_lfanew, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
                    ReadFile(file, &nt, sizeof nt, &read, nullptr) && read == sizeof nt &&
                    nt.header.Machine == machine && (nt.header.Characteristics & IMAGE_FILE_DLL);
    CloseHandle(file);
    return loadable ? "ok" : "wrong architecture";
}

void ListLocation(const View& view, HKEY classes, const char* path, const std::string& systemFolder,
                  const std::string& system32, std::string& out)
{
    HKEY location = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | view.flag, &location) != ERROR_SUCCESS)
        return;
    DWORD subkeys = 0;
    RegQueryInfoKeyA(location, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    for (DWORD index = 0; index < subkeys; ++index) {
        char name[3 * 255 + 1];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(location, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        HKEY entry = nullptr;
        if (RegOpenKeyExA(location, name, 0, KEY_QUERY_VALUE | view.flag, &entry) != ERROR_SUCCESS)
            continue;
        const std::string description = QueryString(entry, "Description");
        std::string health = "not a driver";
        std::string server;
        if (HasClsid(location, name, view.flag)) {
            const std::string clsid = QueryString(entry, "CLSID");
            wchar_t wide[64] = {};
            MultiByteToWideChar(CP_ACP, 0, clsid.c_str(), -1, wide, 64);
            IID parsed;
            HKEY registration = nullptr;
            if (IIDFromString(wide, &parsed) != S_OK) {
                health = "bad CLSID";
            } else if (RegOpenKeyExA(classes, (clsid + "\\InprocServer32").c_str(), 0, KEY_QUERY_VALUE | view.flag,
                                     &registration) != ERROR_SUCCESS) {
                health = "not registered";
            } else {
                char expanded[MAX_PATH];
                ExpandEnvironmentStringsA(QueryString(registration, "").c_str(), expanded, MAX_PATH);
                RegCloseKey(registration);
                server = expanded;
                if (view.wow64 && _strnicmp(server.c_str(), system32.c_str(), system32.size()) == 0)
                    server = systemFolder + server.substr(system32.size());
                health = ServerHealth(server, view.machine);
            }
        }
        RegCloseKey(entry);
        out += std::string(name) + "\t" + description + "\t" + server + "\t" + health + "\n";
    }
    RegCloseKey(location);
}

}  // namespace

int main(int argc, char** argv)
{
    const bool check = argc == 2 && std::strcmp(argv[1], "check") == 0;
    char system32[MAX_PATH] = {};
    char syswow64[MAX_PATH] = {};
    GetSystemDirectoryA(system32, MAX_PATH);
    GetSystemWow64DirectoryA(syswow64, MAX_PATH);
    const View views[] = {{0, false, IMAGE_FILE_MACHINE_AMD64}, {KEY_WOW64_32KEY, true, IMAGE_FILE_MACHINE_I386}};
    std::string out;
    for (const View& view : views) {
        HKEY classes = nullptr;
        RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ | view.flag, &classes);
        const std::string systemFolder = view.wow64 ? syswow64 : system32;
        ListLocation(view, classes, "Software\\ASIO", systemFolder, system32, out);
        if (!check)
            ListLocation(view, classes, "Software\\ASIO Quimble", systemFolder, system32, out);
        RegCloseKey(classes);
    }
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
    return 0;
}
