// The bench of the driver store's command tests: the two locations as trees, the two lists, the two directions.
#pragma once

#include "driver_lists.h"
#include "driver_trees.h"
#include "expected_texts.h"
#include "list_host.h"
#include "message_box_recorder.h"
#include "registry_sandbox.h"
#include "registry_tree.h"

#include <optional>
#include <string>
#include <vector>

using Names = std::vector<std::string>;

struct Locations {
    RegistryTree active;
    RegistryTree hidden;
    bool hiddenExists = false;
};
Locations ReadLocations();
void WriteLocations(const Locations& locations);

// One move command as the tests see it: the store's direction it runs, and what the tests expect of it.
struct Direction {
    const char* label;
    const MoveDirection& move;
    int sourceList;
    int destinationList;
    RegistryTree Locations::*source;
    RegistryTree Locations::*destination;
    const char* destinationPath;
    const char* nothingSelected;
    const char* destinationWord;  // what the boxes call a copy in the destination

    void Run(HWND dialog) const { MoveSelected(move, dialog); }
};
extern const Direction kHide;
extern const Direction kRestore;

// A fresh sandboxed registry, the two lists and a watch on message boxes, for one command.
struct StoreBench {
    StoreBench() : host(ownHost_.emplace()) {}
    // With another bench's lists, emptied: for runs of many commands, where a new window costs more than a command.
    explicit StoreBench(const ListHost& reused) : host(reused) { reused.Clear(); }

    // Writes the locations, fills the lists from them as the dialog does, and selects the named items of one list.
    void Start(const Locations& locations, int listId = kActiveList, const Names& selected = {});
    // The same for locations already written.
    void FillAndSelect(int listId, const Names& selected);

    RegistrySandbox sandbox;

private:
    std::optional<ListHost> ownHost_;

public:
    const ListHost& host;
    MessageBoxRecorder boxes;
    Locations start;
};
