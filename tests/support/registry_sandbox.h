// Maps HKEY_LOCAL_MACHINE onto a fresh scratch key for the life of one test, so tests use the real registry safely.
#pragma once

#include <windows.h>
#include <string>

class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();

    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // The scratch key's path under HKEY_CURRENT_USER, for programs that run in another process.
    const std::string& ScratchPath() const { return scratchPath_; }

private:
    std::string scratchPath_;
    HKEY scratch_ = nullptr;
};
