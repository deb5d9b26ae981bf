// Copying a key's DACL and owner onto its copy through the store's registry calls.
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

// Which entries of an ACL to take, and whether they keep their mark of being inherited.
enum class Take { Own, Inherited, InheritedAsOwn, All, AllAsOwn };

// Appends the chosen entries of acl, in their order.
bool AppendEntries(std::vector<BYTE>& entries, DWORD& count, PACL acl, Take take)
{
    if (!acl)
        return true;
    for (DWORD index = 0; index < acl->AceCount; ++index) {
        void* ace = nullptr;
        if (!GetAce(acl, index, &ace))
            return false;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        const bool inherited = (header->AceFlags & INHERITED_ACE) != 0;
        const bool onlyInherited = take == Take::Inherited || take == Take::InheritedAsOwn;
        if ((take == Take::Own && inherited) || (onlyInherited && !inherited))
            continue;
        const auto* bytes = static_cast<const BYTE*>(ace);
        const size_t at = entries.size();
        entries.insert(entries.end(), bytes, bytes + header->AceSize);
        if (take == Take::InheritedAsOwn || take == Take::AllAsOwn)
            reinterpret_cast<ACE_HEADER*>(entries.data() + at)->AceFlags &= ~INHERITED_ACE;
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

// Whether two keys have inherited the same entries, compared as they are in force: without the mark.
bool InheritedAlike(PACL a, PACL b)
{
    std::vector<BYTE> fromA;
    std::vector<BYTE> fromB;
    DWORD countA = 0;
    DWORD countB = 0;
    return AppendEntries(fromA, countA, a, Take::InheritedAsOwn) &&
           AppendEntries(fromB, countB, b, Take::InheritedAsOwn) && fromA == fromB;
}

// The DACL the copy should have, and its protection and auto-inheritance bits. A protected DACL is taken whole,
// entries marked inherited included. Otherwise, where the copy has inherited what the original had, the original's
// own entries and then the copy's inherited ones, and the copy goes on inheriting; where not, every entry of the
// original as the copy's own, in the original's order (which decides between an allowing and a denying entry), and
// the copy is protected: either way it allows and denies just what the original did.
bool TargetAcl(const Dacl& original, const Dacl& copy, std::vector<BYTE>& acl,
               SECURITY_DESCRIPTOR_CONTROL& inheritance)
{
    inheritance = original.inheritance;
    std::vector<BYTE> entries;
    DWORD count = 0;
    bool built = false;
    if (original.isProtected) {
        built = AppendEntries(entries, count, original.acl, Take::All);
    } else if (InheritedAlike(original.acl, copy.acl)) {
        built = AppendEntries(entries, count, original.acl, Take::Own) &&
                AppendEntries(entries, count, copy.acl, Take::Inherited);
    } else {
        inheritance |= SE_DACL_PROTECTED;
        built = AppendEntries(entries, count, original.acl, Take::AllAsOwn);
    }
    if (!built)
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

LONG SetDacl(HKEY copy, SECURITY_DESCRIPTOR_CONTROL inheritance, PACL acl)
{
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    SetSecurityDescriptorControl(&sd, SE_DACL_PROTECTED | SE_DACL_AUTO_INHERITED, inheritance);
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

LONG ReadKeySecurity(HKEY key, std::vector<BYTE>& descriptor)
{
    return ReadSecurity(key, kOwnerAndDacl, descriptor);
}

LONG ApplyKeySecurity(const std::vector<BYTE>& original, HKEY copy)
{
    std::vector<BYTE> originalDescriptor = original;
    std::vector<BYTE> copyDescriptor;
    const LONG rc = ReadSecurity(copy, kOwnerAndDacl, copyDescriptor);
    if (rc != ERROR_SUCCESS)
        return rc;

    // The owner first: under Wine, setting it resets the DACL's protection.
    CopyOwner(copy, originalDescriptor, copyDescriptor);
    const Dacl originalDacl = DaclOf(originalDescriptor);
    const Dacl copyDacl = DaclOf(copyDescriptor);
    if (!originalDacl.present || !originalDacl.acl) {
        // No DACL at all lets everyone in, and so must the copy.
        return SetDacl(copy, originalDacl.inheritance, nullptr);
    }
    std::vector<BYTE> target;
    SECURITY_DESCRIPTOR_CONTROL inheritance = 0;
    if (!TargetAcl(originalDacl, copyDacl, target, inheritance))
        return static_cast<LONG>(GetLastError());
    auto* acl = reinterpret_cast<PACL>(target.data());
    // Most keys hold only what they inherit, and their copies already have just that.
    if (copyDacl.inheritance == inheritance && SameBytes(acl, copyDacl.acl))
        return ERROR_SUCCESS;
    return SetDacl(copy, inheritance, acl);
}
