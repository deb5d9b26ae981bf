// The framework's exception and its one report, the warning box with the system's description of the error code.
#include "win_exception.h"

namespace Wfx {

CWinException::CWinException(LPCSTR text) : errorCode(GetLastError()), text(text) {}

void CWinException::ShowMessage() const
{
    char textBuffer[117] = {};
    char description[117] = {};
    char report[255] = {};

    lstrcpynA(textBuffer, text, 117);
    if (errorCode != 0) {
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, errorCode, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       description, 117, nullptr);
        // A description too long for the buffer must not leave it unterminated.
        description[116] = '\0';
        wsprintfA(report, "%s\n\n     %s\n\n", textBuffer, description);
    } else {
        wsprintfA(report, "%s", textBuffer);
    }
    MessageBoxA(nullptr, report, "Error", MB_ICONWARNING | MB_OK);
}

}  // namespace Wfx
