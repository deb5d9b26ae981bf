// The walk over an entry's tree, depth first, with the access of each key's part in the move.
#include "move_access.h"

#include "driver_entries.h"

#include <vector>

namespace {

constexpr REGSAM kTreeAccess = KEY_READ | DELETE;

LONG CheckTree(const RegistryKey& parent, const std::string& name, REGSAM access, const std::string& path,
               std::string& failedAt)
{
    RegistryKey key;
    // A link is opened as itself, never through to its target outside the entry: the move refuses an entry holding
    // one, and that is its own report, not a denial.
    LONG rc = parent.OpenSubkey(name.c_str(), access, key, REG_OPTION_OPEN_LINK);
    std::vector<std::string> subkeys;
    if (rc == ERROR_SUCCESS)
        rc = ReadSubkeyNames(key.Get(), subkeys);
    if (rc != ERROR_SUCCESS) {
        failedAt = path;
        return rc;
    }
    for (const std::string& subkey : subkeys) {
        rc = CheckTree(key, subkey, kTreeAccess, path + "\\" + subkey, failedAt);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    return ERROR_SUCCESS;
}

}  // namespace

LONG CheckMoveAccess(const RegistryKey& location, const std::string& name, std::string& failedAt)
{
    return CheckTree(location, name, kTreeAccess | KEY_SET_VALUE, name, failedAt);
}
