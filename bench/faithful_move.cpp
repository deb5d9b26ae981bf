// The faithful move loop: the calls a move must make to keep class names, security and the "CLSID" order, written out.
#include "faithful_move.h"

namespace {

constexpr wchar_t kRegistration[] = L"CLSID";
constexpr SECURITY_INFORMATION kOwnerAndDacl = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
constexpr SECURITY_DESCRIPTOR_CONTROL kInheritanceBits = SE_DACL_PROTECTED | SE_DACL_AUTO_INHERITED;

// The names of the keys below a copied key, kept for the delete, which goes bottom up.
struct KeyNames {
    std::wstring name;
    std::vector<KeyNames> subkeys;
};

// What a key's copy needs to know before its values and subkeys are read: its class name and the sizes of both.
struct KeyShape {
    std::vector<wchar_t> className = std::vector<wchar_t>(64);
    DWORD subkeys = 0;
    DWORD longestSubkeyName = 0;
    DWORD values = 0;
    DWORD longestValueName = 0;
    DWORD largestValue = 0;

    wchar_t* ClassOrNull() { return className[0] ? className.data() : nullptr; }
};

struct SecurityParts {
    PSID owner = nullptr;
    BOOL daclPresent = FALSE;
    PACL dacl = nullptr;
    SECURITY_DESCRIPTOR_CONTROL inheritance = 0;
};

SecurityParts PartsOf(std::vector<BYTE>& descriptor)
{
    SecurityParts parts;
    BOOL defaulted = FALSE;
    GetSecurityDescriptorOwner(descriptor.data(), &parts.owner, &defaulted);
    GetSecurityDescriptorDacl(descriptor.data(), &parts.daclPresent, &parts.dacl, &defaulted);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor.data(), &control, &revision);
    parts.inheritance = control & kInheritanceBits;
    return parts;
}

bool SameDacl(const SecurityParts& a, const SecurityParts& b)
{
    if (a.daclPresent != b.daclPresent || a.inheritance != b.inheritance || !a.dacl != !b.dacl)
        return false;
    return !a.dacl || (a.dacl->AclSize == b.dacl->AclSize && memcmp(a.dacl, b.dacl, a.dacl->AclSize) == 0);
}

class TreeCopy {
public:
    bool Query(HKEY key, KeyShape& shape)
    {
        for (;;) {
            DWORD classSize = static_cast<DWORD>(shape.className.size());
            DWORD longestSubkeyClass = 0;
            const LONG rc = registryCalls.queryInfoKeyW(
                key, shape.className.data(), &classSize, nullptr, &shape.subkeys, &shape.longestSubkeyName,
                &longestSubkeyClass, &shape.values, &shape.longestValueName, &shape.largestValue, nullptr, nullptr);
            if (rc != ERROR_MORE_DATA)
                return rc == ERROR_SUCCESS;
            shape.className.resize(classSize + 1);
        }
    }

    // The security first, so that the copy's subkeys are made under the DACL their originals were made under.
    bool CopyKey(HKEY original, HKEY copy, const KeyShape& shape, bool entry, KeyNames& names)
    {
        return CopySecurity(original, copy) && CopyValues(original, copy, shape, entry) &&
               CopySubkeys(original, copy, shape, names);
    }

    bool Register(HKEY copy)
    {
        return !registration_.empty() &&
               registryCalls.setValueExW(copy, kRegistration, 0, registrationType_, registration_.data(),
                                         static_cast<DWORD>(registration_.size())) == ERROR_SUCCESS;
    }

private:
    bool ReadSecurity(HKEY key, std::vector<BYTE>& descriptor)
    {
        for (;;) {
            DWORD size = static_cast<DWORD>(descriptor.size());
            const LONG rc = registryCalls.getKeySecurity(key, kOwnerAndDacl, descriptor.data(), &size);
            if (rc != ERROR_INSUFFICIENT_BUFFER)
                return rc == ERROR_SUCCESS;
            descriptor.resize(size);
        }
    }

    // The owner before the DACL: under Wine, setting the owner resets the DACL's protection. Another owner than
    // oneself needs a privilege; where it is refused, the copy keeps its own.
    bool CopySecurity(HKEY original, HKEY copy)
    {
        if (!ReadSecurity(original, originalSecurity_) || !ReadSecurity(copy, copySecurity_))
            return false;
        const SecurityParts from = PartsOf(originalSecurity_);
        const SecurityParts to = PartsOf(copySecurity_);
        SECURITY_DESCRIPTOR written;
        if (from.owner && !(to.owner && EqualSid(from.owner, to.owner))) {
            InitializeSecurityDescriptor(&written, SECURITY_DESCRIPTOR_REVISION);
            SetSecurityDescriptorOwner(&written, from.owner, FALSE);
            registryCalls.setKeySecurity(copy, OWNER_SECURITY_INFORMATION, &written);
        }
        if (SameDacl(from, to))
            return true;
        InitializeSecurityDescriptor(&written, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&written, TRUE, from.daclPresent ? from.dacl : nullptr, FALSE);
        SetSecurityDescriptorControl(&written, kInheritanceBits, from.inheritance);
        return registryCalls.setKeySecurity(copy, DACL_SECURITY_INFORMATION, &written) == ERROR_SUCCESS;
    }

    bool CopyValues(HKEY original, HKEY copy, const KeyShape& shape, bool entry)
    {
        std::vector<wchar_t> name(shape.longestValueName + 1);
        std::vector<BYTE> data(shape.largestValue);
        for (DWORD index = 0; index < shape.values; ++index) {
            DWORD nameSize = static_cast<DWORD>(name.size());
            DWORD dataSize = static_cast<DWORD>(data.size());
            DWORD type = REG_NONE;
            if (registryCalls.enumValueW(original, index, name.data(), &nameSize, nullptr, &type, data.data(),
                                         &dataSize) != ERROR_SUCCESS)
                return false;
            if (entry && CompareStringOrdinal(name.data(), -1, kRegistration, -1, TRUE) == CSTR_EQUAL) {
                registration_.assign(data.begin(), data.begin() + dataSize);
                registrationType_ = type;
            } else if (registryCalls.setValueExW(copy, name.data(), 0, type, data.data(), dataSize) != ERROR_SUCCESS) {
                return false;
            }
        }
        return true;
    }

    bool CopySubkeys(HKEY original, HKEY copy, const KeyShape& shape, KeyNames& names)
    {
        std::vector<wchar_t> name(shape.longestSubkeyName + 1);
        for (DWORD index = 0; index < shape.subkeys; ++index) {
            DWORD nameSize = static_cast<DWORD>(name.size());
            if (registryCalls.enumKeyExW(original, index, name.data(), &nameSize, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                return false;
            HKEY originalSubkey = nullptr;
            if (registryCalls.openKeyExW(original, name.data(), REG_OPTION_OPEN_LINK, KEY_READ, &originalSubkey) !=
                ERROR_SUCCESS)
                return false;
            names.subkeys.push_back(KeyNames{name.data(), {}});
            KeyShape subkeyShape;
            HKEY copySubkey = nullptr;
            bool copied = Query(originalSubkey, subkeyShape) &&
                          registryCalls.createKeyExW(copy, name.data(), 0, subkeyShape.ClassOrNull(), 0, KEY_ALL_ACCESS,
                                                     nullptr, &copySubkey, nullptr) == ERROR_SUCCESS;
            copied = copied && CopyKey(originalSubkey, copySubkey, subkeyShape, false, names.subkeys.back());
            if (copySubkey)
                registryCalls.closeKey(copySubkey);
            registryCalls.closeKey(originalSubkey);
            if (!copied)
                return false;
        }
        return true;
    }

    // Reused from key to key: a key's security is done with before its subkeys are copied.
    std::vector<BYTE> originalSecurity_ = std::vector<BYTE>(512);
    std::vector<BYTE> copySecurity_ = std::vector<BYTE>(512);
    std::vector<BYTE> registration_;
    DWORD registrationType_ = REG_NONE;
};

std::wstring Widened(const std::string& text)
{
    std::wstring wide(MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

// Deletes the keys below `key` that the copy named, bottom up, each opened as itself and deleted by its handle.
bool DeleteSubkeys(HKEY key, const KeyNames& names)
{
    for (const KeyNames& subkeyNames : names.subkeys) {
        HKEY subkey = nullptr;
        if (registryCalls.openKeyExW(key, subkeyNames.name.c_str(), REG_OPTION_OPEN_LINK, DELETE, &subkey) !=
            ERROR_SUCCESS)
            return false;
        const bool deleted = DeleteSubkeys(subkey, subkeyNames) && registryCalls.deleteOpenKey(subkey) == ERROR_SUCCESS;
        registryCalls.closeKey(subkey);
        if (!deleted)
            return false;
    }
    return true;
}

}  // namespace

bool FaithfulMoveEntry(HKEY source, HKEY destination, const std::string& name)
{
    const std::wstring wideName = Widened(name);
    // Opened once, as itself, to copy from, to unregister and to delete.
    HKEY entry = nullptr;
    if (registryCalls.openKeyExW(source, wideName.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | KEY_SET_VALUE | DELETE,
                                 &entry) != ERROR_SUCCESS)
        return false;
    TreeCopy tree;
    KeyShape shape;
    KeyNames names;
    HKEY copy = nullptr;
    DWORD disposition = 0;
    bool copied = tree.Query(entry, shape) &&
                  registryCalls.createKeyExW(destination, wideName.c_str(), 0, shape.ClassOrNull(), 0, KEY_ALL_ACCESS,
                                             nullptr, &copy, &disposition) == ERROR_SUCCESS;
    copied = copied && disposition == REG_CREATED_NEW_KEY && tree.CopyKey(entry, copy, shape, true, names) &&
             tree.Register(copy);
    if (copy)
        registryCalls.closeKey(copy);
    const bool moved = copied && registryCalls.deleteValue(entry, "CLSID") == ERROR_SUCCESS &&
                       DeleteSubkeys(entry, names) && registryCalls.deleteOpenKey(entry) == ERROR_SUCCESS;
    registryCalls.closeKey(entry);
    return moved;
}

int FaithfulMoveAll(const char* sourcePath, const char* destinationPath, const std::vector<std::string>& names)
{
    HKEY source = nullptr;
    HKEY destination = nullptr;
    const LONG sourceOpened = registryCalls.openKeyEx(HKEY_LOCAL_MACHINE, sourcePath, 0, KEY_ALL_ACCESS, &source);
    const LONG destinationOpened = registryCalls.createKeyEx(HKEY_LOCAL_MACHINE, destinationPath, 0, nullptr, 0,
                                                             KEY_ALL_ACCESS, nullptr, &destination, nullptr);
    int moved = 0;
    if (sourceOpened == ERROR_SUCCESS && destinationOpened == ERROR_SUCCESS)
        for (const std::string& name : names)
            moved += FaithfulMoveEntry(source, destination, name) ? 1 : 0;
    if (sourceOpened == ERROR_SUCCESS)
        registryCalls.closeKey(source);
    if (destinationOpened == ERROR_SUCCESS)
        registryCalls.closeKey(destination);
    return moved;
}
