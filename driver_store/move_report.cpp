// The boxes of the move commands.
#include "move_report.h"

#include "registry_views.h"
#include "system_error_text.h"

namespace {

constexpr char kTitle[] = "ASIO Quimble";
constexpr char kDevicesInTheWay[] =
    "These devices were left where they are, because the other list already has a device of the same name:\n";
constexpr char kKeysInTheWayStart[] = "These devices were left where they are, because HKEY_LOCAL_MACHINE\\";
constexpr char kKeysInTheWayEnd[] =
    " already holds a registry key of the same name that is not a device; rename or remove that key (for example "
    "with the registry editor) to move them:\n";
constexpr char kNotMoved[] = "These devices could not be moved and were left where they are:\n";
constexpr char kInBoth[] =
    "These devices are now in both lists: they were copied, but a failure kept them from being removed from where "
    "they were:\n";

// One paragraph of a box: why, then one line per name. The names were collected during the downward walk, so they
// are written in reverse, which is list order.
template <typename Item, typename Line>
void AddParagraph(std::string& text, const std::string& reason, const std::vector<Item>& items, Line line)
{
    if (items.empty())
        return;
    if (!text.empty())
        text += "\n\n";
    text += reason;
    for (auto item = items.rbegin(); item != items.rend(); ++item)
        text += "\n" + line(*item);
}

void ShowUnlessEmpty(const std::string& text)
{
    if (!text.empty())
        ShowStoreMessage(text.c_str());
}

}  // namespace

void ShowStoreMessage(const char* text)
{
    MessageBoxA(GetForegroundWindow(), text, kTitle, MB_OK);
}

bool AskToReplace(const std::vector<std::string>& names, const char* destinationWord)
{
    std::string text;
    AddParagraph(text,
                 std::string("These devices are already ") + destinationWord +
                     ", and an update has probably registered them again:\n",
                 names, [](const std::string& name) { return name; });
    text += std::string("\n\nYes replaces the ") + destinationWord +
            " copy of each with the one selected; No leaves both as they are.";
    return MessageBoxA(GetForegroundWindow(), text.c_str(), kTitle, MB_YESNO) == IDYES;
}

void MoveReport::Add(const std::string& name, const MoveOutcome& outcome)
{
    switch (outcome.result) {
    case MoveResult::Moved:
        break;
    // A driver registered again and not replaced is a device of that name in the way all the same.
    case MoveResult::RegisteredAgain:
    case MoveResult::NameTakenByDevice:
        takenByDevices_.push_back(name);
        break;
    case MoveResult::NameTakenByOtherKey:
        takenByOtherKeys_.push_back(name);
        break;
    case MoveResult::Failed:
    case MoveResult::FailedNameTaken:
        failed_.push_back({name, outcome.error});
        break;
    case MoveResult::LeftInBoth:
        leftInBoth_.push_back({name, outcome.error});
        break;
    }
}

void MoveReport::Show(const char* destinationPath) const
{
    const auto asIs = [](const std::string& name) { return name; };
    const auto withReason = [](const Failure& failure) {
        return failure.name + ": " + SystemErrorText(failure.error);
    };
    std::string inTheWay;
    AddParagraph(inTheWay, kDevicesInTheWay, takenByDevices_, asIs);
    // A key of the name that is no device is shown in neither list, so the box says where it is, as the registry
    // editor shows it: a 32-bit program on 64-bit Windows sees the 32-bit view, which the editor shows under
    // WOW6432Node, and naming the 64-bit key there would send the user to the wrong one.
    AddParagraph(inTheWay, kKeysInTheWayStart + MachinePathAsShown(OwnView(), destinationPath) + kKeysInTheWayEnd,
                 takenByOtherKeys_, asIs);
    ShowUnlessEmpty(inTheWay);
    std::string failures;
    AddParagraph(failures, kNotMoved, failed_, withReason);
    AddParagraph(failures, kInBoth, leftInBoth_, withReason);
    ShowUnlessEmpty(failures);
}
