// Scoped owner of a kernel handle (a file, a process): closes it on every path out of the scope that opened it.
#pragma once

#include <windows.h>

class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~ScopedHandle()
    {
        if (handle_)
            CloseHandle(handle_);
    }

    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    HANDLE Get() const { return handle_; }
    bool IsOpen() const { return handle_ != nullptr; }

private:
    HANDLE handle_;
};
