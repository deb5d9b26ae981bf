// Both editions in one 64-bit prefix, as on 64-bit Windows: each must hide drivers from its own registry view only.
#include "app_driver.h"
#include "expected_texts.h"
#include "registry_tree.h"
#include "test_prefix.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A 64-bit program reaches the 32-bit view's keys under this node; a 32-bit program is redirected there.
const std::string kWow64Node = "Software\\WOW6432Node\\";

struct View {
    const char* name;
    std::string exe;
    std::string activePath;
    std::string hiddenPath;
};

RegistryTree Driver(const std::string& clsid)
{
    return RegistryTree().String("CLSID", clsid).Dword("Version", 0x00010002);
}

// The same name in both views, as some drivers register, with a different class id in each.
const char kSharedName[] = "Larchmont Dual ASIO";

// scripts/test names the editions its probe found runnable; run by hand, the test assumes both are.
bool ThirtyTwoBitEditionRuns()
{
    const char* runnable = std::getenv("QUIMBLE_RUNNABLE_EDITIONS");
    return !runnable || std::string(runnable).find("32") != std::string::npos;
}

class TwoViewsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ThirtyTwoBitEditionRuns())
            GTEST_SKIP() << "the 32-bit edition cannot run on this machine (its Wine loader does not start), so only "
                            "the 64-bit view can be tested";
        // Only the build tree's throwaway prefix may have its machine-wide keys rewritten.
        ASSERT_TRUE(InTestPrefix(QUIMBLE_TEST_PREFIX));
        inTestPrefix_ = true;
        view64_ = {"64-bit", WindowsPathOf(QUIMBLE_APP_EXE), kActivePath, kHiddenPath};
        view32_ = {"32-bit", WindowsPathOf(QUIMBLE_OTHER_EDITION_EXE), kWow64Node + "ASIO",
                   kWow64Node + "ASIO Quimble"};
        DeleteLocations();

        seeded64_.Subkey("Alder Desk 64", Driver("{6A0E1D2C-3B4A-4958-8716-A5B4C3D2E164}"))
            .Subkey(kSharedName, Driver("{6B1F2E3D-4C5B-4A69-9827-B6C5D4E3F264}"))
            .Subkey("Not A Driver", RegistryTree().Dword("Latency", 10));
        seeded32_.Subkey("Birchfield Legacy 32", Driver("{3A0E1D2C-3B4A-4958-8716-A5B4C3D2E132}"))
            .Subkey(kSharedName, Driver("{3B1F2E3D-4C5B-4A69-9827-B6C5D4E3F232}"));
        WriteTree(HKEY_LOCAL_MACHINE, view64_.activePath, seeded64_);
        WriteTree(HKEY_LOCAL_MACHINE, view32_.activePath, seeded32_);
    }

    void TearDown() override
    {
        if (inTestPrefix_)
            DeleteLocations();
    }

    void DeleteLocations()
    {
        for (const View* view : {&view64_, &view32_})
            for (const std::string& path : {view->activePath, view->hiddenPath}) {
                RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
                ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, path)) << path;
            }
    }

    // As a user would: answer the first-use help, select the one driver, press ">>" and see it move or, given
    // `box`, read the box that says why it stayed; then press Esc.
    static void HideWithEdition(const View& view, const std::string& driver, std::string* box = nullptr)
    {
        SCOPED_TRACE(std::string("the ") + view.name + " edition");
        AppProcess app;
        std::string error = app.Start(view.exe);
        ASSERT_TRUE(error.empty()) << error << " (where the 32-bit edition cannot run, scripts/test skips this test)";
        std::string answered;
        HWND window = WaitForMainDialogPastBox(app, &answered);
        ASSERT_TRUE(window) << "the main dialog did not appear";
        if (!answered.empty()) {
            ASSERT_EQ(kHelpTitle, answered);
        }
        ASSERT_TRUE(SelectNamedItems(window, kActiveList, {driver})) << driver << " is not in the active list";
        ClickButton(window, kHideButton);
        if (box) {
            HWND shown = WaitForBox(app);
            ASSERT_TRUE(shown) << "no box said why " << driver << " stayed";
            *box = BoxText(shown);
            ASSERT_TRUE(AnswerBox(shown));
        } else {
            EXPECT_TRUE(WaitUntil([&] { return ListItems(window, kHiddenList) == std::vector<std::string>{driver}; }))
                << driver << " did not reach the hidden list";
        }

        ASSERT_TRUE(PressEscape(window));
        DWORD exitCode = 0xDEADBEEF;
        ASSERT_TRUE(app.WaitForExit(kWaitMs, &exitCode)) << "the program did not end";
        EXPECT_EQ(0u, exitCode);
    }

    View view64_, view32_;
    RegistryTree seeded64_, seeded32_;
    bool inTestPrefix_ = false;
};

TEST_F(TwoViewsTest, EachEditionHidesFromItsOwnViewOnly)
{
    // The name both views hold, hidden by the 32-bit edition: the 64-bit view keeps its own entry of that name.
    HideWithEdition(view32_, kSharedName);
    EXPECT_TRUE(MachineKeyHolds(view32_.activePath, Without(seeded32_, {kSharedName})));
    EXPECT_TRUE(MachineKeyHolds(view32_.hiddenPath, Only(seeded32_, {kSharedName})));
    EXPECT_TRUE(MachineKeyHolds(view64_.activePath, seeded64_));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, view64_.hiddenPath)) << "the 32-bit edition parked in the 64-bit view";

    HideWithEdition(view64_, "Alder Desk 64");
    EXPECT_TRUE(MachineKeyHolds(view64_.activePath, Without(seeded64_, {"Alder Desk 64"})));
    EXPECT_TRUE(MachineKeyHolds(view64_.hiddenPath, Only(seeded64_, {"Alder Desk 64"})));
    EXPECT_TRUE(MachineKeyHolds(view32_.activePath, Without(seeded32_, {kSharedName})));
    EXPECT_TRUE(MachineKeyHolds(view32_.hiddenPath, Only(seeded32_, {kSharedName})));
}

TEST_F(TwoViewsTest, AKeyInTheWayIsNamedWhereTheRegistryEditorShowsIt)
{
    // A leftover that is no driver in the 32-bit parking key: the box must send the user to the 32-bit view's key.
    const RegistryTree leftover = RegistryTree().Subkey(kSharedName, RegistryTree().Dword("Latency", 10));
    WriteTree(HKEY_LOCAL_MACHINE, view32_.hiddenPath, leftover);
    std::string box;
    HideWithEdition(view32_, kSharedName, &box);
    EXPECT_NE(std::string::npos, box.find("HKEY_LOCAL_MACHINE\\" + view32_.hiddenPath + " ")) << box;
    EXPECT_TRUE(MachineKeyHolds(view32_.activePath, seeded32_));
    EXPECT_TRUE(MachineKeyHolds(view32_.hiddenPath, leftover));
}

}  // namespace
