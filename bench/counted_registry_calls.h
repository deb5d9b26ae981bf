// Counting the driver store's registry calls, by call, through the store's call table: a count no host's speed blurs.
#pragma once

#include "registry_calls.h"

#include <string>
#include <vector>

// How often one call was made since the count began, and the time spent inside it.
struct CallTally {
    std::string name;  // as the API names it
    long calls = 0;
    double ms = 0;
};

// While it lives, every call through `registryCalls` is counted and timed; the destructor puts the real calls back.
// One at a time: the counters are the program's own.
class CountedRegistryCalls {
public:
    CountedRegistryCalls();
    ~CountedRegistryCalls();

    CountedRegistryCalls(const CountedRegistryCalls&) = delete;
    CountedRegistryCalls& operator=(const CountedRegistryCalls&) = delete;

    // Starts the count again from zero.
    void Reset();
    // Every call of the table, in its order, made or not.
    std::vector<CallTally> Tallies() const;

private:
    RegistryCalls real_;
};
