// Drives a framework dialog from inside its own modal loop and watches when it and the message boxes appear.
#pragma once

#include "wnd.h"

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

// Runs steps inside the dialog's modal loop: a thread timer performs one step per tick once the dialog is on
// screen, no message box is up and no earlier step is still inside a call. Past the time limit it fails the test
// and ends every dialog of the thread (message boxes included), so no test can hang on a modal window.
class ModalScript {
public:
    using Step = std::function<void(HWND dialog)>;

    // What DoModal returns when the time limit ended the dialog.
    static constexpr INT_PTR kTimedOut = 0x7EED;

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
    bool timedOut_ = false;
    DWORD start_;
    DWORD limit_;
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

std::vector<std::string> ListItems(HWND dialog, int listId);
std::vector<std::string> SelectedListItems(HWND dialog, int listId);
