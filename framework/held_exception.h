// Exceptions caught where they would otherwise unwind through the system's frames (a DWARF-unwinding exception
// that leaves a window or dialog procedure ends the process), held per thread and rethrown where framework code
// regains control.
#pragma once

#include <exception>

namespace Wfx {

class CWnd;

// Keeps the exception (the first one, if several arrive before it is rethrown) and ends the innermost modal
// dialog loop running on this thread, so that loop does not run on in a broken state.
void HoldException(std::exception_ptr exception);

// Throws the held exception, if there is one, and forgets it.
void RethrowHeldException();

// The held exception, if there is one, which is forgotten.
std::exception_ptr TakeHeldException();

// Marks a modal dialog loop of this thread for the life of the scope, so a held exception can end it.
class ModalLoopScope {
public:
    explicit ModalLoopScope(CWnd* dialog);
    ~ModalLoopScope();

    ModalLoopScope(const ModalLoopScope&) = delete;
    ModalLoopScope& operator=(const ModalLoopScope&) = delete;

private:
    friend void HoldException(std::exception_ptr exception);

    CWnd* dialog_;
    ModalLoopScope* outer_;
};

}  // namespace Wfx
