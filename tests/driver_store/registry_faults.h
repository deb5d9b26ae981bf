// Stand-ins for the driver store's registry calls: each records itself and reaches the real registry unless it fails.
#pragma once

#include <windows.h>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "registry_calls.h"

// One call as made: its name as the API names it ("RegSetValueExW"), and the key it reaches as a path from
// "hklm" in lower case (a parent and a subkey name reach the subkey), so that handles of one key compare equal.
struct RegistryCall {
    std::string name;
    std::string path;

    bool operator==(const RegistryCall& other) const { return name == other.name && path == other.path; }
};

// A call to make fail: the occurrence-th (from 1) call of that name on that key.
struct FaultPoint {
    std::string call;
    std::string path;
    int occurrence = 1;

    bool operator<(const FaultPoint& other) const
    {
        return std::tie(call, path, occurrence) < std::tie(other.call, other.path, other.occurrence);
    }
};
using FaultPoints = std::vector<FaultPoint>;
// The point of each call, in order: what makes that same call fail in a run that reaches it the same way.
FaultPoints FaultPointsOf(const std::vector<RegistryCall>& calls);
// A key path as the stand-ins record it, for HKEY_LOCAL_MACHINE\path.
std::string MachinePath(const std::string& path);
// The name of the location's subkey a recorded path lies in, lower case; empty for a location itself.
std::string EntryOf(const std::string& path);
std::string Describe(const FaultPoint& point);

class RegistryFaults {
public:
    // Puts the stand-ins into the store's call table; the destructor puts the previous calls back.
    RegistryFaults();
    ~RegistryFaults();

    RegistryFaults(const RegistryFaults&) = delete;
    RegistryFaults& operator=(const RegistryFaults&) = delete;

    void Fail(const FaultPoint& point);
    // From now on a call that failed keeps failing whenever it is made again on the same key, as a missing
    // permission does, rather than failing once.
    void KeepFailingPerKey() { failuresPersist_ = true; }
    // Runs before every call, while the registry is as a kill at that moment would leave it.
    void BeforeEachCall(std::function<void()> observer) { observer_ = std::move(observer); }

    // Every call made so far, in order.
    const std::vector<RegistryCall>& Calls() const { return calls_; }
    int CountOf(const std::string& callName) const;
    // Keys handed out by a successful open or create through the table and not closed since.
    const std::set<HKEY>& OpenKeys() const { return openKeys_; }
    // Closes of keys the table never handed out (closed twice, or never opened).
    int StrayCloses() const { return strayCloses_; }
    // Keys deleted from an entry that still held its "CLSID" value (in any letter case): a delete cut short there
    // would leave a registration without its whole tree.
    int RegisteredTreesDeleted() const { return registeredTreesDeleted_; }

    // Used by the stand-ins. A call is about one key: a handle, or a parent handle and a subkey name (UTF-8).
    bool Fails(const char* callName, HKEY key, const std::string& subkeyName = std::string());
    void Opened(HKEY key, HKEY parent, const std::string& subkeyName);
    void Closed(HKEY key);
    void Deleting(HKEY key);

private:
    std::string PathOf(HKEY key, const std::string& subkeyName) const;

    RegistryCalls previous_;
    RegistryFaults* outer_ = nullptr;
    std::function<void()> observer_;
    bool observing_ = false;
    std::set<FaultPoint> failing_;
    std::vector<RegistryCall> calls_;
    std::map<std::pair<std::string, std::string>, int> occurrences_;
    std::set<HKEY> openKeys_;
    std::map<HKEY, std::string> paths_;
    bool failuresPersist_ = false;
    std::set<std::pair<std::string, std::string>> failingOnKey_;
    int strayCloses_ = 0;
    int registeredTreesDeleted_ = 0;
};
