// Drives the real AsioQuimble.exe from another process: starts it, finds its windows, reads and presses its controls.
#pragma once

#include "host_path.h"

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

constexpr int kActiveList = 124;
constexpr int kHiddenList = 121;
constexpr int kHideButton = 122;
constexpr int kRestoreButton = 123;

// Every wait gives up after this long, so a missing window fails a run instead of hanging it.
constexpr DWORD kWaitMs = 20000;

// The program as a child process; a run that was not waited for is terminated when this goes.
class AppProcess {
public:
    AppProcess() = default;
    ~AppProcess();

    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    // Ends an earlier run first. Empty on success, otherwise what went wrong.
    std::string Start(const std::string& exePath, const std::string& arguments = "");
    // Takes over a running instance, found by one of its windows.
    std::string Attach(HWND window);
    bool Running() const;
    // True with the exit code once the process has ended within the time.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode);
    void Terminate();
    // Lets go of the process without ending it.
    void Release();

    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_; }

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// Polls the condition with short sleeps until it holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kWaitMs, DWORD pollMs = 50);

std::string WindowTitle(HWND window);
// True for a window of the system's dialog class: a dialog or a message box.
bool IsDialogClassWindow(HWND window);
// The visible top-level dialog-class windows (message boxes and dialogs) of a process, topmost first.
std::vector<HWND> VisibleDialogs(DWORD processId);
// The first visible dialog-class window of the process; null when none came in time or the process ended.
HWND WaitForVisibleDialog(const AppProcess& app, DWORD timeoutMs = kWaitMs);
// The topmost visible message box of the process, while the main dialog may be shown too.
HWND WaitForBox(const AppProcess& app, DWORD timeoutMs = kWaitMs);
// The main dialog once it is shown, answering a box that comes first (the first-use help) and giving its title in
// `answered` (empty when none came); null when a box would not close or no main dialog came.
HWND WaitForMainDialogPastBox(const AppProcess& app, std::string* answered);
// The main dialog is the dialog-class window that holds the active list.
bool IsMainDialog(HWND window);
// Either edition's caption begins with the product's name.
constexpr char kProductName[] = "ASIO Quimble";
// The main dialog of any process, shown or still initialising; null if there is none.
HWND FindMainDialog();

std::string BoxText(HWND box);
// Presses the box's OK button and waits until the box has gone.
bool AnswerBox(HWND box);
// Presses the box's button of that id (IDYES, IDNO) and waits until the box has gone; false when it has no such
// button or did not go.
bool AnswerBoxWith(HWND box, int buttonId);

// The items of a list box in UTF-8, in list order; any process's list, this thread's own included.
// 0 for a list that does not answer.
int ListCount(HWND dialog, int listId);
std::vector<std::string> ListItems(HWND dialog, int listId);
std::vector<std::string> SelectedItems(HWND dialog, int listId);
bool SelectItems(HWND dialog, int listId, const std::vector<int>& indices);
// Selects the items of these names; false when one of them is not in the list or the list does not answer.
bool SelectNamedItems(HWND dialog, int listId, const std::vector<std::string>& names);
// One message for the whole list, however long it is.
bool SelectAll(HWND dialog, int listId);
// Posts the click, so that a command which shows a box cannot block the caller.
void ClickButton(HWND dialog, int buttonId);
// Sends the click and returns once the program has handled it; for commands that show no box. False when the
// program did not finish within the time.
bool SendClick(HWND dialog, int buttonId, DWORD timeoutMs);
// Sends the window a message that does nothing and returns once its thread has taken it. A thread takes sent
// messages when it looks for messages, ahead of any paint it still has to do: the handler it was running has
// returned, unless it runs a message loop of its own (a message box). False when the program did not answer in time.
bool WaitUntilBetweenHandlers(HWND window);
// Waits until the dialog's thread has painted whatever the dialog or its controls still had to show and is back at
// its messages: the state a user's next click finds. False when the program did not answer in time.
bool WaitUntilPaintedAndIdle(HWND dialog);
// The control of the dialog's thread that has the keyboard focus; null if none.
HWND FocusedControl(HWND dialog);
// Esc as a key press reaching the control that has the focus, the way the keyboard delivers it.
bool PressEscape(HWND dialog);
// What a click on the caption's close box sends.
bool PressCloseBox(HWND dialog);
