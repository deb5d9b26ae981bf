// What a move command tells the user once its walk is done: the names left where they were, and why.
#pragma once

#include "driver_moves.h"

#include <string>
#include <vector>

void ShowStoreMessage(const char* text);
// Asks once whether the entries registered again replace their copies in the destination, named by `destinationWord`
// ("hidden" or "active"); true for Yes. The names were collected downwards, as a walk collects them.
bool AskToReplace(const std::vector<std::string>& names, const char* destinationWord);

// The names a walk did not simply move, collected downwards, by what happened to them.
class MoveReport {
public:
    void Add(const std::string& name, const MoveOutcome& outcome);
    // A box for the names that stood in the way, then one for the failures: a clash is the user's to resolve, a
    // failure the system's to explain.
    void Show(const char* destinationPath) const;

private:
    struct Failure {
        std::string name;
        LONG error;
    };
    std::vector<std::string> takenByDevices_;
    std::vector<std::string> takenByOtherKeys_;
    std::vector<Failure> failed_;
    std::vector<Failure> leftInBoth_;
};
