// The build host seen from inside Wine: its paths through Wine's own converter, which knows the prefix's drive mapping,
// and the prefix a program runs in.
#include "host_path.h"

#include <windows.h>

std::string WindowsPathOf(const std::string& hostPath)
{
    if (hostPath.empty() || hostPath[0] != '/')
        return hostPath;
    using ToDosName = WCHAR*(CDECL*)(const char*);
    // Through void (*)(): the cast between two unrelated function types is deliberate.
    auto toDosName = reinterpret_cast<ToDosName>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
    if (!toDosName)
        return hostPath;
    WCHAR* dosName = toDosName(hostPath.c_str());
    if (!dosName)
        return hostPath;
    char path[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, dosName, -1, path, sizeof path, nullptr, nullptr);
    HeapFree(GetProcessHeap(), 0, dosName);
    return path;
}

std::string CurrentWinePrefix()
{
    char prefix[MAX_PATH] = {};
    GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    return prefix;
}
