// The test prefix as the console programs meet it: both registry views' locations and class registrations, fake
// server files, and a snapshot of all of it for the runs that must change nothing. Only the build tree's own prefix
// may be seeded: its HKEY_LOCAL_MACHINE is rewritten.
#pragma once

#include "console_run.h"
#include "registry_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct TestView {
    int bits;
    // Under HKEY_LOCAL_MACHINE, as this 64-bit test reaches the view's keys (the 32-bit view's under WOW6432Node).
    std::string active;
    std::string hidden;
    std::string classes;
    std::string activeShown;  // as the programs name the locations: HKLM\...
    std::string hiddenShown;
    std::string systemFolder;  // where the view's hosts find a bare file name
    WORD machine;              // the architecture of the view's hosts
};
const TestView& View64();
const TestView& View32();
const std::vector<const TestView*>& BothViews();

// A made-up class id, unique per number.
std::string TestClsid(int number);

class ConsoleTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // quimble64.exe, or quimble.exe where the 32-bit edition can run (otherwise the test is skipped).
    static ConsoleRun Run(const std::vector<std::string>& arguments, OutputTo output = OutputTo::File);
    static ConsoleRun RunThirtyTwoBitProgram(const std::vector<std::string>& arguments);

    // The view's HKLM\Software\Classes\CLSID\{clsid}\InprocServer32 default value, as installers register it.
    void Register(const TestView& view, const std::string& clsid, DWORD type, const std::string& server);
    // A driver entry `name` under `location` with the class id TestClsid(clsid) and a Description where one is
    // given, its class registered in the view with the server path as a value of that type unless `type` is 0.
    void Driver(const TestView& view, const std::string& location, const std::string& name, int clsid,
                const std::string& description, DWORD type, const std::string& server);
    // A file with nothing but the headers that name an image's architecture, a DLL's unless `dll` is false.
    void PlaceImage(const std::string& path, WORD machine, bool dll = true);
    // Every location of both views (where it exists) and every class registered here, as they are now.
    RegistryTree Snapshot() const;

private:
    void Clear();

    std::vector<std::string> classes_;  // under HKLM, as Register wrote them
    std::vector<std::string> files_;
    std::vector<std::string> folders_;
    bool inTestPrefix_ = false;
};

// The 32-bit edition is runnable where scripts/test found it so, or when the test is run by hand.
bool ThirtyTwoBitEditionRuns();
