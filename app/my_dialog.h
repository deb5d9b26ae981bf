// The program's one window: the active and hidden driver lists, the move buttons, help and the web link.
#pragma once

#include "dialog.h"
#include "hyperlink.h"

class CMyDialog : public Wfx::CDialog {
public:
    CMyDialog(UINT templateId, HWND parent);
    ~CMyDialog() override;

    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;

    void ShowHelp();

    CHyperlink hyperlink;

private:
    void SetWindowIcons();
};
