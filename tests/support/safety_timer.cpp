// The limit is a thread timer, whose ticks are delivered by whichever modal loop the thread is in.
#include "safety_timer.h"

#include "app_driver.h"

#include <gtest/gtest.h>

namespace {

thread_local SafetyTimer* innermost = nullptr;

BOOL CALLBACK EndDialogWindow(HWND window, LPARAM)
{
    if (IsDialogClassWindow(window))
        EndDialog(window, SafetyTimer::kTimedOut);
    return TRUE;
}

}  // namespace

SafetyTimer::SafetyTimer(Ends ends, DWORD limitMs) : ends_(ends), limit_(limitMs), outer_(innermost)
{
    timer_ = SetTimer(nullptr, 0, limitMs, Fire);
    if (!timer_)
        ADD_FAILURE() << "SetTimer failed, error " << GetLastError();
    innermost = this;
}

SafetyTimer::~SafetyTimer()
{
    if (timer_)
        KillTimer(nullptr, timer_);
    innermost = outer_;
}

void CALLBACK SafetyTimer::Fire(HWND, UINT, UINT_PTR timer, DWORD)
{
    SafetyTimer* self = innermost;
    while (self && self->timer_ != timer)
        self = self->outer_;
    KillTimer(nullptr, timer);
    if (!self)
        return;
    self->timer_ = 0;
    self->fired_ = true;
    ADD_FAILURE() << "still running after " << self->limit_ << " ms";
    if (self->ends_ == Ends::MessageLoop)
        PostQuitMessage(0);
    else
        EnumThreadWindows(GetCurrentThreadId(), EndDialogWindow, 0);
}
