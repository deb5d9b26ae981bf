// Which views each edition serves, found once at the start.
#include "registry_views.h"

RegistryView OwnView()
{
#ifdef _WIN64
    return {64, 0, false};
#else
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64))
        wow64 = FALSE;
    return {32, 0, wow64 != FALSE};
#endif
}

std::vector<RegistryView> ServedViews()
{
#ifdef _WIN64
    return {OwnView(), {32, KEY_WOW64_32KEY, true}};
#else
    // A 32-bit process serves its own view only: the file system redirects its System32 to SysWOW64, so it would
    // check the 64-bit view's servers in the wrong folder. quimble64.exe serves both.
    return {OwnView()};
#endif
}

const RegistryView* FindView(const std::vector<RegistryView>& views, int bits)
{
    for (const RegistryView& view : views)
        if (view.bits == bits)
            return &view;
    return nullptr;
}

std::string MachinePathAsShown(const RegistryView& view, const std::string& path)
{
    constexpr char kSoftware[] = "Software\\";
    if (view.wow64 && path.compare(0, sizeof kSoftware - 1, kSoftware) == 0)
        return std::string(kSoftware) + "WOW6432Node\\" + path.substr(sizeof kSoftware - 1);
    return path;
}

std::string MachineKeyAsShown(const RegistryView& view, const std::string& path)
{
    return "HKLM\\" + MachinePathAsShown(view, path);
}
