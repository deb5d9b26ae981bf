// A thread-local CBT hook sees each dialog as it is activated; a message box is read and answered, by default with OK.
#include "message_box_recorder.h"

#include "app_driver.h"

#include <gtest/gtest.h>
#include <algorithm>

namespace {

thread_local MessageBoxRecorder* activeRecorder = nullptr;

std::string WindowText(HWND window)
{
    char buffer[4096] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

}  // namespace

MessageBoxRecorder::MessageBoxRecorder(std::vector<DLGPROC> ownDialogProcs)
    : ownDialogProcs_(std::move(ownDialogProcs)),
      outer_(activeRecorder)
{
    hook_ = SetWindowsHookExA(WH_CBT, HookProc, nullptr, GetCurrentThreadId());
    if (!hook_)
        ADD_FAILURE() << "SetWindowsHookExA(WH_CBT) failed, error " << GetLastError();
    activeRecorder = this;
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    if (hook_)
        UnhookWindowsHookEx(hook_);
    activeRecorder = outer_;
    for (const RecordedBox& box : boxes_)
        ADD_FAILURE() << "unexpected message box \"" << box.title << "\": " << box.text;
}

std::vector<RecordedBox> MessageBoxRecorder::Take()
{
    return std::exchange(boxes_, {});
}

::testing::AssertionResult MessageBoxRecorder::TookOneBox(const std::string& title, const std::string& text,
                                                         HWND owner)
{
    return TookOne(title, text, owner, false);
}

::testing::AssertionResult MessageBoxRecorder::TookOneFailure(const std::string& failureText)
{
    return TookOne("Error", failureText, nullptr, true);
}

::testing::AssertionResult MessageBoxRecorder::TookOne(const std::string& title, const std::string& text, HWND owner,
                                                      bool descriptionMayFollow)
{
    const std::vector<RecordedBox> shown = Take();
    if (shown.size() != 1) {
        auto failure = ::testing::AssertionFailure() << shown.size() << " boxes instead of one \"" << title << "\":";
        for (const RecordedBox& box : shown)
            failure << " [" << box.title << ": " << box.text << "]";
        return failure;
    }
    const RecordedBox& box = shown[0];
    // The framework's error box appends the system's description of the error code, when it has one.
    const bool textMatches = box.text == text || (descriptionMayFollow && box.text.rfind(text + "\n\n     ", 0) == 0);
    if (box.title != title || box.owner != owner || !textMatches)
        return ::testing::AssertionFailure() << "box \"" << box.title << "\" (owner " << box.owner << ", expected "
                                             << owner << "): \"" << box.text << "\", expected \"" << text << "\"";
    return ::testing::AssertionSuccess();
}

void MessageBoxRecorder::Record(HWND box)
{
    char text[4096] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    boxes_.push_back(RecordedBox{GetWindow(box, GW_OWNER), WindowText(box), text});
    seenBoxes_.push_back(box);
    const int answer = GetDlgItem(box, answer_) ? answer_ : IDOK;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
}

bool MessageBoxRecorder::IsNewMessageBox(HWND window)
{
    // Wine may show a thread hook the activation of other threads' windows, and a box may be activated twice.
    if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId())
        return false;
    seenBoxes_.erase(std::remove_if(seenBoxes_.begin(), seenBoxes_.end(), [](HWND h) { return !IsWindow(h); }),
                     seenBoxes_.end());
    if (std::find(seenBoxes_.begin(), seenBoxes_.end(), window) != seenBoxes_.end())
        return false;
    if (!IsDialogClassWindow(window))
        return false;
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrA(window, DWLP_DLGPROC));
    return std::find(ownDialogProcs_.begin(), ownDialogProcs_.end(), proc) == ownDialogProcs_.end();
}

LRESULT CALLBACK MessageBoxRecorder::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    MessageBoxRecorder* recorder = activeRecorder;
    if (recorder && code == HCBT_ACTIVATE && recorder->IsNewMessageBox(reinterpret_cast<HWND>(wParam)))
        recorder->Record(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(recorder ? recorder->hook_ : nullptr, code, wParam, lParam);
}
