// The dialog object: a window object built by the system's dialog manager, modal or modeless.
#pragma once

#include "wnd.h"

namespace Wfx {

class CDialog : public CWnd {
public:
    CDialog(UINT templateId, HWND parent = nullptr);
    // A dialog built from a template in memory; the template must outlive every run of the dialog.
    CDialog(const DLGTEMPLATE* dialogTemplate, HWND parent = nullptr);
    ~CDialog() override;

    HWND Create(HWND parent = nullptr) override;
    BOOL PreTranslateMessage(MSG* msg) override;

    virtual INT_PTR DoModal();
    virtual HWND DoModeless();
    virtual void SetDialogParent(HWND parent);
    virtual INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    virtual INT_PTR DialogProcDefault(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    virtual void EndDialog(INT_PTR result);
    virtual void OnCancel();
    virtual BOOL OnInitDialog();
    virtual void OnOK();

    void CenterDialog();

    BOOL templateInMemory;
    BOOL modal;
    LPCSTR templateName;
    const DLGTEMPLATE* inMemoryTemplate;
    HWND parentWindow;
};

// The one dialog procedure of every framework dialog.
INT_PTR CALLBACK StaticDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Where CenterDialog puts a dialog: centred on the reference rectangle, kept off negative coordinates, then
// pulled back so its right and bottom edges stay inside the work area.
POINT CenteredPosition(const RECT& dialogRect, const RECT& referenceRect, const RECT& workArea);

}  // namespace Wfx
