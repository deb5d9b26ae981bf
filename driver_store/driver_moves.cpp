// Moving whole entry trees between the locations, keeping the lists in step, and saying what was not done.
#include "driver_moves.h"

#include "list_redraw.h"
#include "move_report.h"
#include "registry_calls.h"
#include "tree_copy.h"

#include <string>

const MoveDirection kHideDirection = {
    kActiveLocation, kHiddenLocation,
    "Select one ore more devices in the \"Active Devices\" list before hitting the \">>\" button.\n"
    "Hit the \"Help\" button for further information on how to use this utility."};
const MoveDirection kRestoreDirection = {
    kHiddenLocation, kActiveLocation,
    "Select one ore more devices in the \"Disabled Devices\" list before hitting the \"<<\" button.\n"
    "Hit the \"Help\" button for further information on how to use this utility."};

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
    const LONG hiddenOpened = registryCalls.createKeyEx(HKEY_LOCAL_MACHINE, kHiddenLocationPath, 0, nullptr, 0,
                                                        KEY_ALL_ACCESS | view, nullptr, hidden.Receive(), nullptr);
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

namespace {

// The walk over a list's items, with both lists' redrawing paused; true when at least one item was selected.
bool MoveSelectedItems(HKEY source, HKEY destination, HWND sourceList, HWND destinationList, MoveReport& report)
{
    ListRedrawPaused sourcePaused(sourceList);
    ListRedrawPaused destinationPaused(destinationList);
    const LRESULT count = SendMessageA(sourceList, LB_GETCOUNT, 0, 0);
    bool anySelected = false;
    // Downwards, so deleting a moved item leaves the indices still to visit valid.
    for (LRESULT index = count - 1; index >= 0; --index) {
        if (SendMessageA(sourceList, LB_GETSEL, index, 0) <= 0)
            continue;
        // Counted before anything is tried, so a selected item that fails to move does not read as "nothing selected".
        anySelected = true;
        // LB_GETTEXT takes no buffer size: an item too long for the buffer is skipped rather than read past its end.
        const LRESULT length = SendMessageA(sourceList, LB_GETTEXTLEN, index, 0);
        if (length == LB_ERR || length >= kListTextBufferSize)
            continue;
        char text[kListTextBufferSize] = {};
        if (SendMessageA(sourceList, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text)) == LB_ERR)
            continue;
        const MoveOutcome outcome = MoveEntry(source, destination, text);
        report.Add(text, outcome);
        if (outcome.result == MoveResult::Moved || outcome.result == MoveResult::LeftInBoth)
            SendMessageA(destinationList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        if (outcome.result == MoveResult::Moved)
            SendMessageA(sourceList, LB_DELETESTRING, index, 0);
    }
    return anySelected;
}

// True when at least one item of the source list was selected.
bool MoveSelectedBetween(HKEY source, HKEY destination, HWND dialog, const MoveDirection& direction)
{
    HWND sourceList = GetDlgItem(dialog, direction.source.listId);
    if (SendMessageA(sourceList, LB_GETCOUNT, 0, 0) <= 0)
        return false;
    MoveReport report;
    // Looked up once: under Wine each look-up asks the server for the dialog's children, dearer than the list's work.
    HWND destinationList = GetDlgItem(dialog, direction.destination.listId);
    const bool anySelected = MoveSelectedItems(source, destination, sourceList, destinationList, report);
    // Only now, with the lists painting again: a box must not stand over lists that do not.
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
