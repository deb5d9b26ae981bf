// The real road through the desktop's shell, with a test program for it to start instead of a browser.
#include "host_path.h"
#include "shell_open_target.h"
#include "unelevated_open.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <thread>

namespace {

TEST(OpenThroughDesktopShell, TheDesktopsShellStartsTheTargetAndCOMIsLeftAsItWas)
{
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, kShellOpenTargetEvent);
    ASSERT_NE(nullptr, started) << "CreateEventA, error " << GetLastError();
    const std::string target = WindowsPathOf(QUIMBLE_SHELL_OPEN_TARGET);

    // On a thread of its own, which starts without COM, so that what the call leaves behind shows.
    bool opened = false;
    HRESULT comAfterwards = E_FAIL;
    std::thread([&] {
        opened = OpenThroughDesktopShell(target.c_str());
        comAfterwards = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(comAfterwards))
            CoUninitialize();
    }).join();

    // S_FALSE would mean the call left COM initialised on its thread.
    EXPECT_EQ(S_OK, comAfterwards);
    // Under Wine the desktop's shell is the prefix's explorer.exe; one left over from an earlier X display no longer
    // answers (end the prefix's wineserver).
    EXPECT_TRUE(opened) << target;
    if (opened) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started, 20000)) << "the target did not start: " << target;
    }
    CloseHandle(started);
}

}  // namespace
