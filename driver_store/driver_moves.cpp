// Moving whole entry trees between the locations.
#include "driver_moves.h"

#include "registry_calls.h"
#include "tree_copy.h"

#include <string>

namespace {

// The list's text is in the code page the A calls use; the tree copy names keys in UTF-16.
bool Widen(const char* name, WideText& wide)
{
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, nullptr, 0);
    if (length <= 0)
        return false;
    wide.resize(length);
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, wide.data(), length);
    return true;
}

// Takes the "CLSID" value off an entry, so that what remains of it is no registration. The registry finds the value
// whatever its letter case. A delete removes keys from the bottom up: without this one cut short would leave a
// registration on an incomplete tree.
LONG Unregister(HKEY entry)
{
    const LONG rc = registryCalls.deleteValue(entry, kRegistrationValue);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

// Undoes a complete copy, the source being whole and registered: the copy is unregistered first, so remains of a
// delete that stops half-way are no registration; if that fails, the copy stays whole beside the source.
MoveOutcome TakeBackCopy(HKEY destination, const wchar_t* name, HKEY copy, const KeyImage& image, LONG error,
                         REGSAM view)
{
    if (Unregister(copy) != ERROR_SUCCESS)
        return {MoveResult::LeftInBoth, error};
    DeleteTree(destination, name, image, view);
    return {MoveResult::Failed, error};
}

MoveOutcome FailedWith(LONG error)
{
    return {MoveResult::Failed, error};
}

}  // namespace

LONG OpenLocations(RegistryKey& active, RegistryKey& hidden, REGSAM view)
{
    const LONG activeOpened = OpenLocation(kActiveLocationPath, KEY_ALL_ACCESS | view, active);
    // Tried even when the active location failed: a move command always brings the hidden location into being.
    const LONG hiddenOpened = hidden.Create(HKEY_LOCAL_MACHINE, kHiddenLocationPath, KEY_ALL_ACCESS | view);
    if (activeOpened == ERROR_SUCCESS && hiddenOpened == ERROR_SUCCESS)
        return ERROR_SUCCESS;
    active.Close();
    hidden.Close();
    return activeOpened != ERROR_SUCCESS ? activeOpened : hiddenOpened;
}

MoveOutcome MoveEntry(HKEY source, HKEY destination, const char* name, REGSAM view)
{
    WideText wideName;
    if (!Widen(name, wideName))
        return FailedWith(ERROR_NO_UNICODE_TRANSLATION);
    // Opened once, as itself (an entry that is a link is seen as one), to copy from and to unregister: every call
    // that finds the entry by its name opens it again.
    RegistryKey entry;
    LONG rc = registryCalls.openKeyExW(source, wideName.data(), REG_OPTION_OPEN_LINK, KEY_READ | KEY_SET_VALUE | view,
                                       entry.Receive());
    if (rc != ERROR_SUCCESS)
        return FailedWith(rc);
    // Read whole before anything is written: an entry that could not be written back as it is stays untouched.
    KeyImage image;
    rc = ReadKeyImage(entry.Get(), view, image);
    if (rc != ERROR_SUCCESS)
        return FailedWith(rc);
    RegistryKey copy;
    DWORD disposition = 0;
    rc = CreateKeyWithClass(destination, wideName.data(), image.className, view, copy, &disposition);
    if (rc != ERROR_SUCCESS)
        return FailedWith(rc);
    // Copying into a subkey that was already there would merge two registrations into one.
    if (disposition != REG_CREATED_NEW_KEY) {
        const bool device = SubkeyHasValue(destination, name, kRegistrationValue, view);
        return {device ? MoveResult::NameTakenByDevice : MoveResult::NameTakenByOtherKey, ERROR_SUCCESS};
    }

    rc = WriteKeyImage(image, copy.Get(), view);
    if (rc != ERROR_SUCCESS) {
        // What the copy made is no registration yet, and goes again; the source is untouched.
        DeleteTree(destination, wideName.data(), image, view);
        return FailedWith(rc);
    }

    rc = Unregister(entry.Get());
    if (rc != ERROR_SUCCESS)
        return TakeBackCopy(destination, wideName.data(), copy.Get(), image, rc, view);
    entry.Close();
    rc = DeleteTree(source, wideName.data(), image, view);
    if (rc == ERROR_SUCCESS)
        return {MoveResult::Moved, ERROR_SUCCESS};
    // The delete may have taken part of the source already: it is rebuilt from what was read before the copy goes.
    // A rebuild cut short is no registration, so the copy is then the one registration.
    RegistryKey rebuilt;
    if (CreateKeyWithClass(source, wideName.data(), image.className, view, rebuilt, nullptr) != ERROR_SUCCESS ||
        WriteKeyImage(image, rebuilt.Get(), view) != ERROR_SUCCESS)
        return {MoveResult::Moved, ERROR_SUCCESS};
    return TakeBackCopy(destination, wideName.data(), copy.Get(), image, rc, view);
}
