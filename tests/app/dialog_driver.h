// Drives a framework dialog from inside its own modal loop and watches when it and the message boxes appear.
#pragma once

#include "app_driver.h"
#include "safety_timer.h"
#include "wnd.h"

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

// Runs steps inside the dialog's modal loop: a thread timer performs one step per tick once the dialog is on
// screen, no message box is up and no earlier step is still inside a call. A safety timer bounds the whole run.
class ModalScript {
public:
    using Step = std::function<void(HWND dialog)>;

    ModalScript(const Wfx::CWnd& dialog, std::vector<Step> steps, DWORD limitMs = 10000);
    ~ModalScript();

    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    size_t StepsRun() const { return next_; }
    size_t StepCount() const { return steps_.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void OnTick();

    const Wfx::CWnd& dialog_;
    std::vector<Step> steps_;
    size_t next_ = 0;
    bool busy_ = false;
    SafetyTimer limit_;
    UINT_PTR timer_ = 0;
    ModalScript* outer_ = nullptr;
};

// Records, in order, "dialog shown" when a framework dialog of this thread is shown and "box: <title>" when a
// message box is activated.
class WindowEvents {
public:
    WindowEvents();
    ~WindowEvents();

    WindowEvents(const WindowEvents&) = delete;
    WindowEvents& operator=(const WindowEvents&) = delete;

    std::vector<std::string> Take();

private:
    static LRESULT CALLBACK OnCallWndProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam);
    void Add(const std::string& event);

    std::vector<std::string> events_;
    HHOOK callHook_ = nullptr;
    HHOOK cbtHook_ = nullptr;
};
