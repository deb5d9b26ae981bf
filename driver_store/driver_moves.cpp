// Moving whole entry trees between the locations, keeping the lists in step, and saying what was not done.
#include "driver_moves.h"

#include "driver_entries.h"
#include "registry_calls.h"

#include <string>
#include <vector>

namespace {

constexpr int kActiveListId = 124;
constexpr int kHiddenListId = 121;
constexpr int kListTextBufferSize = 256;

constexpr char kTitle[] = "ASIO Quimble";
constexpr char kCouldNotOpen[] = "Could not open registry keys!";
constexpr char kNothingSelectedToHide[] =
    "Select one ore more devices in the \"Active Devices\" list before hitting the \">>\" button.\n"
    "Hit the \"Help\" button for further information on how to use this utility.";
constexpr char kNothingSelectedToRestore[] =
    "Select one ore more devices in the \"Disabled Devices\" list before hitting the \"<<\" button.\n"
    "Hit the \"Help\" button for further information on how to use this utility.";
constexpr char kDevicesInTheWay[] =
    "These devices were left where they are, because the other list already has a device of the same name:\n";
constexpr char kKeysInTheWayStart[] = "These devices were left where they are, because HKEY_LOCAL_MACHINE\\";
constexpr char kKeysInTheWayEnd[] =
    " already holds a registry key of the same name that is not a device; rename or remove that key (for example "
    "with the registry editor) to move them:\n";

void ShowMessage(const char* text)
{
    MessageBoxA(GetForegroundWindow(), text, kTitle, MB_OK);
}

bool CreateSubkey(HKEY parent, const char* name, RegistryKey& key, DWORD* disposition)
{
    const LONG rc =
        registryCalls.createKeyEx(parent, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(), disposition);
    return rc == ERROR_SUCCESS;
}

// Takes the "CLSID" value off an entry, so that what remains of it is no registration. SHDeleteKeyA removes a key's
// own values last, and a copy may stop after them: without this a tree cut short would still be loaded by hosts.
bool Unregister(HKEY entry)
{
    const LONG rc = registryCalls.deleteValue(entry, kRegistrationValue);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

// Clears away a copy that may be incomplete. Should the delete stop half-way, the remains are no registration,
// unless taking the value off failed as well.
void DeletePartialCopy(HKEY destination, const char* name, HKEY copy)
{
    Unregister(copy);
    registryCalls.deleteKey(destination, name);
}

// Undoes a complete copy, the source being whole and registered: the copy is unregistered first, so remains of a
// delete that stops half-way are no registration; if that fails, the copy stays whole beside the source.
MoveResult TakeBackCopy(HKEY destination, const char* name, HKEY copy)
{
    if (!Unregister(copy))
        return MoveResult::LeftInBoth;
    registryCalls.deleteKey(destination, name);
    return MoveResult::Failed;
}

// Keeps both lists of a walk from redrawing until it is done, then has them repaint once, frames and scroll bars
// included: a synchronous redraw per added or deleted item cost many times the registry work of a move.
class ListsRedrawPaused {
public:
    ListsRedrawPaused(HWND first, HWND second) : lists_{first, second}
    {
        for (HWND list : lists_)
            SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    }
    ~ListsRedrawPaused()
    {
        for (HWND list : lists_) {
            SendMessageA(list, WM_SETREDRAW, TRUE, 0);
            RedrawWindow(list, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
        }
    }

    ListsRedrawPaused(const ListsRedrawPaused&) = delete;
    ListsRedrawPaused& operator=(const ListsRedrawPaused&) = delete;

private:
    HWND lists_[2];
};

// The names a walk left where they were, by what stood in the way, collected downwards.
struct NamesTaken {
    std::vector<std::string> byDevices;
    std::vector<std::string> byOtherKeys;
};

void AddListItem(HWND list, const char* text)
{
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

// One paragraph of the box: why, then the names, which were collected during the downward walk, in list order.
void AddNamesLeft(std::string& text, const std::string& reason, const std::vector<std::string>& names)
{
    if (names.empty())
        return;
    if (!text.empty())
        text += "\n\n";
    text += reason;
    for (auto name = names.rbegin(); name != names.rend(); ++name)
        text += "\n" + *name;
}

// The path as the registry editor shows it. A 32-bit program on 64-bit Windows sees the 32-bit view, which the
// editor shows under WOW6432Node; naming the 64-bit key there would send the user to the wrong one.
std::string PathAsTheEditorShowsIt(const char* path)
{
    constexpr char kSoftware[] = "Software\\";
    BOOL wow64 = FALSE;
    if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64)
        return std::string(kSoftware) + "WOW6432Node\\" + (path + sizeof kSoftware - 1);
    return path;
}

// A key of the name that is no device is shown in neither list, so the box says where it is.
void ShowNamesTaken(const NamesTaken& taken, const char* destinationPath)
{
    std::string text;
    AddNamesLeft(text, kDevicesInTheWay, taken.byDevices);
    AddNamesLeft(text, kKeysInTheWayStart + PathAsTheEditorShowsIt(destinationPath) + kKeysInTheWayEnd,
                 taken.byOtherKeys);
    if (!text.empty())
        ShowMessage(text.c_str());
}

void MoveSelectedBetweenLocations(HWND dialog, bool hide)
{
    RegistryKey active;
    RegistryKey hidden;
    if (!OpenLocations(active, hidden)) {
        ShowMessage(kCouldNotOpen);
        return;
    }
    const bool anySelected =
        hide ? MoveSelected(active.Get(), hidden.Get(), dialog, kActiveListId, kHiddenListId, kHiddenLocationPath)
             : MoveSelected(hidden.Get(), active.Get(), dialog, kHiddenListId, kActiveListId, kActiveLocationPath);
    if (!anySelected)
        ShowMessage(hide ? kNothingSelectedToHide : kNothingSelectedToRestore);
    active.Close();
    hidden.Close();
}

}  // namespace

bool OpenLocations(RegistryKey& active, RegistryKey& hidden)
{
    const LONG activeOpened =
        registryCalls.openKeyEx(HKEY_LOCAL_MACHINE, kActiveLocationPath, 0, KEY_ALL_ACCESS, active.Receive());
    // Tried even when the active location failed: a move command always brings the hidden location into being.
    const LONG hiddenOpened = registryCalls.createKeyEx(HKEY_LOCAL_MACHINE, kHiddenLocationPath, 0, nullptr, 0,
                                                        KEY_ALL_ACCESS, nullptr, hidden.Receive(), nullptr);
    if (activeOpened == ERROR_SUCCESS && hiddenOpened == ERROR_SUCCESS)
        return true;
    active.Close();
    hidden.Close();
    return false;
}

MoveResult MoveEntry(HKEY source, HKEY destination, const char* name)
{
    // Opened once, to copy from and to unregister: every call that finds the entry by its name opens it again.
    RegistryKey entry;
    if (registryCalls.openKeyEx(source, name, 0, KEY_READ | KEY_SET_VALUE, entry.Receive()) != ERROR_SUCCESS)
        return MoveResult::Failed;
    RegistryKey copy;
    DWORD disposition = 0;
    if (!CreateSubkey(destination, name, copy, &disposition))
        return MoveResult::Failed;
    // Copying into a subkey that was already there would merge two registrations into one.
    if (disposition != REG_CREATED_NEW_KEY)
        return SubkeyHasValue(destination, name, kRegistrationValue) ? MoveResult::NameTakenByDevice
                                                                     : MoveResult::NameTakenByOtherKey;

    if (registryCalls.copyKey(entry.Get(), nullptr, copy.Get(), 0) != ERROR_SUCCESS) {
        // A partial copy must not stay behind looking like a registration; the source is untouched.
        DeletePartialCopy(destination, name, copy.Get());
        return MoveResult::Failed;
    }

    if (!Unregister(entry.Get()))
        return TakeBackCopy(destination, name, copy.Get());
    entry.Close();
    if (registryCalls.deleteKey(source, name) == ERROR_SUCCESS)
        return MoveResult::Moved;
    // The delete may have taken part of the source already: it is rebuilt from the copy before the copy goes.
    RegistryKey rebuilt;
    if (!CreateSubkey(source, name, rebuilt, nullptr))
        return MoveResult::Moved;  // the copy is now the registration, and the remains of the source are none
    if (registryCalls.copyKey(copy.Get(), nullptr, rebuilt.Get(), 0) == ERROR_SUCCESS)
        return TakeBackCopy(destination, name, copy.Get());
    // A rebuild cut short may have brought the value back onto a tree still incomplete.
    Unregister(rebuilt.Get());
    return MoveResult::Moved;
}

namespace {

// The walk over a list's items, with both lists' redrawing paused; true when at least one item was selected.
bool MoveSelectedItems(HKEY source, HKEY destination, HWND sourceList, HWND destinationList, LRESULT count,
                       NamesTaken& taken)
{
    ListsRedrawPaused paused(sourceList, destinationList);
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
        switch (MoveEntry(source, destination, text)) {
        case MoveResult::Moved:
            AddListItem(destinationList, text);
            SendMessageA(sourceList, LB_DELETESTRING, index, 0);
            break;
        case MoveResult::LeftInBoth:
            AddListItem(destinationList, text);
            break;
        case MoveResult::NameTakenByDevice:
            taken.byDevices.push_back(text);
            break;
        case MoveResult::NameTakenByOtherKey:
            taken.byOtherKeys.push_back(text);
            break;
        case MoveResult::Failed:
            break;
        }
    }
    return anySelected;
}

}  // namespace

bool MoveSelected(HKEY source, HKEY destination, HWND dialog, int sourceListId, int destinationListId,
                  const char* destinationPath)
{
    HWND sourceList = GetDlgItem(dialog, sourceListId);
    const LRESULT count = SendMessageA(sourceList, LB_GETCOUNT, 0, 0);
    if (count <= 0)
        return false;

    NamesTaken taken;
    // Looked up once: under Wine each look-up asks the server for the dialog's children, dearer than the list's work.
    HWND destinationList = GetDlgItem(dialog, destinationListId);
    const bool anySelected = MoveSelectedItems(source, destination, sourceList, destinationList, count, taken);
    // Only now, with the lists painting again: a box must not stand over lists that do not.
    ShowNamesTaken(taken, destinationPath);
    return anySelected;
}

void HideSelected(HWND dialog)
{
    MoveSelectedBetweenLocations(dialog, true);
}

void RestoreSelected(HWND dialog)
{
    MoveSelectedBetweenLocations(dialog, false);
}
