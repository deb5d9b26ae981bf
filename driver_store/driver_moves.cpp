// Moving whole entry trees between the locations, keeping the lists in step, and saying what was not done.
#include "driver_moves.h"

#include "list_redraw.h"
#include "move_report.h"
#include "registry_calls.h"
#include "same_driver.h"
#include "tree_copy.h"

#include <string>
#include <vector>

const MoveDirection kHideDirection = {
    kActiveLocation, kHiddenLocation,
    "Select one ore more devices in the \"Active Devices\" list before hitting the \">>\" button.\n"
    "Hit the \"Help\" button for further information on how to use this utility.",
    "hidden"};
const MoveDirection kRestoreDirection = {
    kHiddenLocation, kActiveLocation,
    "Select one ore more devices in the \"Disabled Devices\" list before hitting the \"<<\" button.\n"
    "Hit the \"Help\" button for further information on how to use this utility.",
    "active"};

namespace {

// Room for the longest name the store lists, 254 characters of up to three bytes each, and more.
constexpr int kListTextBufferSize = 1024;

constexpr char kCouldNotOpen[] = "Could not open registry keys!";

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

// Takes the "CLSID" value off an entry, so that what remains of it is no registration. SHDeleteKeyA removes a key's
// own values last: without this a delete cut short would leave a registration on an incomplete tree.
LONG Unregister(HKEY entry)
{
    const LONG rc = registryCalls.deleteValue(entry, kRegistrationValue);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

// Deletes parent\name, open as `entry`, unregistered first, so that remains of a delete that stops half-way are no
// registration. Returns the first failing call's code; `unregistered` says whether the entry is no registration now.
LONG DeleteEntry(HKEY parent, const char* name, HKEY entry, bool& unregistered)
{
    const LONG rc = Unregister(entry);
    unregistered = rc == ERROR_SUCCESS;
    if (!unregistered)
        return rc;
    return registryCalls.deleteKey(parent, name);
}

// Undoes a complete copy, the source being whole and registered; if the copy cannot be unregistered, it stays whole
// beside the source.
MoveOutcome TakeBackCopy(HKEY destination, const char* name, HKEY copy, LONG error)
{
    bool unregistered = false;
    // Remains of a delete that fails after unregistering are no registration, and the move has failed already.
    DeleteEntry(destination, name, copy, unregistered);
    return {unregistered ? MoveResult::Failed : MoveResult::LeftInBoth, error};
}

MoveOutcome FailedWith(LONG error)
{
    return {MoveResult::Failed, error};
}

// What the destination's subkey of the name, already there, is to the entry: another key, another driver, or the
// same driver registered again. A read that fails tells none of them.
MoveOutcome WhatIsInTheWay(HKEY entry, HKEY there)
{
    bool device = false;
    LONG rc = FindValue(there, kRegistrationValue, device);
    if (rc != ERROR_SUCCESS)
        return {MoveResult::FailedNameTaken, rc};
    if (!device)
        return {MoveResult::NameTakenByOtherKey, ERROR_SUCCESS};
    bool same = false;
    rc = HoldSameDriver(entry, there, same);
    if (rc != ERROR_SUCCESS)
        return {MoveResult::FailedNameTaken, rc};
    return {same ? MoveResult::RegisteredAgain : MoveResult::NameTakenByDevice, ERROR_SUCCESS};
}

// Deletes the destination's older copy, open as `copy`, and makes the key anew for the entry's own copy;
// `olderCopyRemoved` says whether the older copy is no registration any more. Returns the first failing call's code.
LONG ReplaceOlderCopy(HKEY destination, const char* name, const WideText& wideName, const WideText& className,
                      REGSAM view, RegistryKey& copy, bool& olderCopyRemoved)
{
    LONG rc = DeleteEntry(destination, name, copy.Get(), olderCopyRemoved);
    if (rc != ERROR_SUCCESS)
        return rc;
    DWORD disposition = 0;
    rc = CreateKeyWithClass(destination, wideName.data(), className, view, copy, &disposition);
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
    const LONG hiddenOpened = registryCalls.createKeyEx(HKEY_LOCAL_MACHINE, kHiddenLocationPath, 0, nullptr, 0,
                                                        KEY_ALL_ACCESS | view, nullptr, hidden.Receive(), nullptr);
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
    // Opened once, to copy from and to unregister: every call that finds the entry by its name opens it again.
    RegistryKey entry;
    LONG rc = registryCalls.openKeyEx(source, name, 0, KEY_READ | KEY_SET_VALUE | view, entry.Receive());
    if (rc != ERROR_SUCCESS)
        return FailedWith(rc);
    WideText className;
    rc = ReadClassName(entry.Get(), className);
    if (rc != ERROR_SUCCESS)
        return FailedWith(rc);
    RegistryKey copy;
    DWORD disposition = 0;
    rc = CreateKeyWithClass(destination, wideName.data(), className, view, copy, &disposition);
    if (rc != ERROR_SUCCESS)
        return FailedWith(rc);
    // Copying into a subkey that was already there would merge two registrations into one.
    if (disposition != REG_CREATED_NEW_KEY) {
        const MoveOutcome inTheWay = WhatIsInTheWay(entry.Get(), copy.Get());
        if (inTheWay.result != MoveResult::RegisteredAgain || ifRegisteredAgain == IfRegisteredAgain::LeaveBoth)
            return inTheWay;
        // The older copy goes first; until the entry's own copy is whole there, the entry stays whole where it is.
        rc = ReplaceOlderCopy(destination, name, wideName, className, view, copy, olderCopyRemoved);
        if (rc != ERROR_SUCCESS)
            return {olderCopyRemoved ? MoveResult::Failed : MoveResult::FailedNameTaken, rc};
    }

    rc = CopyTree(entry.Get(), copy.Get(), view);
    if (rc != ERROR_SUCCESS) {
        // What the copy made is no registration yet, and goes again; the source is untouched.
        registryCalls.deleteKey(destination, name);
        return FailedWith(rc);
    }

    rc = Unregister(entry.Get());
    if (rc != ERROR_SUCCESS)
        return TakeBackCopy(destination, name, copy.Get(), rc);
    entry.Close();
    rc = registryCalls.deleteKey(source, name);
    if (rc == ERROR_SUCCESS)
        return {MoveResult::Moved, ERROR_SUCCESS};
    // The delete may have taken part of the source already: it is rebuilt from the copy before the copy goes. A
    // rebuild cut short is no registration, so the copy is then the one registration.
    RegistryKey rebuilt;
    if (CreateKeyWithClass(source, wideName.data(), className, view, rebuilt, nullptr) != ERROR_SUCCESS ||
        CopyTree(copy.Get(), rebuilt.Get(), view) != ERROR_SUCCESS)
        return {MoveResult::Moved, ERROR_SUCCESS};
    return TakeBackCopy(destination, name, copy.Get(), rc);
}

}  // namespace

MoveOutcome MoveEntry(HKEY source, HKEY destination, const char* name, REGSAM view, IfRegisteredAgain ifRegisteredAgain)
{
    bool olderCopyRemoved = false;
    MoveOutcome outcome = MoveOrReplace(source, destination, name, view, ifRegisteredAgain, olderCopyRemoved);
    outcome.olderCopyRemoved = olderCopyRemoved;
    return outcome;
}

namespace {

// The two lists of one command.
struct MoveLists {
    HWND source;
    HWND destination;
};

// Moves the entry of the source list's item and brings both lists in line with what happened.
MoveOutcome MoveItem(HKEY source, HKEY destination, const MoveLists& lists, LRESULT index, const char* text,
                     IfRegisteredAgain ifRegisteredAgain)
{
    const MoveOutcome outcome = MoveEntry(source, destination, text, 0, ifRegisteredAgain);
    if (outcome.olderCopyRemoved) {
        const LRESULT older = SendMessageA(lists.destination, LB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(text));
        if (older != LB_ERR)
            SendMessageA(lists.destination, LB_DELETESTRING, older, 0);
    }
    if (outcome.result == MoveResult::Moved || outcome.result == MoveResult::LeftInBoth)
        SendMessageA(lists.destination, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (outcome.result == MoveResult::Moved)
        SendMessageA(lists.source, LB_DELETESTRING, index, 0);
    return outcome;
}

// The walk over a list's items, with both lists' redrawing paused; true when at least one item was selected. The
// names the destination already holds as the same driver are left for the question, in `registeredAgain`.
bool MoveSelectedItems(HKEY source, HKEY destination, const MoveLists& lists, MoveReport& report,
                       std::vector<std::string>& registeredAgain)
{
    ListRedrawPaused sourcePaused(lists.source);
    ListRedrawPaused destinationPaused(lists.destination);
    const LRESULT count = SendMessageA(lists.source, LB_GETCOUNT, 0, 0);
    bool anySelected = false;
    // Downwards, so deleting a moved item leaves the indices still to visit valid.
    for (LRESULT index = count - 1; index >= 0; --index) {
        if (SendMessageA(lists.source, LB_GETSEL, index, 0) <= 0)
            continue;
        // Counted before anything is tried, so a selected item that fails to move does not read as "nothing selected".
        anySelected = true;
        // LB_GETTEXT takes no buffer size: an item too long for the buffer is skipped rather than read past its end.
        const LRESULT length = SendMessageA(lists.source, LB_GETTEXTLEN, index, 0);
        if (length == LB_ERR || length >= kListTextBufferSize)
            continue;
        char text[kListTextBufferSize] = {};
        if (SendMessageA(lists.source, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text)) == LB_ERR)
            continue;
        const MoveOutcome outcome = MoveItem(source, destination, lists, index, text, IfRegisteredAgain::LeaveBoth);
        if (outcome.result == MoveResult::RegisteredAgain)
            registeredAgain.push_back(text);
        else
            report.Add(text, outcome);
    }
    return anySelected;
}

// The items of these names, each still where the first walk left it, replace their older copies.
void ReplaceItems(HKEY source, HKEY destination, const MoveLists& lists, const std::vector<std::string>& names,
                  MoveReport& report)
{
    ListRedrawPaused sourcePaused(lists.source);
    ListRedrawPaused destinationPaused(lists.destination);
    for (const std::string& name : names) {
        const LRESULT index =
            SendMessageA(lists.source, LB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(name.c_str()));
        if (index != LB_ERR)
            report.Add(name, MoveItem(source, destination, lists, index, name.c_str(), IfRegisteredAgain::Replace));
    }
}

// True when at least one item of the source list was selected.
bool MoveSelectedBetween(HKEY source, HKEY destination, HWND dialog, const MoveDirection& direction)
{
    MoveLists lists = {GetDlgItem(dialog, direction.source.listId), nullptr};
    if (SendMessageA(lists.source, LB_GETCOUNT, 0, 0) <= 0)
        return false;
    MoveReport report;
    // Looked up once: under Wine each look-up asks the server for the dialog's children, dearer than the list's work.
    lists.destination = GetDlgItem(dialog, direction.destination.listId);
    std::vector<std::string> registeredAgain;
    const bool anySelected = MoveSelectedItems(source, destination, lists, report, registeredAgain);
    // Boxes only now, with the lists painting again: a box must not stand over lists that do not.
    if (!registeredAgain.empty() && AskToReplace(registeredAgain, direction.destinationWord))
        ReplaceItems(source, destination, lists, registeredAgain, report);
    report.Show(direction.destination.path);
    return anySelected;
}

}  // namespace

void MoveSelected(const MoveDirection& direction, HWND dialog)
{
    RegistryKey active;
    RegistryKey hidden;
    if (OpenLocations(active, hidden) != ERROR_SUCCESS) {
        ShowStoreMessage(kCouldNotOpen);
        return;
    }
    const bool hides = &direction.source == &kActiveLocation;
    HKEY source = hides ? active.Get() : hidden.Get();
    HKEY destination = hides ? hidden.Get() : active.Get();
    if (!MoveSelectedBetween(source, destination, dialog, direction))
        ShowStoreMessage(direction.nothingSelected);
    active.Close();
    hidden.Close();
}

void HideSelected(HWND dialog)
{
    MoveSelected(kHideDirection, dialog);
}

void RestoreSelected(HWND dialog)
{
    MoveSelected(kRestoreDirection, dialog);
}
