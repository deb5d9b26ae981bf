// A time limit for a test that runs a modal dialog or a message loop, so that a fault fails the test instead of
// blocking it.
#pragma once

#include <windows.h>

class SafetyTimer {
public:
    enum class Ends { Dialogs, MessageLoop };
    // What a modal run returns when the time limit ended it.
    static constexpr INT_PTR kTimedOut = 0x7E57;

    // Past the limit the test fails, and every dialog of the thread (message boxes included) is ended with
    // kTimedOut, or the thread's message loop is sent its quit message.
    explicit SafetyTimer(Ends ends = Ends::Dialogs, DWORD limitMs = 5000);
    ~SafetyTimer();

    SafetyTimer(const SafetyTimer&) = delete;
    SafetyTimer& operator=(const SafetyTimer&) = delete;

    bool Fired() const { return fired_; }

private:
    static void CALLBACK Fire(HWND, UINT, UINT_PTR timer, DWORD);

    Ends ends_;
    DWORD limit_;
    bool fired_ = false;
    UINT_PTR timer_ = 0;
    SafetyTimer* outer_ = nullptr;
};
