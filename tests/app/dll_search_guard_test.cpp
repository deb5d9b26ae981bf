// A DLL planted beside a program or in its current folder, loaded by name with and without the DLL-search guard.
// Each load runs in a probe program of its own, because the guard holds for the rest of its process.
#include "app_driver.h"
#include "dll_search_probe.h"
#include "test_prefix.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <string>

namespace {

// In System32, and loaded by name on many programs' behalf: the classic name to plant.
constexpr char kSystemDllName[] = "version.dll";
// In no system folder, so only a planted file answers to it.
constexpr char kAbsentDllName[] = "quimble_absent.dll";

// A scratch folder holding a copy of the probe with a planted version.dll beside it, and a folder to run the probe
// in that holds a planted DLL of the absent name. All of it goes again with the object.
class PlantedFolders {
public:
    PlantedFolders()
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        root_ = std::string(temp) + "quimble-planted-" + std::to_string(GetCurrentProcessId());
        programFolder_ = root_ + "\\program";
        currentFolder_ = root_ + "\\current";
        probe_ = programFolder_ + "\\dll_search_probe.exe";
        besideProbe_ = programFolder_ + "\\" + kSystemDllName;
        inCurrentFolder_ = currentFolder_ + "\\" + kAbsentDllName;
        const std::string plantedDll = WindowsPathOf(QUIMBLE_PLANTED_DLL);
        ready_ = CreateDirectoryA(root_.c_str(), nullptr) && CreateDirectoryA(programFolder_.c_str(), nullptr) &&
                 CreateDirectoryA(currentFolder_.c_str(), nullptr) &&
                 CopyFileA(WindowsPathOf(QUIMBLE_DLL_SEARCH_PROBE).c_str(), probe_.c_str(), FALSE) &&
                 CopyFileA(plantedDll.c_str(), besideProbe_.c_str(), FALSE) &&
                 CopyFileA(plantedDll.c_str(), inCurrentFolder_.c_str(), FALSE);
    }
    ~PlantedFolders()
    {
        for (const std::string& file : {probe_, besideProbe_, inCurrentFolder_})
            DeleteFileA(file.c_str());
        for (const std::string& folder : {programFolder_, currentFolder_, root_})
            RemoveDirectoryA(folder.c_str());
    }
    PlantedFolders(const PlantedFolders&) = delete;
    PlantedFolders& operator=(const PlantedFolders&) = delete;

    bool Ready() const { return ready_; }
    const std::string& Root() const { return root_; }

    // Runs the probe in the current folder; its exit code, or -1 when it did not run or end in time.
    int RunProbe(const std::string& mode, const std::string& dllName) const
    {
        char previous[MAX_PATH] = {};
        GetCurrentDirectoryA(sizeof previous, previous);
        SetCurrentDirectoryA(currentFolder_.c_str());
        AppProcess probe;
        const std::string failure = probe.Start(probe_, mode + " " + dllName);
        SetCurrentDirectoryA(previous);
        DWORD exitCode = 0;
        if (!failure.empty() || !probe.WaitForExit(kWaitMs, &exitCode))
            return -1;
        return static_cast<int>(exitCode);
    }

private:
    std::string root_, programFolder_, currentFolder_, probe_, besideProbe_, inCurrentFolder_;
    bool ready_ = false;
};

// Windows has no built-in DLLs; Wine prefers its own to a file of a system DLL's name unless told otherwise. Told
// so for the probe, Wine loads the version.dll it finds first, as Windows does.
class NativeFirstForProbe {
public:
    NativeFirstForProbe()
    {
        if (!RunningOnWine())
            return;
        HKEY overrides = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kOverridesKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &overrides,
                            nullptr) != ERROR_SUCCESS)
            return;
        const char order[] = "native,builtin";
        RegSetValueExA(overrides, "version", 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order);
        RegCloseKey(overrides);
    }
    ~NativeFirstForProbe()
    {
        if (RunningOnWine())
            RegDeleteTreeA(HKEY_CURRENT_USER, kProbeDefaultsKey);
    }
    NativeFirstForProbe(const NativeFirstForProbe&) = delete;
    NativeFirstForProbe& operator=(const NativeFirstForProbe&) = delete;

private:
    static constexpr char kProbeDefaultsKey[] = "Software\\Wine\\AppDefaults\\dll_search_probe.exe";
    static constexpr char kOverridesKey[] = "Software\\Wine\\AppDefaults\\dll_search_probe.exe\\DllOverrides";
};

class DllSearchGuard : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folders.Ready()) << "could not set up " << folders.Root() << ", error " << GetLastError();
    }

    PlantedFolders folders;
    NativeFirstForProbe nativeFirst;
};

TEST_F(DllSearchGuard, PlantedDllsAreLoadedWithoutTheGuardAndNotWithIt)
{
    struct Load {
        const char* what;
        const char* mode;
        const char* dllName;
        int expected;
    };
    const Load loads[] = {
        // Beside the program: the guard sends the load to System32.
        {"unguarded, beside the program", "unguarded", kSystemDllName, kLoadedPlanted},
        {"guarded, beside the program", "guarded", kSystemDllName, kLoadedAnother},
        // In the current folder, under a name no system folder has: the guard leaves the load empty-handed.
        {"unguarded, in the current folder", "unguarded", kAbsentDllName, kLoadedPlanted},
        {"guarded, in the current folder", "guarded", kAbsentDllName, kLoadedNothing},
    };
    for (const Load& load : loads) {
        EXPECT_EQ(load.expected, folders.RunProbe(load.mode, load.dllName))
            << load.what << " (exit codes: 0 nothing loaded, 1 System32's, 2 the planted one, 3 the guard reported "
            << "otherwise)";
    }
}

TEST_F(DllSearchGuard, FallbackLeavesTheCurrentFolderOut)
{
    const int result = folders.RunProbe("fallback", kAbsentDllName);
    ASSERT_NE(kGuardSaidOtherwise, result) << "without SetDefaultDllDirectories the guard must fall back";
    if (RunningOnWine())
        GTEST_SKIP() << "Wine 8 keeps the current folder in the search after SetDllDirectoryA(\"\")";
    EXPECT_EQ(kLoadedNothing, result) << "exit codes: 0 nothing loaded, 2 the planted one";
}

}  // namespace
