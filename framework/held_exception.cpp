// The per-thread held exception and the stack of modal dialog loops that holding one ends.
#include "held_exception.h"

#include <windows.h>
#include <utility>

#include "wnd.h"

namespace Wfx {

namespace {

thread_local std::exception_ptr heldException;
thread_local ModalLoopScope* innermostModalLoop = nullptr;

}  // namespace

void HoldException(std::exception_ptr exception)
{
    // The first exception is the cause; later ones are usually its consequences.
    if (!heldException)
        heldException = std::move(exception);

    if (!innermostModalLoop)
        return;
    HWND dialog = innermostModalLoop->dialog_->hWnd;
    if (IsWindow(dialog))
        ::EndDialog(dialog, 0);
}

void RethrowHeldException()
{
    if (std::exception_ptr exception = TakeHeldException())
        std::rethrow_exception(exception);
}

std::exception_ptr TakeHeldException()
{
    return std::exchange(heldException, nullptr);
}

ModalLoopScope::ModalLoopScope(CWnd* dialog) : dialog_(dialog), outer_(innermostModalLoop)
{
    innermostModalLoop = this;
}

ModalLoopScope::~ModalLoopScope()
{
    innermostModalLoop = outer_;
}

}  // namespace Wfx
