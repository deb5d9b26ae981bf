// Copying a key's own DACL and owner onto its copy through the store's registry calls.
#include "key_security.h"

#include "registry_calls.h"

#include <algorithm>
#include <vector>

namespace {

constexpr SECURITY_INFORMATION kOwnerAndDacl = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// A self-relative descriptor as the registry returns it, grown once the registry has said how large it is.
LONG ReadSecurity(HKEY key, SECURITY_INFORMATION parts, std::vector<BYTE>& descriptor)
{
    descriptor.resize(512);
    for (;;) {
        DWORD size = static_cast<DWORD>(descriptor.size());
        const LONG rc = registryCalls.getKeySecurity(key, parts, descriptor.data(), &size);
        if (rc != ERROR_INSUFFICIENT_BUFFER)
            return rc;
        descriptor.resize(size);
    }
}

struct Dacl {
    bool present = false;
    PACL acl = nullptr;  // points into the descriptor it was read from; null with present: everyone may do anything
    bool isProtected = false;
    SECURITY_DESCRIPTOR_CONTROL inheritance = 0;  // its protection and auto-inheritance bits
};

Dacl DaclOf(std::vector<BYTE>& descriptor)
{
    Dacl dacl;
    auto* sd = reinterpret_cast<PSECURITY_DESCRIPTOR>(descriptor.data());
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    GetSecurityDescriptorDacl(sd, &present, &dacl.acl, &defaulted);
    dacl.present = present != FALSE;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(sd, &control, &revision);
    dacl.isProtected = (control & SE_DACL_PROTECTED) != 0;
    dacl.inheritance = control & (SE_DACL_PROTECTED | SE_DACL_AUTO_INHERITED);
    return dacl;
}

// Appends the entries of acl that are (or are not) inherited, in their order.
bool AppendEntries(std::vector<BYTE>& entries, DWORD& count, PACL acl, bool inherited)
{
    if (!acl)
        return true;
    for (DWORD index = 0; index < acl->AceCount; ++index) {
        void* ace = nullptr;
        if (!GetAce(acl, index, &ace))
            return false;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (((header->AceFlags & INHERITED_ACE) != 0) != inherited)
            continue;
        const auto* bytes = static_cast<const BYTE*>(ace);
        entries.insert(entries.end(), bytes, bytes + header->AceSize);
        ++count;
    }
    return true;
}

bool SameBytes(PACL a, PACL b)
{
    if (!a || !b)
        return a == b;
    return a->AclSize == b->AclSize && a->AceCount == b->AceCount &&
           std::equal(reinterpret_cast<const BYTE*>(a), reinterpret_cast<const BYTE*>(a) + a->AclSize,
                      reinterpret_cast<const BYTE*>(b));
}

// The DACL the copy should have, built as an ACL whose entries are the original's own, then the copy's inherited.
bool MergedAcl(const Dacl& original, const Dacl& copy, std::vector<BYTE>& acl)
{
    std::vector<BYTE> entries;
    DWORD count = 0;
    if (!AppendEntries(entries, count, original.acl, false))
        return false;
    if (!original.isProtected && !AppendEntries(entries, count, copy.acl, true))
        return false;
    acl.assign(sizeof(ACL) + entries.size(), 0);
    auto* header = reinterpret_cast<ACL*>(acl.data());
    // The higher of the two revisions allows every kind of entry either holds, and keeps an unchanged DACL equal.
    const BYTE revision = std::max(original.acl->AclRevision, copy.acl ? copy.acl->AclRevision : BYTE(ACL_REVISION));
    if (!InitializeAcl(header, static_cast<DWORD>(acl.size()), revision))
        return false;
    std::copy(entries.begin(), entries.end(), acl.begin() + sizeof(ACL));
    header->AceCount = static_cast<WORD>(count);
    return true;
}

LONG SetDacl(HKEY copy, const Dacl& original, PACL acl)
{
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    SetSecurityDescriptorControl(&sd, SE_DACL_PROTECTED | SE_DACL_AUTO_INHERITED, original.inheritance);
    return registryCalls.setKeySecurity(copy, DACL_SECURITY_INFORMATION, &sd);
}

// Setting another owner than oneself needs a privilege: where it is refused, the copy keeps the one it was made with.
void CopyOwner(HKEY copy, std::vector<BYTE>& originalDescriptor, std::vector<BYTE>& copyDescriptor)
{
    PSID originalOwner = nullptr;
    PSID copyOwner = nullptr;
    BOOL defaulted = FALSE;
    GetSecurityDescriptorOwner(originalDescriptor.data(), &originalOwner, &defaulted);
    GetSecurityDescriptorOwner(copyDescriptor.data(), &copyOwner, &defaulted);
    if (!originalOwner || (copyOwner && EqualSid(originalOwner, copyOwner)))
        return;
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorOwner(&sd, originalOwner, FALSE);
    registryCalls.setKeySecurity(copy, OWNER_SECURITY_INFORMATION, &sd);
}

}  // namespace

LONG CopyKeySecurity(HKEY original, HKEY copy)
{
    std::vector<BYTE> originalDescriptor;
    std::vector<BYTE> copyDescriptor;
    LONG rc = ReadSecurity(original, kOwnerAndDacl, originalDescriptor);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = ReadSecurity(copy, kOwnerAndDacl, copyDescriptor);
    if (rc != ERROR_SUCCESS)
        return rc;

    // The owner first: under Wine, setting it resets the DACL's protection.
    CopyOwner(copy, originalDescriptor, copyDescriptor);
    const Dacl originalDacl = DaclOf(originalDescriptor);
    const Dacl copyDacl = DaclOf(copyDescriptor);
    if (!originalDacl.present || !originalDacl.acl) {
        // No DACL at all lets everyone in, and so must the copy.
        return SetDacl(copy, originalDacl, nullptr);
    }
    std::vector<BYTE> merged;
    if (!MergedAcl(originalDacl, copyDacl, merged))
        return static_cast<LONG>(GetLastError());
    auto* acl = reinterpret_cast<PACL>(merged.data());
    // Most keys hold only what they inherit, and their copies already have just that.
    if (copyDacl.inheritance == originalDacl.inheritance && SameBytes(acl, copyDacl.acl))
        return ERROR_SUCCESS;
    return SetDacl(copy, originalDacl, acl);
}
