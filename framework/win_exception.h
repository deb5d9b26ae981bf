// The framework's one exception: a fixed failure text and the thread's last-error value, shown in a warning box.
#pragma once

#include <windows.h>

namespace Wfx {

class CWinException {
public:
    // Reads GetLastError() first, so build the exception right at the failing check. The text must be static.
    explicit CWinException(LPCSTR text);

    // The framework's error box: no owner, title "Error", the text and the system's description of the code.
    void ShowMessage() const;

private:
    DWORD errorCode;
    LPCSTR text;
};

}  // namespace Wfx
