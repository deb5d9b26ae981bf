// The dialog object: modal and modeless runs, the one dialog procedure, default handling, centring.
#include "dialog.h"

#include <commctrl.h>
#include <optional>

#include "held_exception.h"
#include "win_app.h"
#include "win_exception.h"

namespace Wfx {

namespace {

constexpr LPCSTR kNoThreadRecordText = "StaticDialogProc .. Failed to read the thread's record";
constexpr LPCSTR kNotRoutedText = "StaticDialogProc .. Failed to route message";

bool IsDialog(CWnd& object)
{
    return dynamic_cast<CDialog*>(&object) != nullptr;
}

// The resource module when it holds the template, else the program's own module.
HINSTANCE TemplateModule(CWinApp& app, LPCSTR templateName)
{
    HINSTANCE lookup = app.GetResourceHandle();
    if (!lookup)
        lookup = app.GetInstanceHandle();
    HRSRC found = FindResourceA(lookup, templateName, RT_DIALOG);
    if (!found)
        return app.GetInstanceHandle();
    return lookup;
}

// What the system's create call of a run returned, with the last-error value it left, which the clean-up after it
// may change.
template <class Result> struct RunStart {
    Result result;
    DWORD error;

    // The run's failure, reported with the create call's own error code.
    [[noreturn]] void Fail(LPCSTR text) const
    {
        SetLastError(error);
        throw CWinException(text);
    }
};

template <class Result> using FromMemoryCall = Result(WINAPI*)(HINSTANCE, LPCDLGTEMPLATEA, HWND, DLGPROC, LPARAM);
template <class Result> using FromResourceCall = Result(WINAPI*)(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM);

// What a modal and a modeless run share up to the system's create call: a live window is refused, whatever a dead
// one left behind (a map entry, icons) goes before a new one is bound, and the object is handed to the new window's
// first message for the length of the call, which builds the dialog from its template.
template <class Result>
RunStart<Result> StartRun(CDialog& dialog, BOOL modal, LPCSTR alreadyExistsText, FromMemoryCall<Result> fromMemory,
                          FromResourceCall<Result> fromResource)
{
    if (IsWindow(dialog.hWnd))
        throw CWinException(alreadyExistsText);
    CWinApp& app = RequireCurrentApp();
    dialog.Destroy();
    dialog.modal = modal;
    ThreadRecord* record = app.AcquireThreadRecord();
    PendingWindowScope pending(*record, &dialog);
    // A held exception ends the innermost modal loop, so the loop this run enters is marked for its length.
    std::optional<ModalLoopScope> loop;
    if (modal)
        loop.emplace(&dialog);
    const Result result =
        dialog.templateInMemory
            ? fromMemory(app.GetInstanceHandle(), dialog.inMemoryTemplate, dialog.parentWindow, StaticDialogProc, 0)
            : fromResource(TemplateModule(app, dialog.templateName), dialog.templateName, dialog.parentWindow,
                           StaticDialogProc, 0);
    return {result, GetLastError()};
}

}  // namespace

POINT CenteredPosition(const RECT& dialogRect, const RECT& referenceRect, const RECT& workArea)
{
    const LONG width = dialogRect.right - dialogRect.left;
    const LONG height = dialogRect.bottom - dialogRect.top;
    LONG x = referenceRect.left + ((referenceRect.right - referenceRect.left) - width) / 2;
    LONG y = referenceRect.top + ((referenceRect.bottom - referenceRect.top) - height) / 2;
    // The lower bound is the screen origin, and the work area's far edges win over it.
    if (x < 0)
        x = 0;
    if (y < 0)
        y = 0;
    if (x > workArea.right - width)
        x = workArea.right - width;
    if (y > workArea.bottom - height)
        y = workArea.bottom - height;
    return POINT{x, y};
}

CDialog::CDialog(UINT templateId, HWND parent)
    : templateInMemory(FALSE),
      modal(TRUE),
      templateName(MAKEINTRESOURCEA(LOWORD(templateId))),
      inMemoryTemplate(nullptr),
      parentWindow(parent)
{
    InitCommonControls();
}

CDialog::CDialog(const DLGTEMPLATE* dialogTemplate, HWND parent)
    : templateInMemory(TRUE),
      modal(TRUE),
      templateName(nullptr),
      inMemoryTemplate(dialogTemplate),
      parentWindow(parent)
{
    InitCommonControls();
}

CDialog::~CDialog()
{
    if (!hWnd)
        return;
    if (modal)
        ::EndDialog(hWnd, 0);
    else
        CWnd::Destroy();
}

HWND CDialog::Create(HWND parent)
{
    SetDialogParent(parent);
    return DoModeless();
}

BOOL CDialog::PreTranslateMessage(MSG* msg)
{
    // Mouse messages and WM_UNICHAR are left to the loop: the dialog manager has no navigation for them.
    if (!IsKeyboardMessage(msg->message))
        return FALSE;
    if (!IsDialogMessageA(hWnd, msg))
        return FALSE;
    return TRUE;
}

INT_PTR CDialog::DoModal()
{
    try {
        const auto run = StartRun(*this, TRUE, "CDialog::DoModal ... Window already exists", DialogBoxIndirectParamA,
                                  DialogBoxParamA);
        hWnd = nullptr;
        // The window is gone; an entry left behind would point at this object after it is destroyed.
        RemoveFromMap();
        RethrowHeldException();
        if (run.result == -1)
            run.Fail("Failed to create modal dialog box");
        return run.result;
    } catch (const CWinException& e) {
        e.ShowMessage();
        return -1;
    }
}

HWND CDialog::DoModeless()
{
    try {
        const auto run = StartRun(*this, FALSE, "CDialog::DoModeless ... Window already exists",
                                  CreateDialogIndirectParamA, CreateDialogParamA);
        hWnd = run.result;
        if (!hWnd)
            RemoveFromMap();
        try {
            RethrowHeldException();
        } catch (...) {
            // A dialog whose initialisation failed part-way is not left running in that state.
            Destroy();
            throw;
        }
        if (!hWnd)
            run.Fail("CDialog::DoModeless ... Failed to create dialog");
        return hWnd;
    } catch (const CWinException& e) {
        e.ShowMessage();
        return hWnd;
    }
}

void CDialog::SetDialogParent(HWND parent)
{
    parentWindow = parent;
}

INT_PTR CDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DialogProcDefault(dialog, message, wParam, lParam);
}

INT_PTR CDialog::DialogProcDefault(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        hWnd = dialog;
        CenterDialog();
        return OnInitDialog();
    case WM_COMMAND:
        // Only the identifier decides; the notification code in the high word plays no part.
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
        OnCommand(wParam, lParam);
        if (CWnd* control = FromHandle(reinterpret_cast<HWND>(lParam)))
            control->OnReflectedMessage(WM_COMMAND, wParam, lParam);
        return FALSE;
    case WM_NOTIFY:
        if (ReflectNotify(dialog, lParam,
                          [&](CWnd* target) { return target && target->OnReflectedNotify(wParam, lParam) != 0; }))
            return TRUE;
        return OnNotify(wParam, lParam) == 1 ? TRUE : FALSE;
    default:
        if (IsReflectedMessage(message))
            return ReflectMessage(dialog, message, wParam, lParam);
        return FALSE;
    }
}

void CDialog::EndDialog(INT_PTR result)
{
    if (IsWindow(hWnd)) {
        if (modal)
            ::EndDialog(hWnd, result);
        else
            Destroy();
    }
    hWnd = nullptr;
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnInitDialog()
{
    return TRUE;
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::CenterDialog()
{
    RECT dialogRect = {};
    GetWindowRect(hWnd, &dialogRect);
    RECT workArea = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    RECT referenceRect = workArea;
    HWND parent = GetParent(hWnd);
    if (parent)
        GetWindowRect(parent, &referenceRect);
    const POINT position = CenteredPosition(dialogRect, referenceRect, workArea);
    SetWindowPos(hWnd, nullptr, position.x, position.y, 0, 0, SWP_NOSIZE);
}

INT_PTR CALLBACK StaticDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Nothing may unwind into the dialog manager's frames: a framework failure is shown, anything else is held.
    try {
        // Only a dialog object has a dialog procedure: another object bound to the handle leaves the message to
        // the dialog manager, and one being created by someone else is not ours to take.
        auto* owner = dynamic_cast<CDialog*>(MessageTarget(dialog, IsDialog, kNoThreadRecordText, kNotRoutedText));
        if (!owner)
            return FALSE;
        return owner->DialogProc(dialog, message, wParam, lParam);
    } catch (const CWinException& e) {
        e.ShowMessage();
        return 0;
    } catch (...) {
        HoldException(std::current_exception());
        return 0;
    }
}

}  // namespace Wfx
