// The dialog's lists: each filled from its location, and the walk over the selected items of a move command.
#include "driver_lists.h"

#include "list_redraw.h"
#include "move_report.h"

#include <string>
#include <vector>

const DriverLocation kActiveLocation = {kActiveLocationPath, 124};
const DriverLocation kHiddenLocation = {kHiddenLocationPath, 121};

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

}  // namespace

LONG OpenLocationForListing(const DriverLocation& location, RegistryKey& key)
{
    return OpenLocation(location.path, KEY_ALL_ACCESS, key);
}

LONG OpenActiveLocationAtStart(RegistryKey& key)
{
    return OpenActiveLocation(KEY_ALL_ACCESS, NameCase::Exact, key);
}

void FillDriverList(HKEY location, HWND dialog, const DriverLocation& shownIn)
{
    // Looked up once: under Wine each look-up asks the server for the dialog's children.
    HWND list = GetDlgItem(dialog, shownIn.listId);
    const std::vector<std::string> names = ListDriverEntries(location);
    // Each added item would otherwise update the scroll bar and redraw, many times the registry's cost.
    ListRedrawPaused paused(list);
    size_t bytes = 0;
    for (const std::string& name : names)
        bytes += name.size() + 1;
    SendMessageA(list, LB_INITSTORAGE, names.size(), bytes);
    for (const std::string& name : names)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
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
