// Invented driver registrations and views of location trees.
#include "driver_trees.h"

#include <algorithm>

namespace {

RegistryTree SettingsTree(const std::string& tag)
{
    const RegistryTree deepest = RegistryTree().Value("Raw", REG_BINARY, tag + std::string(2, '\0'));
    const RegistryTree channels = RegistryTree().String("Left", "1").Subkey("Deepest", deepest);
    return RegistryTree().Dword("Rate", 48000).Subkey("Channels", channels);
}

}  // namespace

RegistryTree DriverTree(const std::string& tag)
{
    return RegistryTree()
        .String("CLSID", "{8A3D6C10-" + tag + "}")
        .String("Description", tag + " ASIO Driver")
        .String("", "")
        .Dword("Flags", 0x80000001)
        .Value("Blob", REG_BINARY, std::string("\0\x01\xfe\xff", 4) + tag)
        .Value("Ports", REG_MULTI_SZ, std::string("In 1\0In 2\0", 10) + tag + std::string("\0\0", 2))
        .Value("Empty", REG_BINARY, "")
        .Subkey("Firmware", RegistryTree().String("Version", "1.2." + tag))
        .Subkey("Settings", SettingsTree(tag));
}

RegistryTree Drivers(const std::vector<std::string>& names)
{
    RegistryTree location;
    for (const std::string& name : names)
        location.Subkey(name, DriverTree(name));
    return location;
}

std::vector<std::string> DriverNames(const RegistryTree& location)
{
    std::vector<std::string> names;
    for (const auto& [name, subtree] : location.subkeys)
        if (IsRegistration(subtree))
            names.push_back(name);
    return Sorted(names);
}

bool IsRegistration(const RegistryTree& subkey)
{
    // The trees find names as the registry does, ignoring case; an entry's value name must match exactly.
    const auto clsid = subkey.values.find("CLSID");
    return clsid != subkey.values.end() && clsid->first == "CLSID";
}

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}
