// probe end to end: invented drivers of each behaviour registered in the test prefix, each loaded by a child of the
// view's architecture, its result word and call read back from the JSON; the timeout, and no process left behind.
#include "console_fixture.h"
#include "host_path.h"
#include "unique_handle.h"

#include <nlohmann/json.hpp>
#include <tlhelp32.h>

#include <chrono>

namespace {

using nlohmann::json;

constexpr int kFirstClsid = 0x500;

struct TestDriver {
    const char* name;  // the driver entry's name and, after "quimble-test-", its DLL's
    const char* result;
    json call;
    json code;
    json message;  // null where the test leaves it open: the system's words differ between Windows and Wine
    json module;
};

json Null()
{
    return json(nullptr);
}

// Every behaviour, in the order they are registered; "missing" is registered with a DLL that is not there.
const std::vector<TestDriver>& TestDrivers()
{
    static const std::vector<TestDriver> drivers = {
        {"loads", "loads", Null(), Null(), Null(), Null()},
        {"init-false", "init failed", Null(), Null(), "No invented device present", Null()},
        {"init-access-violation", "crashes", "init", "0xC0000005", "access violation",
         "quimble-test-init-access-violation.dll"},
        {"init-never-returns", "hangs", "init", Null(), Null(), Null()},
        {"init-throws", "crashes", "init", "0x20474343", "C++ exception (GCC)", Null()},
        {"init-exit-process", "crashes", "init", "0x00000003", "the process ended with exit code 3", Null()},
        {"release-crashes", "crashes", "Release", "0xC0000005", "access violation", "quimble-test-release-crashes.dll"},
        {"factory-fails", "cannot load", "CoCreateInstance", "0x8007000E", Null(), Null()},
        {"missing", "cannot load", "CoCreateInstance", Null(), Null(), Null()},
    };
    return drivers;
}

std::string DriverDll(const std::string& folder, const std::string& name)
{
    return WindowsPathOf(folder) + "\\quimble-test-" + name + ".dll";
}

std::vector<json> ParseResults(const ConsoleRun& run)
{
    const json document = json::parse(run.out, nullptr, false);
    EXPECT_TRUE(document.is_array()) << Describe(run);
    return document.is_array() ? document.get<std::vector<json>>() : std::vector<json>();
}

// The processes of the probe and of what its drivers start, by their file names.
int ProbeProcessesRunning()
{
    const KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsOpen())
        return -1;
    int count = 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry))
        for (const char* name : {"quimble64.exe", "quimble.exe", "rundll32.exe"})
            count += lstrcmpiA(entry.szExeFile, name) == 0;
    return count;
}

class ConsoleProbeTest : public ConsoleTest {
protected:
    // Each invented driver under its own name in the view's active location, served by that view's DLLs.
    void RegisterTestDrivers(const TestView& view, const std::string& folder)
    {
        int clsid = kFirstClsid;
        for (const TestDriver& driver : TestDrivers())
            Driver(view, view.active, driver.name, clsid++, "invented", REG_SZ, DriverDll(folder, driver.name));
    }
};

TEST_F(ConsoleProbeTest, EachBehaviourGivesItsResultWordWithTheCallAndTheRunGoesOn)
{
    ASSERT_EQ(0, ProbeProcessesRunning()) << "a probe process was running before the test";
    RegisterTestDrivers(View64(), QUIMBLE_TEST_DRIVER_DIR);
    // Long enough for a child's start on a busy machine, which is part of the time each driver has.
    const ConsoleRun run = Run({"probe", "--view", "64", "--json", "--timeout", "8"});
    EXPECT_EQ(1u, run.exitCode) << Describe(run);
    EXPECT_EQ("", run.err);
    const std::vector<json> results = ParseResults(run);
    ASSERT_EQ(TestDrivers().size(), results.size()) << run.out;
    for (const json& result : results) {
        const std::string name = result.value("name", "");
        SCOPED_TRACE(name);
        const TestDriver* driver = nullptr;
        for (const TestDriver& candidate : TestDrivers())
            if (name == candidate.name)
                driver = &candidate;
        ASSERT_NE(nullptr, driver) << result.dump();
        EXPECT_EQ(64, result["view"]);
        EXPECT_EQ("active", result["location"]);
        EXPECT_EQ(TestClsid(kFirstClsid + static_cast<int>(driver - TestDrivers().data())), result["clsid"]);
        EXPECT_EQ(driver->result, result["result"]) << result.dump();
        EXPECT_EQ(driver->call, result["call"]) << result.dump();
        if (!driver->code.is_null() || result["result"] != "cannot load") {
            EXPECT_EQ(driver->code, result["code"]) << result.dump();
        }
        if (!driver->message.is_null() || result["result"] == "loads" || result["result"] == "hangs") {
            EXPECT_EQ(driver->message, result["message"]) << result.dump();
        }
        // A C++ exception is raised in the system's module, which differs between Windows and Wine.
        if (driver->name != std::string("init-throws")) {
            EXPECT_EQ(driver->module, result["module"]) << result.dump();
        }
        // A driver that got through init told about itself; any other answered nothing.
        const bool initialised = result["result"] == "loads" || name == "release-crashes";
        const json facts = {result["driver_name"], result["driver_version"],   result["inputs"],
                            result["outputs"],     result["buffer_min"],       result["buffer_max"],
                            result["buffer_preferred"], result["buffer_granularity"], result["sample_rate"]};
        const json expected = initialised
                                  ? json{"Quimble Test Driver (64-bit)", 7, 2, 2, 64, 1024, 256, 64, 48000.0}
                                  : json{Null(), Null(), Null(), Null(), Null(), Null(), Null(), Null(), Null()};
        EXPECT_EQ(expected, facts);
    }
    EXPECT_EQ(0, ProbeProcessesRunning()) << "a process of the probe outlived it";
}

TEST_F(ConsoleProbeTest, AHangIsEndedWithEverythingItStartedWithinTheTimeout)
{
    const TestDriver& hang = TestDrivers()[3];
    Driver(View64(), View64().active, hang.name, kFirstClsid, "", REG_SZ,
           DriverDll(QUIMBLE_TEST_DRIVER_DIR, hang.name));
    const auto start = std::chrono::steady_clock::now();
    const ConsoleRun run = Run({"probe", "--timeout", "4"});
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(1u, run.exitCode) << Describe(run);
    EXPECT_NE(std::string::npos, run.out.find("  init-never-returns  hangs   no return from init within 4 s\n"))
        << run.out;
    EXPECT_NE(std::string::npos, run.out.find("\n0 of 1 drivers load.\n")) << run.out;
    // The timeout, the program's own start and the ending of the job, with room for a busy machine.
    EXPECT_GE(seconds, 4.0);
    EXPECT_LT(seconds, 4.0 + 10.0);
    EXPECT_EQ(0, ProbeProcessesRunning()) << "the hanging driver's child, thread or helper process outlived the probe";
}

TEST_F(ConsoleProbeTest, NamesSelectDriversOfEitherLocationAndAnUnknownNameIsSaidOnStandardError)
{
    const std::string loads = DriverDll(QUIMBLE_TEST_DRIVER_DIR, "loads");
    Driver(View64(), View64().hidden, "Parked Loader", kFirstClsid, "", REG_SZ, loads);
    Driver(View64(), View64().active, "Active Loader", kFirstClsid + 1, "", REG_SZ, loads);
    WriteTree(HKEY_LOCAL_MACHINE, View64().active + "\\Bad Guid", RegistryTree().String("CLSID", "not a guid"));
    const RegistryTree before = Snapshot();

    const ConsoleRun parked = Run({"probe", "parked loader", "--view", "64", "--json"});
    EXPECT_EQ(0u, parked.exitCode) << Describe(parked);
    const std::vector<json> results = ParseResults(parked);
    ASSERT_EQ(1u, results.size()) << parked.out;
    EXPECT_EQ("Parked Loader", results[0]["name"]);
    EXPECT_EQ("hidden", results[0]["location"]);
    EXPECT_EQ("loads", results[0]["result"]);

    const ConsoleRun unknown = Run({"probe", "No Such Driver", "Bad Guid", "--view", "64"});
    EXPECT_EQ(1u, unknown.exitCode) << Describe(unknown);
    EXPECT_EQ("quimble64: No Such Driver: not found\n", unknown.err);
    EXPECT_NE(std::string::npos, unknown.out.find("  Bad Guid  not probed  no CLSID string holding a GUID\n"))
        << unknown.out;
    EXPECT_EQ(before, Snapshot()) << "probe changed the registry";
}

TEST_F(ConsoleProbeTest, TheThirtyTwoBitViewIsNotProbedWithoutQuimbleExeBesideTheProgram)
{
    // The build tree's quimble64.exe has no quimble.exe beside it.
    Driver(View32(), View32().active, "Thirty Two", kFirstClsid, "", REG_SZ, "quimble-test-loads.dll");
    const ConsoleRun run = Run({"probe", "--json"});
    EXPECT_EQ(1u, run.exitCode) << Describe(run);
    const std::vector<json> results = ParseResults(run);
    ASSERT_EQ(1u, results.size()) << run.out;
    EXPECT_EQ(32, results[0]["view"]);
    EXPECT_EQ("not probed", results[0]["result"]);
    EXPECT_EQ("quimble.exe, which loads the 32-bit drivers, is not beside quimble64.exe", results[0]["message"]);
}

TEST_F(ConsoleProbeTest, DriversOfOneNameInBothViewsAreEachLoadedByAChildOfTheirArchitecture)
{
    if (!ThirtyTwoBitEditionRuns())
        GTEST_SKIP() << "this machine cannot execute 32-bit Wine, so no 32-bit child can load a 32-bit driver";
    // quimble64.exe finds quimble.exe beside itself, as in the release archive.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "quimble-probe-pair";
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(WindowsPathOf(QUIMBLE_CONSOLE_EXE).c_str(), (folder + "\\quimble64.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(WindowsPathOf(QUIMBLE_OTHER_CONSOLE_EXE).c_str(), (folder + "\\quimble.exe").c_str(), FALSE));
    for (const TestView* view : BothViews()) {
        const char* dllFolder = view->bits == 64 ? QUIMBLE_TEST_DRIVER_DIR : QUIMBLE_OTHER_TEST_DRIVER_DIR;
        Driver(*view, view->active, "Same Name", kFirstClsid + view->bits, "", REG_SZ, DriverDll(dllFolder, "loads"));
    }
    const ConsoleRun run = RunConsole(folder + "\\quimble64.exe", {"probe", "Same Name", "--json"});
    DeleteFileA((folder + "\\quimble64.exe").c_str());
    DeleteFileA((folder + "\\quimble.exe").c_str());
    RemoveDirectoryA(folder.c_str());
    EXPECT_EQ(0u, run.exitCode) << Describe(run);
    const std::vector<json> results = ParseResults(run);
    ASSERT_EQ(2u, results.size()) << run.out;
    for (const json& result : results)
        EXPECT_EQ("Quimble Test Driver (" + std::to_string(result["view"].get<int>()) + "-bit)",
                  result["driver_name"])
            << result.dump();
}

}  // namespace
