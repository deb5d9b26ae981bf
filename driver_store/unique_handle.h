// One movable owner for every handle the programs close: registry keys, files, processes.
#pragma once

#include <windows.h>

#include <utility>

// Closes its handle on every path out of the scope that holds it, and hands it on when moved. `Traits` says which
// values are no handle and how one is closed.
template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(Traits::IsValid(handle) ? handle : Handle()) {}
    ~UniqueHandle() { Close(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Handle())) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, Handle());
        }
        return *this;
    }

    Handle Get() const { return handle_; }
    bool IsOpen() const { return handle_ != Handle(); }
    // For the out-parameter of the calls that open; the handle held before is closed first.
    Handle* Receive()
    {
        Close();
        return &handle_;
    }
    void Close()
    {
        if (IsOpen())
            Traits::Close(std::exchange(handle_, Handle()));
    }

private:
    Handle handle_ = Handle();
};

// A kernel object's handle: the calls that open files give INVALID_HANDLE_VALUE for none, the others null.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static bool IsValid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
using KernelHandle = UniqueHandle<KernelHandleTraits>;
