// Window objects that record the hooks they see, and helpers for the framework core's tests.
#pragma once

#include <windows.h>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "message_box_recorder.h"
#include "win_exception.h"
#include "wnd.h"

constexpr char kNotInitialised[] = "Wfx has not been initialised properly.\n Start Wfx by inheriting from CWinApp.";

// Every test watches for message boxes, so a box that a fault brings up fails the test instead of blocking it.
class BoxWatchingTest : public ::testing::Test {
protected:
    MessageBoxRecorder recorder;
};

// A hex message number, as the hook log writes it.
inline std::string Hex(UINT value)
{
    char text[16] = {};
    wsprintfA(text, "0x%X", value);
    return text;
}

// Records every hook call as "name.Hook" (with the message for the message hooks) in a log that several objects
// may share, so the order across objects shows. Results of the hooks are set per test.
class TestWnd : public Wfx::CWnd {
public:
    explicit TestWnd(std::string name = "w", std::vector<std::string>* sharedLog = nullptr)
        : name(std::move(name)),
          log(sharedLog ? sharedLog : &ownLog)
    {
    }

    // Seen first by WndProc; returning true answers the message with result.
    std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)> handler;
    std::function<BOOL(const MSG&)> preTranslateResult = [](const MSG&) { return FALSE; };
    LRESULT reflectedResult = 0;
    LRESULT reflectedNotifyResult = 0;
    LRESULT preNotifyResult = 0;
    LRESULT notifyResult = 0;
    BOOL commandResult = FALSE;
    BOOL unhandledCommandResult = FALSE;
    // When set, DefWindowProc answers these messages itself, so a test can tell that default processing ran.
    std::vector<UINT> defaultAnswered;
    LRESULT defaultResult = 0;

    std::vector<UINT> seen;
    std::vector<HDC> paintDcs;
    std::string name;
    std::vector<std::string> ownLog;
    std::vector<std::string>* log;

    int Count(UINT message) const { return static_cast<int>(std::count(seen.begin(), seen.end(), message)); }
    int CountLog(const std::string& entry) const
    {
        return static_cast<int>(std::count(log->begin(), log->end(), name + "." + entry));
    }

    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        seen.push_back(message);
        LRESULT result = 0;
        if (handler && handler(message, wParam, lParam, result))
            return result;
        return WndProcDefault(window, message, wParam, lParam);
    }
    LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (std::find(defaultAnswered.begin(), defaultAnswered.end(), message) != defaultAnswered.end()) {
            Log("DefWindowProc " + Hex(message));
            return defaultResult;
        }
        return CWnd::DefWindowProc(window, message, wParam, lParam);
    }
    BOOL PreTranslateMessage(MSG* msg) override
    {
        Log("PreTranslate " + Hex(msg->message));
        return preTranslateResult(*msg);
    }
    LRESULT OnReflectedMessage(UINT message, WPARAM, LPARAM) override
    {
        Log("OnReflectedMessage " + Hex(message));
        return reflectedResult;
    }
    LRESULT OnReflectedNotify(WPARAM, LPARAM) override
    {
        Log("OnReflectedNotify");
        return reflectedNotifyResult;
    }
    LRESULT PreNotify(WPARAM, LPARAM) override
    {
        Log("PreNotify");
        return preNotifyResult;
    }
    LRESULT OnNotify(WPARAM, LPARAM) override
    {
        Log("OnNotify");
        return notifyResult;
    }
    BOOL OnCommand(WPARAM, LPARAM) override
    {
        Log("OnCommand");
        return commandResult;
    }
    BOOL OnUnhandledCommand(WPARAM, LPARAM) override
    {
        Log("OnUnhandledCommand");
        return unhandledCommandResult;
    }
    void OnCreate() override { Log("OnCreate"); }
    void OnAfterCreate() override { Log("OnAfterCreate"); }
    void OnPaint(HDC dc) override
    {
        Log("OnPaint");
        paintDcs.push_back(dc);
    }

    void Log(const std::string& entry) { log->push_back(name + "." + entry); }
};

// A hidden top-level framework window of the default class; fails the test when it cannot be made.
inline HWND CreateHidden(Wfx::CWnd& object, HWND parent = nullptr, DWORD style = WS_OVERLAPPEDWINDOW)
{
    HWND window = object.CreateEx(0, nullptr, "core test", style, 0, 0, 200, 150, parent, nullptr, nullptr);
    EXPECT_NE(nullptr, window) << "CreateEx";
    return window;
}

// A control made with the system's own calls, outside the framework.
inline HWND CreateRawControl(const char* className, HWND parent, int id, DWORD style = WS_CHILD | WS_VISIBLE)
{
    HWND control =
        CreateWindowExA(0, className, "raw", style, 0, 0, 50, 20, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(nullptr, control) << "CreateWindowExA(" << className << ")";
    return control;
}

// The action throws a CWinException whose box shows this failure text; the box is shown here.
inline ::testing::AssertionResult ThrowsFailure(MessageBoxRecorder& recorder, const std::string& text,
                                                const std::function<void()>& action)
{
    try {
        action();
    } catch (const Wfx::CWinException& e) {
        e.ShowMessage();
        return recorder.TookOneFailure(text);
    }
    return ::testing::AssertionFailure() << "no CWinException for \"" << text << "\"";
}

// What an exception's box says.
inline std::string ShownText(const Wfx::CWinException& e, MessageBoxRecorder& recorder)
{
    e.ShowMessage();
    const std::vector<RecordedBox> boxes = recorder.Take();
    EXPECT_EQ(1u, boxes.size()) << "ShowMessage boxes";
    return boxes.empty() ? std::string() : boxes[0].text;
}
