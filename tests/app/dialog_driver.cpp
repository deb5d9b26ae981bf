// Timer-driven steps inside a modal dialog loop, and hooks that log when dialogs and message boxes appear.
#include "dialog_driver.h"

#include "dialog.h"

#include <gtest/gtest.h>
#include <utility>

namespace {

thread_local ModalScript* activeScript = nullptr;
thread_local WindowEvents* activeEvents = nullptr;

bool IsFrameworkDialog(HWND window)
{
    return IsDialogClassWindow(window) &&
           reinterpret_cast<DLGPROC>(GetWindowLongPtrA(window, DWLP_DLGPROC)) == Wfx::StaticDialogProc;
}

BOOL CALLBACK FindMessageBox(HWND window, LPARAM found)
{
    if (IsWindowVisible(window) && IsDialogClassWindow(window) && !IsFrameworkDialog(window)) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

bool MessageBoxShowing()
{
    bool found = false;
    EnumThreadWindows(GetCurrentThreadId(), FindMessageBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

ModalScript::ModalScript(const Wfx::CWnd& dialog, std::vector<Step> steps, DWORD limitMs)
    : dialog_(dialog),
      steps_(std::move(steps)),
      limit_(SafetyTimer::Ends::Dialogs, limitMs),
      outer_(activeScript)
{
    activeScript = this;
    timer_ = SetTimer(nullptr, 0, 20, Tick);
    if (!timer_)
        ADD_FAILURE() << "SetTimer failed, error " << GetLastError();
}

ModalScript::~ModalScript()
{
    if (timer_)
        KillTimer(nullptr, timer_);
    activeScript = outer_;
}

void CALLBACK ModalScript::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (activeScript)
        activeScript->OnTick();
}

void ModalScript::OnTick()
{
    HWND dialog = dialog_.hWnd;
    // A box still up means this tick came from the box's own loop: the step before has not finished its work.
    if (busy_ || next_ >= steps_.size() || !dialog || !IsWindowVisible(dialog) || MessageBoxShowing())
        return;
    busy_ = true;
    steps_[next_++](dialog);
    busy_ = false;
}

WindowEvents::WindowEvents()
{
    callHook_ = SetWindowsHookExA(WH_CALLWNDPROC, OnCallWndProc, nullptr, GetCurrentThreadId());
    cbtHook_ = SetWindowsHookExA(WH_CBT, OnCbt, nullptr, GetCurrentThreadId());
    if (!callHook_ || !cbtHook_)
        ADD_FAILURE() << "SetWindowsHookExA failed, error " << GetLastError();
    activeEvents = this;
}

WindowEvents::~WindowEvents()
{
    if (callHook_)
        UnhookWindowsHookEx(callHook_);
    if (cbtHook_)
        UnhookWindowsHookEx(cbtHook_);
    activeEvents = nullptr;
}

std::vector<std::string> WindowEvents::Take()
{
    return std::exchange(events_, {});
}

void WindowEvents::Add(const std::string& event)
{
    // A window may be told to show more than once; the order of first appearances is what tests look at.
    if (events_.empty() || events_.back() != event)
        events_.push_back(event);
}

LRESULT CALLBACK WindowEvents::OnCallWndProc(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (activeEvents && code == HC_ACTION && call->message == WM_SHOWWINDOW && call->wParam &&
        IsFrameworkDialog(call->hwnd))
        activeEvents->Add("dialog shown");
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK WindowEvents::OnCbt(int code, WPARAM wParam, LPARAM lParam)
{
    HWND window = reinterpret_cast<HWND>(wParam);
    if (activeEvents && code == HCBT_ACTIVATE && IsDialogClassWindow(window) && !IsFrameworkDialog(window)) {
        char title[256] = {};
        GetWindowTextA(window, title, sizeof title);
        activeEvents->Add(std::string("box: ") + title);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
