// Scoped owner of an open registry key: closes it on every path out of the scope that opened it.
#pragma once

#include <windows.h>

class RegistryKey {
public:
    RegistryKey() = default;
    explicit RegistryKey(HKEY key) : key_(key) {}
    ~RegistryKey() { Close(); }

    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    HKEY Get() const { return key_; }
    // For the out-parameter of the open and create calls; the key held before is closed first.
    HKEY* Receive()
    {
        Close();
        return &key_;
    }
    bool IsOpen() const { return key_ != nullptr; }
    void Close();

private:
    HKEY key_ = nullptr;
};
