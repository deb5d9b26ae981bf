// hide and restore end to end: by name in one view and in both, in another letter case, what is already done or
// not there, names taken, usage errors and access denied, with every tree compared byte for byte.
#include "console_fixture.h"

#include "driver_trees.h"
#include "registry_key.h"

#include <sddl.h>

namespace {

const char kShared[] = "Larchmont Dual ASIO";

class ConsoleMoveTest : public ConsoleTest {
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        if (HasFatalFailure())
            return;
        seeded64_ = Drivers({"Alder Desk 64", kShared, "Corvid Loopback"});
        seeded32_ = Drivers({"Birchfield Legacy 32", kShared});
        WriteTree(HKEY_LOCAL_MACHINE, View64().active, seeded64_);
        WriteTree(HKEY_LOCAL_MACHINE, View32().active, seeded32_);
    }

    // The run's lines and exit code, and nothing on standard error.
    static void ExpectRun(const std::vector<std::string>& arguments, DWORD exitCode, const std::string& lines)
    {
        const ConsoleRun run = Run(arguments);
        EXPECT_EQ(exitCode, run.exitCode) << Describe(run);
        EXPECT_EQ(lines, run.out);
        EXPECT_EQ("", run.err);
    }

    RegistryTree seeded64_, seeded32_;
};

TEST_F(ConsoleMoveTest, HidesInOneViewByANameInAnotherLetterCase)
{
    ExpectRun({"hide", "larchmont DUAL asio", "--view", "32"}, 0, "32-bit view: Larchmont Dual ASIO: hidden\n");
    EXPECT_TRUE(MachineKeyHolds(View32().active, Without(seeded32_, {kShared})));
    EXPECT_TRUE(MachineKeyHolds(View32().hidden, Only(seeded32_, {kShared})));
    EXPECT_TRUE(MachineKeyHolds(View64().active, seeded64_));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, View64().hidden))
        << "a move in the 32-bit view parked in the 64-bit one";
}

TEST_F(ConsoleMoveTest, HidesAndRestoresANameInBothViews)
{
    ExpectRun({"hide", kShared}, 0,
              "64-bit view: Larchmont Dual ASIO: hidden\n32-bit view: Larchmont Dual ASIO: hidden\n");
    EXPECT_TRUE(MachineKeyHolds(View64().active, Without(seeded64_, {kShared})));
    EXPECT_TRUE(MachineKeyHolds(View64().hidden, Only(seeded64_, {kShared})));
    EXPECT_TRUE(MachineKeyHolds(View32().active, Without(seeded32_, {kShared})));
    EXPECT_TRUE(MachineKeyHolds(View32().hidden, Only(seeded32_, {kShared})));

    ExpectRun({"restore", "LARCHMONT dual ASIO"}, 0,
              "64-bit view: Larchmont Dual ASIO: restored\n32-bit view: Larchmont Dual ASIO: restored\n");
    EXPECT_TRUE(MachineKeyHolds(View64().active, seeded64_));
    EXPECT_TRUE(MachineKeyHolds(View64().hidden, RegistryTree()));
    EXPECT_TRUE(MachineKeyHolds(View32().active, seeded32_));
    EXPECT_TRUE(MachineKeyHolds(View32().hidden, RegistryTree()));
}

// Hosts read "clsid" as "CLSID", so such an entry is a driver to move, and its value comes back as it was.
TEST_F(ConsoleMoveTest, AnEntryRegisteredByALowerCaseClsidIsMoved)
{
    const RegistryTree lower = RegistryTree().String("clsid", TestClsid(40)).Dword("Rate", 44100);
    WriteTree(HKEY_LOCAL_MACHINE, View64().active + "\\Lower Synth", lower);
    ExpectRun({"hide", "Lower Synth", "--view", "64"}, 0, "64-bit view: Lower Synth: hidden\n");
    EXPECT_TRUE(MachineKeyHolds(View64().hidden, RegistryTree().Subkey("Lower Synth", lower)));
    ExpectRun({"restore", "lower synth", "--view", "64"}, 0, "64-bit view: Lower Synth: restored\n");
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, View64().active + "\\Lower Synth"));
}

// Options count wherever they stand, even where the environment asks getopt to stop at the first name.
TEST_F(ConsoleMoveTest, OptionsAfterTheNamesCountUnderPosixlyCorrect)
{
    SetEnvironmentVariableA("POSIXLY_CORRECT", "1");
    ExpectRun({"hide", kShared, "--view", "32"}, 0, std::string("32-bit view: ") + kShared + ": hidden\n");
    SetEnvironmentVariableA("POSIXLY_CORRECT", nullptr);
    EXPECT_TRUE(MachineKeyHolds(View64().active, seeded64_));
    EXPECT_TRUE(MachineKeyHolds(View32().hidden, Only(seeded32_, {kShared})));
}

TEST_F(ConsoleMoveTest, ANameInOneViewIsDoneWhenThatViewMovesIt)
{
    ExpectRun({"hide", "alder desk 64", "Birchfield Legacy 32"}, 0,
              "64-bit view: Alder Desk 64: hidden\n32-bit view: alder desk 64: not found\n"
              "64-bit view: Birchfield Legacy 32: not found\n32-bit view: Birchfield Legacy 32: hidden\n");
    EXPECT_TRUE(MachineKeyHolds(View64().hidden, Only(seeded64_, {"Alder Desk 64"})));
    EXPECT_TRUE(MachineKeyHolds(View32().hidden, Only(seeded32_, {"Birchfield Legacy 32"})));
}

// Runs that must leave every tree as it was: what is done already, what is not there, and names taken.
TEST_F(ConsoleMoveTest, WhatIsDoneOrCannotBeDoneChangesNothing)
{
    WriteTree(HKEY_LOCAL_MACHINE, View64().hidden, Drivers({"Parked Synth", "Corvid Loopback"}));
    WriteTree(HKEY_LOCAL_MACHINE, View32().hidden + "\\" + kShared, RegistryTree().Dword("Latency", 10));
    struct Case {
        std::vector<std::string> arguments;
        DWORD exitCode;
        std::string lines;
    };
    const Case cases[] = {
        {{"hide", "parked synth"},
         0,
         "64-bit view: Parked Synth: already hidden\n32-bit view: parked synth: not found\n"},
        {{"restore", "Alder Desk 64", "--view", "64"}, 0, "64-bit view: Alder Desk 64: already active\n"},
        {{"hide", "No Such Driver"},
         1,
         "64-bit view: No Such Driver: not found\n32-bit view: No Such Driver: not found\n"},
        {{"restore", "birchfield legacy 32"},
         0,
         "64-bit view: birchfield legacy 32: not found\n32-bit view: Birchfield Legacy 32: already active\n"},
        {{"hide", "Corvid Loopback"},
         1,
         "64-bit view: Corvid Loopback: name taken by a driver of that name in " + View64().hiddenShown +
             "\n32-bit view: Corvid Loopback: not found\n"},
        {{"hide", kShared, "--view", "32"},
         1,
         "32-bit view: Larchmont Dual ASIO: name taken by " + View32().hiddenShown +
             "\\Larchmont Dual ASIO, a key that is no driver\n"},
        // The same text in both, but no GUID: another driver, which --replace leaves alone.
        {{"hide", "Corvid Loopback", "--replace", "--view", "64"},
         1,
         "64-bit view: Corvid Loopback: name taken by a driver of that name in " + View64().hiddenShown + "\n"},
    };
    const RegistryTree before = Snapshot();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[0] + " " + c.arguments[1]);
        ExpectRun(c.arguments, c.exitCode, c.lines);
        EXPECT_EQ(before, Snapshot());
    }
}

// An update registered a hidden driver again in both views: without --replace nothing moves and the line says what
// --replace would do; with it, one view and then both hide it again in place of the older copy, under the active
// entry's spelling; a restore with --replace puts the hidden copy back in place of the active one.
TEST_F(ConsoleMoveTest, ReplaceMovesADriverRegisteredAgainInPlaceOfItsOtherCopy)
{
    const RegistryTree older = RegistryTree()
                                   .String("CLSID", "5eed0028-0c0f-4e1d-9a5b-00000000c0de")
                                   .String("Description", "older")
                                   .Subkey("Settings", RegistryTree().Dword("Rate", 44100));
    for (const TestView* view : BothViews()) {
        WriteTree(HKEY_LOCAL_MACHINE, view->active + "\\" + kShared, RegistryTree().String("CLSID", TestClsid(40)));
        WriteTree(HKEY_LOCAL_MACHINE, view->hidden + "\\LARCHMONT DUAL ASIO", older);
    }
    const RegistryTree update = ReadTree(HKEY_LOCAL_MACHINE, View64().active).subkeys.at(kShared);
    const std::string wouldHide =
        "Larchmont Dual ASIO: already hidden, and an update has probably registered it "
        "again: --replace would hide it, replacing the older hidden copy\n";
    const RegistryTree before = Snapshot();
    ExpectRun({"hide", kShared}, 1, "64-bit view: " + wouldHide + "32-bit view: " + wouldHide);
    EXPECT_EQ(before, Snapshot());

    ExpectRun({"hide", "larchmont DUAL asio", "--replace", "--view", "32"}, 0,
              "32-bit view: Larchmont Dual ASIO: hidden, replacing the older hidden copy\n");
    EXPECT_TRUE(MachineKeyHolds(View32().hidden, RegistryTree().Subkey(kShared, update)));
    EXPECT_EQ(kShared, ReadTree(HKEY_LOCAL_MACHINE, View32().hidden).subkeys.begin()->first) << "the entry's spelling";
    EXPECT_TRUE(MachineKeyHolds(View32().active, Without(seeded32_, {kShared})));
    EXPECT_TRUE(MachineKeyHolds(View64().hidden, RegistryTree().Subkey("LARCHMONT DUAL ASIO", older)));

    ExpectRun({"hide", kShared, "--replace"}, 0,
              "64-bit view: Larchmont Dual ASIO: hidden, replacing the older hidden copy\n"
              "32-bit view: Larchmont Dual ASIO: already hidden\n");
    EXPECT_TRUE(MachineKeyHolds(View64().hidden, RegistryTree().Subkey(kShared, update)));
    EXPECT_TRUE(MachineKeyHolds(View64().active, Without(seeded64_, {kShared})));

    WriteTree(HKEY_LOCAL_MACHINE, View64().active + "\\Larchmont dual asio", older);
    const RegistryTree parked = Snapshot();
    ExpectRun({"restore", kShared, "--view", "64"}, 1,
              "64-bit view: Larchmont Dual ASIO: already active, and an update has probably registered it again: "
              "--replace would restore it, replacing the active copy\n");
    EXPECT_EQ(parked, Snapshot());
    ExpectRun({"restore", kShared, "--view", "64", "--replace"}, 0,
              "64-bit view: Larchmont Dual ASIO: restored, replacing the active copy\n");
    EXPECT_TRUE(MachineKeyHolds(View64().active, RegistryTree(Without(seeded64_, {kShared})).Subkey(kShared, update)));
    EXPECT_TRUE(MachineKeyHolds(View64().hidden, RegistryTree()));
}

TEST_F(ConsoleMoveTest, ANameMovedOnceIsAlreadyThereTheSecondTime)
{
    ExpectRun({"hide", "Corvid Loopback", "corvid loopback", "--view", "64"}, 0,
              "64-bit view: Corvid Loopback: hidden\n64-bit view: Corvid Loopback: already hidden\n");
    EXPECT_TRUE(MachineKeyHolds(View64().hidden, Only(seeded64_, {"Corvid Loopback"})));
}

TEST_F(ConsoleMoveTest, OneNameNotMovedMakesTheExitCodeOneAndTheOthersStillMove)
{
    ExpectRun({"hide", "No Such Driver", "Corvid Loopback", "--view", "64"}, 1,
              "64-bit view: No Such Driver: not found\n64-bit view: Corvid Loopback: hidden\n");
    EXPECT_TRUE(MachineKeyHolds(View64().hidden, Only(seeded64_, {"Corvid Loopback"})));
}

TEST_F(ConsoleMoveTest, UsageErrorsExitWithTwoAndChangeNothing)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string says;
    };
    const Case cases[] = {
        {{}, "no command given"},
        {{"move", "Alder Desk 64"}, "unknown command \"move\""},
        {{"list", "--verbose"}, "unknown option --verbose for list"},
        {{"hide", "Alder Desk 64", "--json"}, "unknown option --json for hide"},
        {{"list", "--replace"}, "unknown option --replace for list"},
        {{"list", "--view", "16"}, "--view takes 32 or 64, not \"16\""},
        {{"check", "--view"}, "--view needs a value"},
        {{"hide"}, "hide needs the name of at least one driver"},
        {{"restore", "--view", "64"}, "restore needs the name of at least one driver"},
        {{"list", "Alder Desk 64"}, "list takes no names, but was given \"Alder Desk 64\""},
        // probe's timeout: whole seconds from 1 to 600, and only for probe.
        {{"probe", "--timeout", "0"}, "--timeout takes whole seconds from 1 to 600, not \"0\""},
        {{"probe", "--timeout", "601"}, "--timeout takes whole seconds from 1 to 600, not \"601\""},
        {{"probe", "--timeout", "1.5"}, "--timeout takes whole seconds from 1 to 600, not \"1.5\""},
        {{"probe", "--timeout", "99999999999"}, "--timeout takes whole seconds from 1 to 600, not \"99999999999\""},
        {{"probe", "--timeout"}, "--timeout needs a value"},
        {{"check", "--timeout", "5"}, "unknown option --timeout for check"},
    };
    const RegistryTree before = Snapshot();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        const ConsoleRun run = Run(c.arguments);
        EXPECT_EQ(2u, run.exitCode) << Describe(run);
        EXPECT_EQ("", run.out);
        EXPECT_EQ("quimble64: " + c.says + "\nRun quimble64 --help for the usage.\n", run.err);
    }
    EXPECT_EQ(before, Snapshot());
}

TEST_F(ConsoleMoveTest, HelpAndVersionGoToStandardOutputWithExitCodeZero)
{
    const ConsoleRun help = Run({"--help"});
    EXPECT_EQ(0u, help.exitCode) << Describe(help);
    EXPECT_EQ(0u, help.out.find("quimble64 " QUIMBLE_VERSION ": ")) << help.out;
    for (const char* line : {"  quimble64 hide    NAME... [--view 32|64] [--replace]\n",
                             "  quimble64 probe   [NAME...] [--view 32|64] [--json] [--timeout SECONDS]\n",
                             "both registry views", "3 access denied"})
        EXPECT_NE(std::string::npos, help.out.find(line)) << line;
    // The probe's child mode is the program's own business.
    EXPECT_EQ(std::string::npos, help.out.find("--probe-child")) << help.out;
    EXPECT_EQ(help.out, Run({"hide", "--help"}).out);

    const ConsoleRun version = Run({"--version"});
    EXPECT_EQ(0u, version.exitCode) << Describe(version);
    EXPECT_EQ("quimble64 " QUIMBLE_VERSION " (ASIO Quimble command line, 64-bit edition, both registry views)\n",
              version.out);
}

// Denies access to a location for everyone, as a user without elevation meets it: setting values and creating
// subkeys (reading stays allowed), or reading. The key's own security comes back when the test ends.
constexpr char kWritesDenied[] = "D:(D;;0x6;;;WD)(A;;KA;;;WD)";
constexpr char kReadsDenied[] = "D:(D;;KR;;;WD)(A;;KA;;;WD)";
constexpr char kDeleteDenied[] = "D:(D;;SD;;;WD)(A;;KA;;;WD)";

class AccessDenied {
public:
    AccessDenied(const std::string& path, const char* securityDescriptor)
    {
        EXPECT_EQ(ERROR_SUCCESS,
                  RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, READ_CONTROL | WRITE_DAC, key_.Receive()))
            << path;
        DWORD size = sizeof original_;
        EXPECT_EQ(ERROR_SUCCESS, RegGetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, original_, &size));
        PSECURITY_DESCRIPTOR denying = nullptr;
        EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(securityDescriptor, SDDL_REVISION_1, &denying,
                                                                         nullptr));
        EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, denying));
        LocalFree(denying);
    }
    ~AccessDenied() { RegSetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, original_); }

private:
    RegistryKey key_;
    alignas(SECURITY_DESCRIPTOR) char original_[4096] = {};
};

TEST_F(ConsoleMoveTest, ALocationThatCannotBeWrittenStopsTheCommandBeforeAnythingMoves)
{
    const RegistryTree before = Snapshot();
    {
        AccessDenied denied(View32().active, kWritesDenied);
        const ConsoleRun run = Run({"hide", kShared});
        EXPECT_EQ(3u, run.exitCode) << Describe(run);
        EXPECT_EQ("", run.out);
        EXPECT_EQ(0u, run.err.find("quimble64: cannot open " + View32().activeShown + " for writing: ")) << run.err;
        EXPECT_NE(std::string::npos, run.err.find("Nothing was moved")) << run.err;
        EXPECT_NE(std::string::npos, run.err.find("elevated prompt")) << run.err;
        // Listing needs no writes, so it still works.
        const ConsoleRun list = Run({"list", "--json"});
        EXPECT_EQ(0u, list.exitCode) << Describe(list);
    }
    // The 64-bit view would have opened, but nothing moved there either.
    EXPECT_EQ(before, Snapshot());
}

// A key deep in the second name's tree that may not be deleted is found before the first name moves.
TEST_F(ConsoleMoveTest, AKeyDeepInAnEntryThatCannotBeMovedStopsTheCommandBeforeAnythingMoves)
{
    const RegistryTree before = Snapshot();
    {
        AccessDenied denied(View64().active + "\\Corvid Loopback\\Settings", kDeleteDenied);
        const ConsoleRun run = Run({"hide", "Alder Desk 64", "Corvid Loopback"});
        EXPECT_EQ(3u, run.exitCode) << Describe(run);
        EXPECT_EQ("", run.out);
        EXPECT_EQ(0u, run.err.find("quimble64: cannot open " + View64().activeShown +
                                   "\\Corvid Loopback\\Settings for writing: "))
            << run.err;
        EXPECT_NE(std::string::npos, run.err.find("Nothing was moved")) << run.err;
    }
    EXPECT_EQ(before, Snapshot());
}

TEST_F(ConsoleMoveTest, ALocationThatCannotBeReadStopsListAndCheckWithThree)
{
    AccessDenied denied(View32().active, kReadsDenied);
    for (const char* command : {"list", "check"}) {
        SCOPED_TRACE(command);
        const ConsoleRun run = Run({command, "--json"});
        EXPECT_EQ(3u, run.exitCode) << Describe(run);
        EXPECT_EQ("", run.out);
        EXPECT_EQ(0u, run.err.find("quimble64: cannot read " + View32().activeShown + ": ")) << run.err;
    }
}

class ThirtyTwoBitProgramTest : public ConsoleMoveTest {
protected:
    void SetUp() override
    {
        if (!ThirtyTwoBitEditionRuns())
            GTEST_SKIP() << "the 32-bit edition cannot run on this machine (its Wine loader does not start), so "
                            "quimble.exe is not tested here";
        ConsoleMoveTest::SetUp();
    }
};

TEST_F(ThirtyTwoBitProgramTest, ServesTheThirtyTwoBitViewOnlyAndSaysWhoServesTheOther)
{
    const ConsoleRun own = RunThirtyTwoBitProgram({"list", "--json"});
    EXPECT_EQ(0u, own.exitCode) << Describe(own);
    const ConsoleRun other = Run({"list", "--view", "32", "--json"});
    EXPECT_EQ(other.out, own.out);

    const ConsoleRun table = RunThirtyTwoBitProgram({"list"});
    EXPECT_NE(std::string::npos, table.out.find("is listed by quimble64.exe")) << table.out;

    const RegistryTree before = Snapshot();
    const ConsoleRun refused = RunThirtyTwoBitProgram({"hide", kShared, "--view", "64"});
    EXPECT_EQ(2u, refused.exitCode) << Describe(refused);
    EXPECT_NE(std::string::npos, refused.err.find("the 64-bit view needs quimble64.exe")) << refused.err;
    EXPECT_EQ(before, Snapshot());

    const ConsoleRun hidden = RunThirtyTwoBitProgram({"hide", kShared});
    EXPECT_EQ(0u, hidden.exitCode) << Describe(hidden);
    EXPECT_EQ("32-bit view: Larchmont Dual ASIO: hidden\n", hidden.out);
    EXPECT_TRUE(MachineKeyHolds(View32().hidden, Only(seeded32_, {kShared})));
    EXPECT_TRUE(MachineKeyHolds(View64().active, seeded64_));
}

}  // namespace
