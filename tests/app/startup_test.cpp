// The main dialog's start on a sandboxed registry: parked drivers without an active location, and every registry
// call of the start failing once.
#include "dialog.h"
#include "dialog_driver.h"
#include "driver_trees.h"
#include "expected_texts.h"
#include "message_box_recorder.h"
#include "my_dialog.h"
#include "registry_faults.h"
#include "registry_sandbox.h"
#include "resources/resource.h"
#include "win_app.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

class StartupTest : public ::testing::Test {
protected:
    // Runs the dialog modally: when it shows, the step looks at it and ends it with "&OK".
    INT_PTR RunLooking(ModalScript::Step look)
    {
        CMyDialog dialog(IDD_MAIN, nullptr);
        ModalScript script(dialog, {[&](HWND d) {
                               look(d);
                               SendMessageA(GetDlgItem(d, IDOK), BM_CLICK, 0, 0);
                           }});
        return dialog.DoModal();
    }

    MessageBoxRecorder boxes{{Wfx::StaticDialogProc}};
    RegistrySandbox sandbox;
    Wfx::CWinApp app;
};

// An uninstaller may delete "Software\ASIO" with its last driver: what was parked must still be restorable.
TEST_F(StartupTest, ParkedDriversWithoutAnActiveLocationAreShownAndRestored)
{
    WriteTree(HKEY_LOCAL_MACHINE, kHiddenPath, Drivers({"Organ", "Synth"}));
    Names active;
    Names hidden;
    EXPECT_EQ(IDOK, RunLooking([&](HWND d) {
                  EXPECT_EQ(Names{}, ListItems(d, IDC_ACTIVE_LIST));
                  EXPECT_EQ((Names{"Organ", "Synth"}), ListItems(d, IDC_HIDDEN_LIST));
                  SendDlgItemMessageA(d, IDC_HIDDEN_LIST, LB_SETSEL, TRUE, 0);
                  SendMessageA(GetDlgItem(d, IDC_RESTORE), BM_CLICK, 0, 0);
                  active = ListItems(d, IDC_ACTIVE_LIST);
                  hidden = ListItems(d, IDC_HIDDEN_LIST);
              }));
    EXPECT_TRUE(boxes.Take().empty());
    EXPECT_EQ(Names{"Organ"}, active);
    EXPECT_EQ(Names{"Synth"}, hidden);
    EXPECT_EQ(Drivers({"Organ"}), ReadTree(HKEY_LOCAL_MACHINE, kActivePath));
    EXPECT_EQ(Drivers({"Synth"}), ReadTree(HKEY_LOCAL_MACHINE, kHiddenPath));
}

// Without parked drivers there is nothing to restore, and the missing location stays missing.
TEST_F(StartupTest, NoActiveLocationAndNoParkedDriverEndsWithItsBox)
{
    const RegistryTree notADriver = RegistryTree().Subkey("Leftover", RegistryTree().String("Note", "x"));
    for (const bool hiddenExists : {false, true}) {
        SCOPED_TRACE(hiddenExists ? "an empty parking key" : "no parking key");
        if (hiddenExists)
            WriteTree(HKEY_LOCAL_MACHINE, kHiddenPath, notADriver);
        CMyDialog dialog(IDD_MAIN, nullptr);
        EXPECT_EQ(IDCANCEL, dialog.DoModal());
        EXPECT_TRUE(boxes.TookOneBox(kQuimbleTitle, kNoDriversText, nullptr));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kActivePath));
    }
}

// Every registry call of the start failing once: the box or the lists the start calls for, nothing left open.
TEST_F(StartupTest, AnyFailedCallAtStartShowsItsBoxOrListsWhatItCould)
{
    const Names activeNames = {"Alpha", "Bravo", "Charlie"};
    const Names hiddenNames = {"Delta", "Echo"};
    WriteTree(HKEY_LOCAL_MACHINE, kActivePath, Drivers(activeNames));
    WriteTree(HKEY_LOCAL_MACHINE, kHiddenPath, Drivers(hiddenNames));
    FaultPoints points;
    {
        RegistryFaults faults;
        RunLooking([](HWND) {});
        points = FaultPointsOf(faults.Calls());
    }
    ASSERT_FALSE(points.empty());
    for (const FaultPoint& point : points) {
        SCOPED_TRACE("failing " + Describe(point));
        const bool opensActive = point.path == MachinePath(kActivePath) && point.call == "RegOpenKeyExA";
        const bool opensHidden = point.path == MachinePath(kHiddenPath) && point.call == "RegOpenKeyExA";
        Names active;
        Names hidden;
        INT_PTR result = 0;
        {
            RegistryFaults faults;
            faults.Fail(point);
            result = RunLooking([&](HWND d) {
                active = ListItems(d, IDC_ACTIVE_LIST);
                hidden = ListItems(d, IDC_HIDDEN_LIST);
            });
            EXPECT_TRUE(faults.OpenKeys().empty()) << faults.OpenKeys().size() << " keys left open";
            EXPECT_EQ(0, faults.StrayCloses());
        }
        if (opensActive) {
            EXPECT_EQ(IDCANCEL, result);
            EXPECT_TRUE(boxes.TookOneBox(kQuimbleTitle, kNoDriversText, nullptr));
            continue;
        }
        EXPECT_EQ(IDOK, result);
        if (opensHidden) {
            const std::vector<RecordedBox> shown = boxes.Take();
            ASSERT_EQ(1u, shown.size());
            EXPECT_EQ(kHelpTitle, shown[0].title);
            EXPECT_EQ(activeNames, active);
            EXPECT_EQ(Names{}, hidden);
            continue;
        }
        EXPECT_TRUE(boxes.Take().empty());
        // A listing call that fails loses at most the one entry it was about, or the whole list when it was the
        // location's own query.
        size_t lost = 0;
        for (const auto& [shown, all] : {std::pair{&active, &activeNames}, {&hidden, &hiddenNames}}) {
            EXPECT_TRUE(std::includes(all->begin(), all->end(), shown->begin(), shown->end()))
                << ::testing::PrintToString(*shown);
            lost += all->size() - shown->size();
        }
        const bool locationQuery = point.call == "RegQueryInfoKeyA" && EntryOf(point.path).empty();
        EXPECT_LE(lost, locationQuery ? 3u : 1u);
    }
}

}  // namespace
