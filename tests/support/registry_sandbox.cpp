// A scratch key per process under HKEY_CURRENT_USER stands in for HKEY_LOCAL_MACHINE.
#include "registry_sandbox.h"

#include <gtest/gtest.h>

namespace {

std::string ScratchPathForThisProcess()
{
    return "Software\\AsioQuimbleTests\\Sandbox" + std::to_string(GetCurrentProcessId());
}

}  // namespace

RegistrySandbox::RegistrySandbox() : scratchPath_(ScratchPathForThisProcess())
{
    // A crashed earlier run may have left its scratch key behind.
    RegDeleteTreeA(HKEY_CURRENT_USER, scratchPath_.c_str());
    LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, scratchPath_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &scratch_, nullptr);
    if (rc != ERROR_SUCCESS) {
        ADD_FAILURE() << "RegCreateKeyExA(HKCU, \"" << scratchPath_ << "\") = " << rc;
        return;
    }
    rc = RegOverridePredefKey(HKEY_LOCAL_MACHINE, scratch_);
    if (rc != ERROR_SUCCESS)
        ADD_FAILURE() << "RegOverridePredefKey(HKLM, scratch) = " << rc;
}

RegistrySandbox::~RegistrySandbox()
{
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    if (scratch_)
        RegCloseKey(scratch_);
    RegDeleteTreeA(HKEY_CURRENT_USER, scratchPath_.c_str());
}
