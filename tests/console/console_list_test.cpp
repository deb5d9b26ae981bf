// list and check end to end: records of both views read back from the JSON and from the table, each health case,
// the server a host of each view would load, and check's verdict.
#include "console_fixture.h"
#include "console_text.h"
#include "host_path.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <optional>
#include <set>

namespace {

using nlohmann::json;

struct Expected {
    int view;
    const char* location;
    std::string name;
    std::optional<std::string> clsid;
    std::optional<std::string> description;
    std::optional<std::string> server;
    const char* health;
    bool registeredAgain = false;
};

json Nullable(const std::optional<std::string>& text)
{
    return text ? json(*text) : json(nullptr);
}

json AsJson(const Expected& record)
{
    return {{"view", record.view},
            {"location", record.location},
            {"name", record.name},
            {"clsid", Nullable(record.clsid)},
            {"description", Nullable(record.description)},
            {"server", Nullable(record.server)},
            {"health", record.health},
            {"registered_again", record.registeredAgain}};
}

// ASCII letters in lower case, as the note's names are matched to the rows of both locations.
// Records in one order, whatever order the registry enumerates them in.
std::vector<json> Sorted(std::vector<json> records)
{
    const auto key = [](const json& record) {
        return std::make_tuple(record.value("view", 0), record.value("location", ""), record.value("name", ""));
    };
    std::sort(records.begin(), records.end(), [&](const json& a, const json& b) { return key(a) < key(b); });
    return records;
}

::testing::AssertionResult SameRecords(const std::vector<Expected>& expected, std::vector<json> actual)
{
    std::vector<json> wanted;
    for (const Expected& record : expected)
        wanted.push_back(AsJson(record));
    wanted = Sorted(wanted);
    actual = Sorted(actual);
    if (wanted == actual)
        return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << wanted.size() << " records expected, " << actual.size() << " read";
    for (size_t index = 0; index < std::max(wanted.size(), actual.size()); ++index) {
        const json want = index < wanted.size() ? wanted[index] : json();
        const json got = index < actual.size() ? actual[index] : json();
        if (want != got)
            failure << "\n#" << index << " expected " << want.dump() << "\n#" << index << " read     " << got.dump();
    }
    return failure;
}

std::vector<json> ParseJson(const std::string& text)
{
    const json document = json::parse(text, nullptr, false);
    EXPECT_TRUE(document.is_array()) << text;
    return document.is_array() ? document.get<std::vector<json>>() : std::vector<json>();
}

// Reads the table back: each view's rows, up to the blank line or the note after them, cut at the columns its
// heading row starts, counted in characters, so a row out of line reads back wrong. A "-" cell is a missing string.
// The names under the note of drivers registered again mark both records of that name in the view.
std::vector<json> ParseTable(const std::string& text)
{
    const std::vector<std::wstring> columns = {L"location", L"name", L"CLSID", L"description", L"server", L"health"};
    const std::vector<std::string> fields = {"location", "name", "clsid", "description", "server", "health"};
    const std::wstring note =
        L"Registered again, probably by an update (the same driver both active and hidden; "
        L"hide --replace hides it again):";
    std::vector<json> records;
    std::vector<size_t> starts;
    std::set<std::pair<int, std::string>> registeredAgain;
    bool inNote = false;
    int view = 0;
    std::wstring all = WideFromUtf8(text);
    for (size_t begin = 0, end; begin < all.size(); begin = end + 1) {
        end = all.find(L'\n', begin);
        if (end == std::wstring::npos)
            end = all.size();
        const std::wstring line = all.substr(begin, end - begin);
        if (line.empty()) {
            starts.clear();
            inNote = false;
        } else if (line == note) {
            starts.clear();
            inNote = true;
        } else if (inNote && line.compare(0, 2, L"  ") == 0) {
            registeredAgain.insert({view, Lowered(Utf8FromWide(line.substr(2)))});
        } else if (line.find(L"-bit view: ") == 2) {
            view = std::stoi(line.substr(0, 2));
        } else if (line.compare(0, columns[0].size(), columns[0]) == 0) {
            for (const std::wstring& column : columns)
                starts.push_back(line.find(L"  " + column) == std::wstring::npos ? 0 : line.find(L"  " + column) + 2);
        } else if (starts.size() == columns.size()) {
            json record = {{"view", view}};
            for (size_t column = 0; column < columns.size(); ++column) {
                const size_t from = std::min(starts[column], line.size());
                const size_t to = column + 1 < columns.size() ? std::min(starts[column + 1], line.size()) : line.size();
                std::wstring cell = line.substr(from, to - from);
                cell.erase(cell.find_last_not_of(L' ') + 1);
                record[fields[column]] = cell == L"-" ? json(nullptr) : json(Utf8FromWide(cell));
            }
            records.push_back(record);
        }
    }
    for (json& record : records)
        record["registered_again"] =
            registeredAgain.count({record["view"].get<int>(), Lowered(record["name"].get<std::string>())}) > 0;
    return records;
}

class ConsoleListTest : public ConsoleTest {
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        if (HasFatalFailure())
            return;
        const TestView& v64 = View64();
        const TestView& v32 = View32();
        programFiles_ = Environment("ProgramFiles");
        windows_ = Environment("SystemRoot");
        programFilesX86_ = Environment("ProgramFiles(x86)");
        vendor64_ = programFiles_ + "\\Quimble Test Vendor";
        vendor32_ = programFilesX86_ + "\\Quimble Test Vendor";

        PlaceImage(v64.systemFolder + "\\quimble-test-alder.dll", v64.machine);
        PlaceImage(v64.systemFolder + "\\quimble-test-bare.dll", v64.machine);
        PlaceImage(vendor64_ + "\\thirtytwo.dll", v32.machine);
        PlaceImage(v32.systemFolder + "\\quimble-test-birch.dll", v32.machine);
        PlaceImage(v32.systemFolder + "\\quimble-test-bare.dll", v32.machine);
        PlaceImage(vendor32_ + "\\expand.dll", v32.machine);
        PlaceImage(vendor32_ + "\\sixtyfour.dll", v64.machine);
        PlaceImage(vendor32_ + "\\program.exe", v32.machine, false);
        PlaceImage(windows_ + "\\quimble-test-onpath.dll", v64.machine);
        PlaceImage(SystemPath32() + "\\DriverStore\\quimble-test-store.dll", v32.machine);

        // The 64-bit view: every health, and paths that only the 32-bit view would take elsewhere.
        Driver(v64, v64.active, "Alder Desk 64", 1, "Alder desk", REG_SZ,
               v64.systemFolder + "\\quimble-test-alder.dll");
        Driver(v64, v64.active, "Bare Name 64", 2, "", REG_SZ, "quimble-test-bare.dll");
        Driver(v64, v64.active, "Gone Server", 3, "Left behind", REG_SZ, vendor64_ + "\\gone.dll");
        Driver(v64, v64.active, "Wrong Bits 64", 4, "32-bit server", REG_SZ, vendor64_ + "\\thirtytwo.dll");
        Driver(v64, v64.active, "Unregistered", 5, "no class", 0, "");
        Driver(v64, v64.active, "System32 Named 64", 6, "", REG_SZ, SystemPath32() + "\\quimble-test-birch.dll");
        Driver(v64, v64.active, "Expanded 64", 7, "", REG_EXPAND_SZ, "%ProgramFiles%\\Quimble Test Vendor\\expand.dll");
        Driver(v64, v64.active, kShared, 8, "dual 64", REG_SZ, v64.systemFolder + "\\quimble-test-alder.dll");
        Driver(v64, v64.hidden, "Parked Synth", 9, "parked", REG_SZ, v64.systemFolder + "\\quimble-test-bare.dll");
        WriteTree(HKEY_LOCAL_MACHINE, v64.active + "\\Bad Guid", RegistryTree().String("CLSID", "not a guid"));
        WriteTree(HKEY_LOCAL_MACHINE, v64.active + "\\Number Guid", RegistryTree().Dword("CLSID", 42));
        WriteTree(HKEY_LOCAL_MACHINE, v64.active + "\\Lower Case",
                  RegistryTree().String("clsid", TestClsid(1)).String("Description", "no CLSID by that name"));
        Driver(v64, v64.active, "Quoted 64", 31, "", REG_SZ, "\"" + v64.systemFolder + "\\quimble-test-alder.dll\"");
        Driver(v64, v64.active, "Windows Folder 64", 32, "", REG_SZ, "quimble-test-onpath.dll");
        // Names in other scripts, written through the W calls: this test's own code page could not carry them.
        WideDriver(v64.active + "\\" + kJapanese, TestClsid(1), kCyrillic);

        // The 32-bit view: System32 and %ProgramFiles% as a 32-bit host reads them.
        Driver(v32, v32.active, "Birchfield Legacy 32", 21, "", REG_SZ, SystemPath32() + "\\quimble-test-birch.dll");
        Driver(v32, v32.active, "Expanded 32", 22, "", REG_EXPAND_SZ,
               "%ProgramFiles%\\Quimble Test Vendor\\expand.dll");
        Driver(v32, v32.active, "Wrong Bits 32", 23, "", REG_SZ, vendor32_ + "\\sixtyfour.dll");
        Driver(v32, v32.active, "Program Not Library", 24, "", REG_SZ, vendor32_ + "\\program.exe");
        Driver(v32, v32.active, kShared, 25, "dual 32", REG_SZ, "quimble-test-bare.dll");
        // The redirector leaves System32\DriverStore alone; Sysnative is the 64-bit System32.
        Driver(v32, v32.active, "Driver Store 32", 33, "", REG_SZ,
               SystemPath32() + "\\DriverStore\\quimble-test-store.dll");
        Driver(v32, v32.active, "Sysnative 32", 34, "", REG_EXPAND_SZ, "%SystemRoot%\\Sysnative\\quimble-test-alder.dll");
        // Drivers an update registered again while hidden, their classes in another letter case or without braces;
        // and a hidden driver of another class under an active one's name.
        WriteTree(
            HKEY_LOCAL_MACHINE, v64.hidden + "\\ALDER DESK 64",
            RegistryTree().String("CLSID", "{5eed0001-0c0f-4e1d-9a5b-00000000c0de}").String("Description", "older"));
        WriteTree(HKEY_LOCAL_MACHINE, v64.hidden + "\\gone server",
                  RegistryTree().String("CLSID", TestClsid(3).substr(1, 36)));
        Driver(v32, v32.hidden, kShared, 26, "another class", 0, "");
        // What a failed move leaves: no "CLSID", in the hidden location.
        WriteTree(HKEY_LOCAL_MACHINE, v32.hidden + "\\Half Moved",
                  RegistryTree().String("Description", "remains").Subkey("Settings", RegistryTree().Dword("Rate", 1)));
    }

    static std::string Environment(const char* name)
    {
        char value[MAX_PATH] = {};
        GetEnvironmentVariableA(name, value, MAX_PATH);
        return value;
    }

    // The system folder as programs name it; in the 32-bit view it is the file system's SysWOW64.
    static std::string SystemPath32() { return View64().systemFolder; }

    // A driver entry written through the W calls: its CLSID and Description values, given in UTF-8.
    static void WideDriver(const std::string& path, const std::string& clsid, const std::string& description)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, WideFromUtf8(path).c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        for (const auto& [name, text] : {std::make_pair("CLSID", clsid), std::make_pair("Description", description)}) {
            const std::wstring data = WideFromUtf8(text);
            RegSetValueExW(key, WideFromUtf8(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
        }
        RegCloseKey(key);
    }

    std::vector<Expected> AllRecords() const
    {
        const TestView& v64 = View64();
        const TestView& v32 = View32();
        return {
            {64, "active", "Alder Desk 64", TestClsid(1), "Alder desk", v64.systemFolder + "\\quimble-test-alder.dll",
             "ok", true},
            {64, "hidden", "ALDER DESK 64", "{5eed0001-0c0f-4e1d-9a5b-00000000c0de}", "older",
             v64.systemFolder + "\\quimble-test-alder.dll", "ok", true},
            {64, "hidden", "gone server", TestClsid(3).substr(1, 36), {}, {}, "bad CLSID", true},
            {32, "hidden", kShared, TestClsid(26), "another class", {}, "not registered"},
            {64, "active", "Bare Name 64", TestClsid(2), {}, v64.systemFolder + "\\quimble-test-bare.dll", "ok"},
            {64, "active", "Gone Server", TestClsid(3), "Left behind", vendor64_ + "\\gone.dll", "server missing",
             true},
            {64, "active", "Wrong Bits 64", TestClsid(4), "32-bit server", vendor64_ + "\\thirtytwo.dll",
             "wrong architecture"},
            {64, "active", "Unregistered", TestClsid(5), "no class", {}, "not registered"},
            {64,
             "active",
             "System32 Named 64",
             TestClsid(6),
             {},
             SystemPath32() + "\\quimble-test-birch.dll",
             "server missing"},
            {64, "active", "Expanded 64", TestClsid(7), {}, vendor64_ + "\\expand.dll", "server missing"},
            {64, "active", kShared, TestClsid(8), "dual 64", v64.systemFolder + "\\quimble-test-alder.dll", "ok"},
            {64, "hidden", "Parked Synth", TestClsid(9), "parked", v64.systemFolder + "\\quimble-test-bare.dll", "ok"},
            {64, "active", "Bad Guid", "not a guid", {}, {}, "bad CLSID"},
            {64, "active", "Number Guid", {}, {}, {}, "bad CLSID"},
            // Hosts read the value in any letter case, so it registers the driver.
            {64, "active", "Lower Case", TestClsid(1), "no CLSID by that name",
             v64.systemFolder + "\\quimble-test-alder.dll", "ok"},
            {64, "active", kJapanese, TestClsid(1), kCyrillic, v64.systemFolder + "\\quimble-test-alder.dll", "ok"},
            {64, "active", "Quoted 64", TestClsid(31), {}, v64.systemFolder + "\\quimble-test-alder.dll", "ok"},
            {64, "active", "Windows Folder 64", TestClsid(32), {}, windows_ + "\\quimble-test-onpath.dll", "ok"},
            {32,
             "active",
             "Birchfield Legacy 32",
             TestClsid(21),
             {},
             v32.systemFolder + "\\quimble-test-birch.dll",
             "ok"},
            {32, "active", "Expanded 32", TestClsid(22), {}, vendor32_ + "\\expand.dll", "ok"},
            {32, "active", "Wrong Bits 32", TestClsid(23), {}, vendor32_ + "\\sixtyfour.dll", "wrong architecture"},
            {32, "active", "Program Not Library", TestClsid(24), {}, vendor32_ + "\\program.exe", "wrong architecture"},
            {32, "active", kShared, TestClsid(25), "dual 32", v32.systemFolder + "\\quimble-test-bare.dll", "ok"},
            {32, "active", "Driver Store 32", TestClsid(33), {}, SystemPath32() + "\\DriverStore\\quimble-test-store.dll",
             "ok"},
            {32, "active", "Sysnative 32", TestClsid(34), {}, SystemPath32() + "\\quimble-test-alder.dll",
             "wrong architecture"},
            {32, "hidden", "Half Moved", {}, "remains", {}, "not a driver"},
        };
    }

    static std::vector<Expected> Select(const std::vector<Expected>& records, bool (*keep)(const Expected&))
    {
        std::vector<Expected> kept;
        std::copy_if(records.begin(), records.end(), std::back_inserter(kept), keep);
        return kept;
    }

    static constexpr char kShared[] = "Larchmont Dual ASIO";
    static constexpr char kJapanese[] = "試験 ASIO ドライバ";
    static constexpr char kCyrillic[] = "Тестовый драйвер";
    std::string programFiles_, programFilesX86_, vendor64_, vendor32_, windows_;
};

TEST_F(ConsoleListTest, JsonHoldsEverySubkeyOfBothViewsWithWhatAHostOfThatViewWouldLoad)
{
    const RegistryTree before = Snapshot();
    const ConsoleRun run = Run({"list", "--json"});
    ASSERT_EQ(0u, run.exitCode) << Describe(run);
    EXPECT_EQ("", run.err);
    EXPECT_TRUE(SameRecords(AllRecords(), ParseJson(run.out)));
    EXPECT_EQ(before, Snapshot()) << "list changed the registry";

    // Through a pipe, the same bytes as into a file.
    const ConsoleRun piped = Run({"list", "--json"}, OutputTo::Pipe);
    EXPECT_EQ(0u, piped.exitCode) << Describe(piped);
    EXPECT_EQ(run.out, piped.out);
}

TEST_F(ConsoleListTest, TableShowsTheSameRecordsInLinedUpColumnsPerView)
{
    const ConsoleRun run = Run({"list"});
    ASSERT_EQ(0u, run.exitCode) << Describe(run);
    EXPECT_TRUE(SameRecords(AllRecords(), ParseTable(run.out))) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("64-bit view: " + View64().activeShown + " (active), " +
                                              View64().hiddenShown + " (hidden)\n"))
        << run.out;
    EXPECT_NE(std::string::npos, run.out.find("32-bit view: " + View32().activeShown + " (active), " +
                                              View32().hiddenShown + " (hidden)\n"))
        << run.out;
}

TEST_F(ConsoleListTest, AConsoleShowsTheTableAsAFileHoldsIt)
{
    // Written to the console as UTF-16, names in other scripts included, so that it shows what the file holds.
    const ConsoleRun file = Run({"list"});
    const ConsoleRun shown = RunInNewConsole(WindowsPathOf(QUIMBLE_CONSOLE_EXE), {"list"});
    ASSERT_EQ("", shown.failure);
    EXPECT_EQ(0u, shown.exitCode);
    EXPECT_EQ(file.out, shown.out);
    EXPECT_NE(std::string::npos, shown.out.find(std::string(kJapanese) + "  ")) << shown.out;
    EXPECT_NE(std::string::npos, shown.out.find(std::string(kCyrillic) + "  ")) << shown.out;
}

TEST_F(ConsoleListTest, ViewOptionListsThatViewAlone)
{
    for (const TestView* view : BothViews()) {
        SCOPED_TRACE(std::to_string(view->bits) + "-bit view");
        const ConsoleRun run = Run({"list", "--view", std::to_string(view->bits), "--json"});
        ASSERT_EQ(0u, run.exitCode) << Describe(run);
        std::vector<Expected> expected;
        for (const Expected& record : AllRecords())
            if (record.view == view->bits)
                expected.push_back(record);
        EXPECT_TRUE(SameRecords(expected, ParseJson(run.out)));
    }
}

TEST_F(ConsoleListTest, CheckNamesTheActiveDriversThatWouldNotLoadAndExitsWithOne)
{
    const RegistryTree before = Snapshot();
    const auto failing = [](const Expected& record) {
        return std::string(record.location) == "active" && std::string(record.health) != "ok" &&
               std::string(record.health) != "not a driver";
    };
    const ConsoleRun json = Run({"check", "--json"});
    EXPECT_EQ(1u, json.exitCode) << Describe(json);
    EXPECT_TRUE(SameRecords(Select(AllRecords(), failing), ParseJson(json.out)));

    const ConsoleRun table = Run({"check"});
    EXPECT_EQ(1u, table.exitCode) << Describe(table);
    EXPECT_TRUE(SameRecords(Select(AllRecords(), failing), ParseTable(table.out))) << table.out;
    EXPECT_NE(std::string::npos, table.out.find("\n10 drivers of the active location would not load (21 checked).\n"))
        << table.out;
    EXPECT_EQ(before, Snapshot()) << "check changed the registry";
}

TEST_F(ConsoleListTest, CheckPassesWhereEveryActiveDriverLoadsOrIsNoDriver)
{
    // The 32-bit view's active drivers that load, and its remains; the 64-bit view's failures are left out.
    const ConsoleRun json = Run({"check", "--view", "32", "--json"});
    EXPECT_EQ(1u, json.exitCode) << Describe(json);
    for (const char* name : {"Wrong Bits 32", "Program Not Library", "Sysnative 32"})
        ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_LOCAL_MACHINE, (View32().active + "\\" + name).c_str())) << name;
    WriteTree(HKEY_LOCAL_MACHINE, View32().active + "\\Remains", RegistryTree().Dword("Latency", 10));

    const ConsoleRun passing = Run({"check", "--view", "32", "--json"});
    EXPECT_EQ(0u, passing.exitCode) << Describe(passing);
    EXPECT_EQ("[]\n", passing.out);
    const ConsoleRun table = Run({"check", "--view", "32"});
    EXPECT_EQ(0u, table.exitCode) << Describe(table);
    EXPECT_EQ("Every driver of the active location would load (4 checked).\n", table.out);
}

}  // namespace
