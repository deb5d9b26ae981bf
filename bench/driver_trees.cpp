// Seeding the benchmark's drivers: trees with what installers write (the demo data's shape), so that the registry
// work of a move weighs what it does on a user's machine.
#include "driver_trees.h"

#include "dialog_timing.h"
#include "driver_entries.h"
#include "registry_key.h"

#include <windows.h>
#include <cstdio>
#include <initializer_list>

namespace {

struct SeedValue {
    const char* name;
    DWORD type;
    std::string data;  // the value's bytes, terminators included
};

struct SeedKey {
    std::string path;  // below the driver's entry; empty for the entry itself
    std::vector<SeedValue> values;
};

std::string Text(const std::string& text)
{
    return std::string(text.c_str(), text.size() + 1);
}

std::string Texts(std::initializer_list<const char*> texts)
{
    std::string data;
    for (const char* text : texts)
        data += Text(text);
    return data + '\0';
}

template <typename Number> std::string Bytes(Number number)
{
    return std::string(reinterpret_cast<const char*>(&number), sizeof number);
}

std::vector<SeedKey> DriverTree(int index)
{
    const std::string name = DriverName(index);
    char clsid[64];
    std::snprintf(clsid, sizeof clsid, "{0BE7C000-0000-4000-8000-%012d}", index);
    const std::string folder = "%ProgramFiles%\\Bench Audio\\" + name;
    return {
        {"",
         {
             {"", REG_SZ, Text("Bench Audio")},
             {"CLSID", REG_SZ, Text(clsid)},
             {"Description", REG_SZ, Text(name)},
             {"InstallDir", REG_EXPAND_SZ, Text(folder)},
             {"DriverPath", REG_EXPAND_SZ, Text(folder + "\\bench_asio64.dll")},
             {"Vendor", REG_SZ, Text("Bench Audio Labs")},
             {"Version", REG_DWORD, Bytes<DWORD>(0x00020001)},
             {"Installed", REG_QWORD, Bytes<ULONGLONG>(0x01D9A0B1C2D3E4F5ULL + index)},
             {"SampleRates", REG_MULTI_SZ, Texts({"44100", "48000", "88200", "96000"})},
             {"Routing", REG_BINARY,
              std::string("\x01\x00\xff\x7f\x02\x00\xff\x7f\x03\x00\xff\x7f\x04\x00\xff\x7f", 16)},
             {"Channels", REG_DWORD, Bytes<DWORD>(8)},
             {"Flags", REG_DWORD, Bytes<DWORD>(0x11)},
         }},
        {"Settings",
         {
             {"BufferSize", REG_DWORD, Bytes<DWORD>(512)},
             {"ClockSource", REG_SZ, Text("Internal")},
             {"Monitor", REG_BINARY, std::string("\x01\x00\xff\x7f", 4)},
         }},
        {"Settings\\Devices",
         {
             {"Ports", REG_MULTI_SZ, Texts({"Line In", "Line Out", "Headphones"})},
             {"Count", REG_DWORD, Bytes<DWORD>(3)},
         }},
        {"Empty", {}},
    };
}

std::string CreateKey(HKEY parent, const std::string& path, RegistryKey& key)
{
    if (RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr) !=
        ERROR_SUCCESS)
        return "cannot create " + path;
    return {};
}

std::string WriteDriver(HKEY location, int index)
{
    const std::string entry = DriverName(index);
    for (const SeedKey& seedKey : DriverTree(index)) {
        RegistryKey key;
        std::string error = CreateKey(location, seedKey.path.empty() ? entry : entry + "\\" + seedKey.path, key);
        if (!error.empty())
            return error;
        for (const SeedValue& value : seedKey.values)
            if (RegSetValueExA(key.Get(), value.name, 0, value.type, reinterpret_cast<const BYTE*>(value.data.data()),
                               static_cast<DWORD>(value.data.size())) != ERROR_SUCCESS)
                return "cannot set " + entry + "\\" + seedKey.path + " " + value.name;
    }
    return {};
}

}  // namespace

std::string DriverName(int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "Bench Driver %05d", index);
    return name;
}

std::vector<std::string> DriverNames(int count)
{
    std::vector<std::string> names;
    for (int index = 1; index <= count; ++index)
        names.push_back(DriverName(index));
    return names;
}

void ClearLocations()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kActiveLocationPath);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kHiddenLocationPath);
}

void SeedDriverTrees(int count)
{
    ClearLocations();
    RegistryKey active;
    RegistryKey hidden;
    std::string error = CreateKey(HKEY_LOCAL_MACHINE, kActiveLocationPath, active);
    if (error.empty())
        error = CreateKey(HKEY_LOCAL_MACHINE, kHiddenLocationPath, hidden);
    for (int index = 1; index <= count && error.empty(); ++index)
        error = WriteDriver(active.Get(), index);
    if (!error.empty())
        Fail(error);
}
