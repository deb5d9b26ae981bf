// The registry views the programs serve, how each is reached, and how the registry editor names their keys.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

struct RegistryView {
    int bits;     // 32 or 64: the hosts whose drivers the view holds
    REGSAM flag;  // OR-ed into the access of every open and create made in the view: KEY_WOW64_32KEY for the other
    bool wow64;   // the 32-bit view of 64-bit Windows, where System32 is SysWOW64 and Program Files has "(x86)"
};

// The view this process reaches without a view flag.
RegistryView OwnView();
// The 64-bit program serves its own view and the 32-bit one; the 32-bit program its own only (the 32-bit view).
std::vector<RegistryView> ServedViews();
// The served view of that many bits; null when this program does not serve it.
const RegistryView* FindView(const std::vector<RegistryView>& views, int bits);

// A path under HKEY_LOCAL_MACHINE as the registry editor shows it: "Software\WOW6432Node\ASIO" for the 32-bit view
// of 64-bit Windows, where a user would look for it.
std::string MachinePathAsShown(const RegistryView& view, const std::string& path);
// The same with "HKLM\" before it.
std::string MachineKeyAsShown(const RegistryView& view, const std::string& path);
