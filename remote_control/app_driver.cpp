// Another process's windows reached only through window messages, each send time-bound so a busy program cannot block us.
#include "app_driver.h"

#include <algorithm>

namespace {

constexpr DWORD kSendMs = 5000;

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr)
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendMs, &answer))
        return false;
    if (result)
        *result = static_cast<LRESULT>(answer);
    return true;
}

struct DialogSearch {
    DWORD processId;  // 0: any process
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<DialogSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if ((search->processId == 0 || owner == search->processId) && (!search->visibleOnly || IsWindowVisible(window)) &&
        IsDialogClassWindow(window))
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> Dialogs(DWORD processId, bool visibleOnly)
{
    DialogSearch search{processId, visibleOnly, {}};
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Wine hands another process's list text back in UTF-16 even to the ANSI send, overrunning an ANSI-sized buffer;
// asking in UTF-16 and converting here is right on Windows and Wine alike.
std::string ListItem(HWND list, int index)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(list, LB_GETTEXTLEN, index, 0, SMTO_ABORTIFHUNG, kSendMs, &length) ||
        static_cast<LRESULT>(length) == LB_ERR)
        return {};
    std::wstring wide(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(wide.data()), SMTO_ABORTIFHUNG, kSendMs,
                             &copied) ||
        static_cast<LRESULT>(copied) == LB_ERR)
        return {};
    wide.resize(copied);
    std::string text(wide.size() * 3 + 1, '\0');
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), text.data(),
                                    static_cast<int>(text.size()), nullptr, nullptr);
    text.resize(bytes > 0 ? bytes : 0);
    return text;
}

int CountOf(HWND list)
{
    LRESULT count = 0;
    if (!Send(list, LB_GETCOUNT, 0, 0, &count) || count == LB_ERR)
        return 0;
    return static_cast<int>(count);
}

bool WaitUntilGone(HWND box)
{
    return WaitUntil([box] { return !IsWindow(box) || !IsWindowVisible(box); });
}

}  // namespace

AppProcess::~AppProcess()
{
    Terminate();
}

std::string AppProcess::Start(const std::string& exePath, const std::string& arguments)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    Terminate();
    std::string commandLine = "\"" + exePath + "\"" + (arguments.empty() ? "" : " " + arguments);
    if (!CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        return "CreateProcessA(" + commandLine + ") failed, error " + std::to_string(GetLastError());
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    return {};
}

std::string AppProcess::Attach(HWND window)
{
    GetWindowThreadProcessId(window, &id_);
    process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, id_);
    if (!process_)
        return "OpenProcess(" + std::to_string(id_) + ") failed, error " + std::to_string(GetLastError());
    return {};
}

bool AppProcess::Running() const
{
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool AppProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode)
{
    if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0)
        return false;
    return GetExitCodeProcess(process_, exitCode) != 0;
}

void AppProcess::Terminate()
{
    if (!process_)
        return;
    if (Running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, kWaitMs);
    }
    CloseHandle(process_);
    process_ = nullptr;
}

void AppProcess::Release()
{
    if (process_)
        CloseHandle(process_);
    process_ = nullptr;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (condition())
            return true;
        Sleep(pollMs);
    }
    return condition();
}

std::string WindowTitle(HWND window)
{
    char title[256] = {};
    GetWindowTextA(window, title, sizeof title);
    return title;
}

bool IsDialogClassWindow(HWND window)
{
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    return lstrcmpA(name, "#32770") == 0;
}

std::vector<HWND> VisibleDialogs(DWORD processId)
{
    return Dialogs(processId, true);
}

HWND WaitForVisibleDialog(const AppProcess& app, DWORD timeoutMs)
{
    HWND dialog = nullptr;
    WaitUntil(
        [&] {
            std::vector<HWND> dialogs = VisibleDialogs(app.Id());
            if (!dialogs.empty())
                dialog = dialogs.front();
            return dialog || !app.Running();
        },
        timeoutMs);
    return dialog;
}

HWND WaitForBox(const AppProcess& app, DWORD timeoutMs)
{
    HWND box = nullptr;
    WaitUntil(
        [&] {
            for (HWND dialog : VisibleDialogs(app.Id()))
                if (!box && !IsMainDialog(dialog))
                    box = dialog;
            return box || !app.Running();
        },
        timeoutMs);
    return box;
}

HWND WaitForMainDialogPastBox(const AppProcess& app, std::string* answered)
{
    answered->clear();
    HWND window = WaitForVisibleDialog(app);
    if (window && !IsMainDialog(window)) {
        *answered = WindowTitle(window);
        if (!AnswerBox(window))
            return nullptr;
        window = WaitForVisibleDialog(app);
    }
    return window && IsMainDialog(window) ? window : nullptr;
}

bool IsMainDialog(HWND window)
{
    return GetDlgItem(window, kActiveList) != nullptr;
}

HWND FindMainDialog()
{
    for (HWND dialog : Dialogs(0, false))
        if (IsMainDialog(dialog) && WindowTitle(dialog).rfind(kProductName, 0) == 0)
            return dialog;
    return nullptr;
}

std::string BoxText(HWND box)
{
    // A message box keeps its text in a static control with the id 0xFFFF.
    char text[4096] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

bool AnswerBox(HWND box)
{
    HWND ok = GetDlgItem(box, IDOK);
    if (ok)
        PostMessageA(ok, BM_CLICK, 0, 0);
    else
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return WaitUntilGone(box);
}

bool AnswerBoxWith(HWND box, int buttonId)
{
    HWND button = GetDlgItem(box, buttonId);
    if (!button)
        return false;
    PostMessageA(button, BM_CLICK, 0, 0);
    return WaitUntilGone(box);
}

int ListCount(HWND dialog, int listId)
{
    return CountOf(GetDlgItem(dialog, listId));
}

std::vector<std::string> ListItems(HWND dialog, int listId)
{
    HWND list = GetDlgItem(dialog, listId);
    std::vector<std::string> items;
    for (int i = 0, count = CountOf(list); i < count; ++i)
        items.push_back(ListItem(list, i));
    return items;
}

std::vector<std::string> SelectedItems(HWND dialog, int listId)
{
    HWND list = GetDlgItem(dialog, listId);
    std::vector<std::string> items;
    for (int i = 0, count = CountOf(list); i < count; ++i) {
        LRESULT selected = 0;
        if (Send(list, LB_GETSEL, i, 0, &selected) && selected > 0)
            items.push_back(ListItem(list, i));
    }
    return items;
}

bool SelectItems(HWND dialog, int listId, const std::vector<int>& indices)
{
    HWND list = GetDlgItem(dialog, listId);
    for (int index : indices) {
        LRESULT rc = LB_ERR;
        if (!Send(list, LB_SETSEL, TRUE, index, &rc) || rc == LB_ERR)
            return false;
    }
    return true;
}

bool SelectNamedItems(HWND dialog, int listId, const std::vector<std::string>& names)
{
    const std::vector<std::string> items = ListItems(dialog, listId);
    std::vector<int> indices;
    for (const std::string& name : names) {
        const auto found = std::find(items.begin(), items.end(), name);
        if (found == items.end())
            return false;
        indices.push_back(static_cast<int>(found - items.begin()));
    }
    return SelectItems(dialog, listId, indices);
}

bool SelectAll(HWND dialog, int listId)
{
    LRESULT rc = LB_ERR;
    // Index -1 stands for every item.
    return Send(GetDlgItem(dialog, listId), LB_SETSEL, TRUE, -1, &rc) && rc != LB_ERR;
}

void ClickButton(HWND dialog, int buttonId)
{
    PostMessageA(GetDlgItem(dialog, buttonId), BM_CLICK, 0, 0);
}

bool SendClick(HWND dialog, int buttonId, DWORD timeoutMs)
{
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(GetDlgItem(dialog, buttonId), BM_CLICK, 0, 0, SMTO_NORMAL, timeoutMs, &answer) != 0;
}

bool WaitUntilBetweenHandlers(HWND window)
{
    // Without SMTO_ABORTIFHUNG: a program busy with a command for more than a few seconds counts as hung, and the
    // answer wanted is the one right after that command.
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kWaitMs, &answer) != 0;
}

bool WaitUntilPaintedAndIdle(HWND dialog)
{
    // Sends WM_PAINT to each window of the dialog that still needs it and returns once those are painted.
    RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    // A paint the thread had already begun by itself is not found above, and the call returns while it goes on.
    return WaitUntilBetweenHandlers(dialog);
}

HWND FocusedControl(HWND dialog)
{
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &thread))
        return nullptr;
    return thread.hwndFocus;
}

bool PressEscape(HWND dialog)
{
    HWND target = FocusedControl(dialog);
    if (!target)
        target = dialog;
    // Scan code 1 is Esc; bits 30 and 31 of the key-up mark a released key that was down.
    const LPARAM down = 1 | (0x01 << 16);
    const LPARAM up = down | (1u << 30) | (1u << 31);
    return PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, down) && PostMessageA(target, WM_KEYUP, VK_ESCAPE, up);
}

bool PressCloseBox(HWND dialog)
{
    return PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE;
}
