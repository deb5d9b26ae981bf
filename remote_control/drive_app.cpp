// Lets scripts bring the program's main dialog up on a display for a screenshot, and close it again.
#include "app_driver.h"

#include <cstdio>
#include <cstring>

namespace {

int Fail(const std::string& what)
{
    std::fprintf(stderr, "drive_app: %s\n", what.c_str());
    return 1;
}

// Starts the program, answers the first-use help, selects two entries and prints where the dialog is.
int Show(std::string program)
{
    program = WindowsPathOf(program);
    AppProcess app;
    std::string error = app.Start(program);
    if (!error.empty())
        return Fail(error);

    std::string answered;
    HWND window = WaitForMainDialogPastBox(app, &answered);
    if (!answered.empty())
        std::printf("answered \"%s\"\n", answered.c_str());
    if (!window)
        return Fail("the main dialog did not appear" + (answered.empty() ? "" : " after \"" + answered + "\""));

    std::vector<int> picks;
    for (int index : {1, 3})
        if (index < static_cast<int>(ListItems(window, kActiveList).size()))
            picks.push_back(index);
    SelectItems(window, kActiveList, picks);
    // The program paints when it is idle again; the screenshot must not catch it half drawn.
    Sleep(500);

    RECT frame = {};
    GetWindowRect(window, &frame);
    std::printf("dialog %ldx%ld+%ld+%ld\n", frame.right - frame.left, frame.bottom - frame.top, frame.left, frame.top);
    std::fflush(stdout);
    app.Release();
    return 0;
}

// Ends the running program as a user would: answers its boxes, then Esc on the dialog; its exit code becomes ours.
int Close()
{
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindMainDialog()) != nullptr; }, 2000);
    if (!dialog)
        return Fail("ASIO Quimble is not running");
    AppProcess app;
    std::string error = app.Attach(dialog);
    if (!error.empty())
        return Fail(error);
    // While the dialog initialises it is not shown yet, and the first-use help may be up or about to come.
    int answered = 0;
    WaitUntil([&] {
        if (HWND box = WaitForBox(app, 0))
            answered += AnswerBox(box) ? 1 : 100;
        return IsWindowVisible(dialog) || answered > 5 || !app.Running();
    });
    if (!IsWindowVisible(dialog) || !PressEscape(dialog))
        return Fail("the dialog did not come up to be closed");
    DWORD exitCode = 0;
    if (!app.WaitForExit(kWaitMs, &exitCode))
        return Fail("the program did not end");
    std::printf("program ended with exit code %lu\n", exitCode);
    return static_cast<int>(exitCode);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "show") == 0)
        return Show(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "close") == 0)
        return Close();
    std::fprintf(
        stderr,
        "usage: drive_app show PROGRAM   start PROGRAM, answer its help, print the dialog's place\n"
        "       drive_app close          answer the program's boxes, end its dialog with Esc and wait for it\n");
    return 2;
}
