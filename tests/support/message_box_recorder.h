// Watches the calling thread for message boxes, records each one and closes it, so no test blocks on a box.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>

struct RecordedBox {
    HWND owner = nullptr;
    std::string title;
    std::string text;
};

class MessageBoxRecorder {
public:
    // Dialogs whose procedure is one of ownDialogProcs are the test's own windows, not message boxes.
    explicit MessageBoxRecorder(std::vector<DLGPROC> ownDialogProcs = {});
    // Unhooks; every box that was recorded but never taken fails the test as unexpected.
    ~MessageBoxRecorder();

    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    // From now on a box that has this button (IDYES, IDNO) is answered with it; any other box, as by default, with OK.
    void AnswerWith(int button) { answer_ = button; }
    // The boxes shown since the last call, in order; the recorder forgets them.
    std::vector<RecordedBox> Take();
    // Takes the boxes shown since the last call: exactly one, with this title, text and owner.
    ::testing::AssertionResult TookOneBox(const std::string& title, const std::string& text, HWND owner = nullptr);
    // Takes exactly one framework error box: no owner, "Error", the failure text then any system description.
    ::testing::AssertionResult TookOneFailure(const std::string& failureText);

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    bool IsNewMessageBox(HWND window);
    void Record(HWND box);
    ::testing::AssertionResult TookOne(const std::string& title, const std::string& text, HWND owner,
                                       bool descriptionMayFollow);

    std::vector<DLGPROC> ownDialogProcs_;
    std::vector<RecordedBox> boxes_;
    // Live boxes already recorded; a handle is forgotten once its box is gone, as the system may reuse it.
    std::vector<HWND> seenBoxes_;
    HHOOK hook_ = nullptr;
    MessageBoxRecorder* outer_ = nullptr;
    int answer_ = IDOK;
};
