// The walk over names and views: what each view holds, the locations opened for writing before the first move,
// then one move or one verdict per name and view.
#include "name_moves.h"

#include "console_text.h"
#include "driver_entries.h"
#include "driver_moves.h"
#include "move_access.h"
#include "program_name.h"
#include "registry_key.h"

#include <memory>

namespace {

enum class Direction { Hide, Restore };

// A driver entry as listed, with the UTF-16 form names are compared in.
struct Entry {
    std::string name;  // in the active code page, exactly as the registry holds it
    std::wstring wide;
};

struct ViewMoves {
    const RegistryView& view;
    const char* sourcePath;
    const char* destinationPath;
    std::vector<Entry> source;
    std::vector<Entry> destination;
    RegistryKey active;
    RegistryKey hidden;
};

// The outcome of one name in one view: the line that says it, whether the view held the name (in either location),
// and whether it failed to move it.
struct Verdict {
    std::string text;
    bool found;
    bool failed;
};

LONG ListEntries(const RegistryView& view, const char* path, std::vector<Entry>& entries)
{
    RegistryKey location;
    const LONG rc = OpenLocation(path, KEY_READ | view.flag, location);
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS)
        return rc;
    std::vector<std::string> names;
    const LONG read = ReadDriverEntries(location, NameCase::Any, names);
    for (std::string& name : names) {
        std::wstring wide = WideFromActiveCodePage(name);
        entries.push_back({std::move(name), std::move(wide)});
    }
    return read;
}

const Entry* FindEntry(const std::vector<Entry>& entries, const std::wstring& name)
{
    for (const Entry& entry : entries)
        if (SameRegistryName(entry.wide.c_str(), name.c_str()))
            return &entry;
    return nullptr;
}

void RemoveEntry(std::vector<Entry>& entries, const std::string& name)
{
    for (auto entry = entries.begin(); entry != entries.end(); ++entry)
        if (entry->name == name) {
            entries.erase(entry);
            return;
        }
}

// The active location is opened and the hidden one opened or made. A restore into a view whose active location is
// gone makes that one again, empty, by the store's rule.
LONG OpenLocationsForMoves(ViewMoves& moves)
{
    const LONG rc = OpenLocations(moves.active, moves.hidden, moves.view.flag);
    if (rc != ERROR_FILE_NOT_FOUND)
        return rc;
    RegistryKey created;
    const LONG made = OpenActiveLocation(KEY_ALL_ACCESS | moves.view.flag, NameCase::Any, created);
    if (made != ERROR_SUCCESS)
        return made;
    return OpenLocations(moves.active, moves.hidden, moves.view.flag);
}

class NameMover {
public:
    NameMover(Direction direction, const std::vector<RegistryView>& views, bool replace)
        : hide_(direction == Direction::Hide),
          ifRegisteredAgain_(replace ? IfRegisteredAgain::Replace : IfRegisteredAgain::LeaveBoth)
    {
        const char* source = hide_ ? kActiveLocationPath : kHiddenLocationPath;
        const char* destination = hide_ ? kHiddenLocationPath : kActiveLocationPath;
        for (const RegistryView& view : views)
            views_.emplace_back(new ViewMoves{view, source, destination, {}, {}, {}, {}});
    }

    // Lists every view, then opens for writing each view where one of the names is to move, and every key of each
    // entry to move: a location or a key that cannot be opened stops the command before anything has moved. The
    // locations that exist are tried first, so that a refusal in one view leaves no location made in another.
    // Returns the code of the call that stopped it.
    LONG Prepare(const std::vector<std::wstring>& names, std::string& failure)
    {
        std::vector<ViewMoves*> moving;
        for (auto& moves : views_) {
            for (const bool source : {true, false}) {
                const char* path = source ? moves->sourcePath : moves->destinationPath;
                const LONG rc = ListEntries(moves->view, path, source ? moves->source : moves->destination);
                if (rc != ERROR_SUCCESS) {
                    failure = "cannot read " + MachineKeyAsShown(moves->view, path) + ": " + ErrorTextUtf8(rc);
                    return rc;
                }
            }
            if (AnyFound(moves->source, names))
                moving.push_back(moves.get());
        }
        for (ViewMoves* moves : moving)
            for (const char* path : {kActiveLocationPath, kHiddenLocationPath}) {
                RegistryKey location;
                const LONG rc = OpenLocation(path, KEY_ALL_ACCESS | moves->view.flag, location);
                if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
                    failure =
                        "cannot open " + MachineKeyAsShown(moves->view, path) + " for writing: " + ErrorTextUtf8(rc);
                    return rc;
                }
            }
        for (ViewMoves* moves : moving) {
            const LONG rc = CheckEntries(*moves, names, failure);
            if (rc != ERROR_SUCCESS)
                return rc;
        }
        for (ViewMoves* moves : moving) {
            const LONG rc = OpenLocationsForMoves(*moves);
            if (rc != ERROR_SUCCESS) {
                failure = "cannot open " + MachineKeyAsShown(moves->view, kActiveLocationPath) + " and " +
                          MachineKeyAsShown(moves->view, kHiddenLocationPath) + " for writing: " + ErrorTextUtf8(rc);
                return rc;
            }
        }
        return ERROR_SUCCESS;
    }

    // One line per view; the name counts as done when some view moved it or already had it where it goes, and no
    // view failed to move it.
    bool Move(const std::string& given, const std::wstring& name)
    {
        bool found = false;
        bool failed = false;
        for (auto& moves : views_) {
            const Verdict verdict = MoveInView(*moves, given, name);
            found = found || verdict.found;
            failed = failed || verdict.failed;
            WriteOut(std::to_string(moves->view.bits) + "-bit view: " + verdict.text + "\n");
        }
        return found && !failed;
    }

private:
    // A denial deep in an entry's tree would otherwise be met mid-run, after other names moved. Any other failure is
    // left to the move, which reports it on the name's own line.
    static LONG CheckEntries(const ViewMoves& moves, const std::vector<std::wstring>& names, std::string& failure)
    {
        RegistryKey source;
        if (OpenLocation(moves.sourcePath, KEY_READ | moves.view.flag, source) != ERROR_SUCCESS)
            return ERROR_SUCCESS;
        for (const std::wstring& name : names) {
            const Entry* entry = FindEntry(moves.source, name);
            std::string failedAt;
            if (entry && CheckMoveAccess(source, entry->name, failedAt) == ERROR_ACCESS_DENIED) {
                const std::string key = std::string(moves.sourcePath) + "\\" + failedAt;
                failure = "cannot open " + Utf8FromActiveCodePage(MachineKeyAsShown(moves.view, key)) +
                          " for writing: " + ErrorTextUtf8(ERROR_ACCESS_DENIED);
                return ERROR_ACCESS_DENIED;
            }
        }
        return ERROR_SUCCESS;
    }

    static bool AnyFound(const std::vector<Entry>& entries, const std::vector<std::wstring>& names)
    {
        for (const std::wstring& name : names)
            if (FindEntry(entries, name))
                return true;
        return false;
    }

    Verdict MoveInView(ViewMoves& moves, const std::string& given, const std::wstring& name)
    {
        const Entry* entry = FindEntry(moves.source, name);
        if (!entry) {
            if (const Entry* there = FindEntry(moves.destination, name))
                return {Utf8FromActiveCodePage(there->name) + (hide_ ? ": already hidden" : ": already active"), true,
                        false};
            return {given + ": not found", false, false};
        }
        // A copy: the lists change below.
        const Entry moved = *entry;
        const std::string shown = Utf8FromActiveCodePage(moved.name);
        HKEY source = hide_ ? moves.active.Get() : moves.hidden.Get();
        HKEY destination = hide_ ? moves.hidden.Get() : moves.active.Get();
        const std::string destinationShown = MachineKeyAsShown(moves.view, moves.destinationPath);
        const MoveOutcome outcome =
            MoveEntry(source, destination, moved.name.c_str(), moves.view.flag, ifRegisteredAgain_);
        // The older copy's spelling of the name may differ from the entry's.
        if (const Entry* older = outcome.olderCopyRemoved ? FindEntry(moves.destination, name) : nullptr)
            RemoveEntry(moves.destination, std::string(older->name));
        const char* replaced = hide_ ? "the older hidden copy" : "the active copy";
        switch (outcome.result) {
        case MoveResult::Moved:
            RemoveEntry(moves.source, moved.name);
            moves.destination.push_back(moved);
            return {shown + (hide_ ? ": hidden" : ": restored") +
                        (outcome.olderCopyRemoved ? std::string(", replacing ") + replaced : std::string()),
                    true, false};
        case MoveResult::RegisteredAgain:
            return {shown + (hide_ ? ": already hidden" : ": already active") +
                        ", and an update has probably registered it again: --replace would " +
                        (hide_ ? "hide" : "restore") + " it, replacing " + replaced,
                    true, true};
        case MoveResult::NameTakenByDevice:
            return {shown + ": name taken by a driver of that name in " + destinationShown, true, true};
        case MoveResult::NameTakenByOtherKey:
            return {shown + ": name taken by " + destinationShown + "\\" + shown + ", a key that is no driver", true,
                    true};
        case MoveResult::Failed:
            return {shown + ": failed" + (outcome.olderCopyRemoved ? std::string(" after removing ") + replaced : "") +
                        ": " + ErrorTextUtf8(outcome.error),
                    true, true};
        case MoveResult::FailedNameTaken:
            return {shown + ": failed: " + ErrorTextUtf8(outcome.error), true, true};
        case MoveResult::LeftInBoth:
            moves.destination.push_back(moved);
            return {shown + ": left in both " + MachineKeyAsShown(moves.view, moves.sourcePath) + " and " +
                        destinationShown + ": " + ErrorTextUtf8(outcome.error),
                    true, true};
        }
        return {shown, true, true};
    }

    bool hide_;
    IfRegisteredAgain ifRegisteredAgain_;
    // Each holds open keys, so it stays where it was made.
    std::vector<std::unique_ptr<ViewMoves>> views_;
};

ExitCode MoveByName(Direction direction, const std::vector<RegistryView>& views, const std::vector<std::string>& names,
                    bool replace)
{
    std::vector<std::wstring> wideNames;
    for (const std::string& name : names)
        wideNames.push_back(WideFromUtf8(name));
    NameMover mover(direction, views, replace);
    std::string failure;
    const LONG prepared = mover.Prepare(wideNames, failure);
    if (prepared == ERROR_ACCESS_DENIED) {
        WriteError(std::string(kProgramName) + ": " + failure +
                   "\nNothing was moved. Hide and restore change HKEY_LOCAL_MACHINE: run them from an elevated prompt "
                   "(Run as administrator).\n");
        return ExitCode::AccessDenied;
    }
    if (prepared != ERROR_SUCCESS) {
        WriteError(std::string(kProgramName) + ": " + failure + "\nNothing was moved.\n");
        return ExitCode::NotDone;
    }
    bool allDone = true;
    for (size_t index = 0; index < names.size(); ++index)
        allDone = mover.Move(names[index], wideNames[index]) && allDone;
    return allDone ? ExitCode::Done : ExitCode::NotDone;
}

}  // namespace

ExitCode Hide(const CommandLine& line, const std::vector<RegistryView>& views)
{
    return MoveByName(Direction::Hide, views, line.names, line.replace);
}

ExitCode Restore(const CommandLine& line, const std::vector<RegistryView>& views)
{
    return MoveByName(Direction::Restore, views, line.names, line.replace);
}
