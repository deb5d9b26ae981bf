// Moving whole entry trees between the locations.
#include "driver_moves.h"

#include "registry_calls.h"
#include "same_driver.h"
#include "tree_copy.h"

#include <string>

namespace {

// What a move does to an entry it takes away: reads it, unregisters it, deletes it.
constexpr REGSAM kEntryAccess = KEY_READ | KEY_SET_VALUE | DELETE;

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

// Deletes the entry open as `entry` (with DELETE access) and read as `image`, unregistered first, so that remains of
// a delete that stops half-way are no registration. Returns the first failing call's code; `unregistered` says
// whether the entry is no registration now.
LONG DeleteEntry(HKEY entry, const KeyImage& image, REGSAM view, bool& unregistered)
{
    const LONG rc = Unregister(entry);
    unregistered = rc == ERROR_SUCCESS;
    if (!unregistered)
        return rc;
    return DeleteOpenTree(entry, image, view);
}

// Undoes a complete copy, the source being whole and registered; if the copy cannot be unregistered, it stays whole
// beside the source.
MoveOutcome TakeBackCopy(HKEY copy, const KeyImage& image, LONG error, REGSAM view)
{
    bool unregistered = false;
    // Remains of a delete that fails after unregistering are no registration, and the move has failed already.
    static_cast<void>(DeleteEntry(copy, image, view, unregistered));
    return {unregistered ? MoveResult::Failed : MoveResult::LeftInBoth, error};
}

MoveOutcome FailedWith(LONG error)
{
    return {MoveResult::Failed, error};
}

// What the destination's subkey of the name, already there and open as `there`, is to the entry: the same driver
// registered again, another driver, or another key. A read that fails tells none of them.
MoveOutcome WhatIsInTheWay(HKEY entry, HKEY there, HKEY destination, const char* name, REGSAM view)
{
    bool same = false;
    LONG rc = HoldSameDriver(entry, there, same);
    if (rc != ERROR_SUCCESS)
        return {MoveResult::FailedNameTaken, rc};
    if (same)
        return {MoveResult::RegisteredAgain, ERROR_SUCCESS};
    rc = FindValue(destination, name, kRegistrationValue, NameCase::Exact, view);
    if (rc == ERROR_SUCCESS)
        return {MoveResult::NameTakenByDevice, ERROR_SUCCESS};
    if (rc == ERROR_FILE_NOT_FOUND)
        return {MoveResult::NameTakenByOtherKey, ERROR_SUCCESS};
    return {MoveResult::FailedNameTaken, rc};
}

// Deletes the destination's older copy, read whole first and as itself (what could not be deleted as it is, a link
// or a name cut short, stays), and makes the key anew, as `copy`, for the entry's own copy. `olderCopyRemoved` says
// whether the older copy is no registration any more. Returns the first failing call's code.
LONG ReplaceOlderCopy(HKEY destination, const WideText& name, const WideText& className, REGSAM view,
                      RegistryKey& copy, bool& olderCopyRemoved)
{
    RegistryKey older;
    LONG rc =
        registryCalls.openKeyExW(destination, name.data(), REG_OPTION_OPEN_LINK, kEntryAccess | view, older.Receive());
    KeyImage olderImage;
    if (rc == ERROR_SUCCESS)
        rc = ReadKeyImage(older.Get(), view, olderImage);
    if (rc == ERROR_SUCCESS)
        rc = DeleteEntry(older.Get(), olderImage, view, olderCopyRemoved);
    if (rc != ERROR_SUCCESS)
        return rc;
    DWORD disposition = 0;
    rc = CreateKeyWithClass(destination, name.data(), className, view, copy, &disposition);
    // Made again meanwhile by another program: not a key of this move's own to copy into.
    if (rc == ERROR_SUCCESS && disposition != REG_CREATED_NEW_KEY)
        return ERROR_ALREADY_EXISTS;
    return rc;
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

namespace {

// The move, saying in `olderCopyRemoved` whether a replace took the destination's older copy away.
MoveOutcome MoveOrReplace(HKEY source, HKEY destination, const char* name, REGSAM view,
                          IfRegisteredAgain ifRegisteredAgain, bool& olderCopyRemoved)
{
    WideText wideName;
    if (!Widen(name, wideName))
        return FailedWith(ERROR_NO_UNICODE_TRANSLATION);
    // Opened once, as itself (an entry that is a link is seen as one), to copy from, to unregister and to delete.
    RegistryKey entry;
    LONG rc =
        registryCalls.openKeyExW(source, wideName.data(), REG_OPTION_OPEN_LINK, kEntryAccess | view, entry.Receive());
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
        const MoveOutcome inTheWay = WhatIsInTheWay(entry.Get(), copy.Get(), destination, name, view);
        if (inTheWay.result != MoveResult::RegisteredAgain || ifRegisteredAgain == IfRegisteredAgain::LeaveBoth)
            return inTheWay;
        // The older copy goes first; until the entry's own copy is whole there, the entry stays whole where it is.
        rc = ReplaceOlderCopy(destination, wideName, image.className, view, copy, olderCopyRemoved);
        if (rc != ERROR_SUCCESS)
            return {olderCopyRemoved ? MoveResult::Failed : MoveResult::FailedNameTaken, rc};
    }

    rc = WriteKeyImage(image, copy.Get(), view);
    if (rc != ERROR_SUCCESS) {
        // What the copy made is no registration yet, and goes again; the source is untouched.
        DeleteOpenTree(copy.Get(), image, view);
        return FailedWith(rc);
    }

    rc = Unregister(entry.Get());
    if (rc != ERROR_SUCCESS)
        return TakeBackCopy(copy.Get(), image, rc, view);
    rc = DeleteOpenTree(entry.Get(), image, view);
    if (rc == ERROR_SUCCESS)
        return {MoveResult::Moved, ERROR_SUCCESS};
    // The delete may have taken part of the source already: it is rebuilt from what was read before the copy goes.
    // A rebuild cut short is no registration, so the copy is then the one registration.
    RegistryKey rebuilt;
    if (CreateKeyWithClass(source, wideName.data(), image.className, view, rebuilt, nullptr) != ERROR_SUCCESS ||
        WriteKeyImage(image, rebuilt.Get(), view) != ERROR_SUCCESS)
        return {MoveResult::Moved, ERROR_SUCCESS};
    return TakeBackCopy(copy.Get(), image, rc, view);
}

}  // namespace

MoveOutcome MoveEntry(HKEY source, HKEY destination, const char* name, REGSAM view, IfRegisteredAgain ifRegisteredAgain)
{
    bool olderCopyRemoved = false;
    MoveOutcome outcome = MoveOrReplace(source, destination, name, view, ifRegisteredAgain, olderCopyRemoved);
    outcome.olderCopyRemoved = olderCopyRemoved;
    return outcome;
}
