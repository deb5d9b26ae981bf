// Stand-ins for the driver store's registry calls: each counts itself and reaches the real registry unless it fails.
#pragma once

#include <windows.h>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "registry_calls.h"

class RegistryFaults {
public:
    // Puts the stand-ins into the store's call table; the destructor puts the previous calls back.
    RegistryFaults();
    ~RegistryFaults();

    RegistryFaults(const RegistryFaults&) = delete;
    RegistryFaults& operator=(const RegistryFaults&) = delete;

    // Calls are numbered from 1 in the order they are made, over all kinds.
    void FailCallNumber(int number);
    // The occurrence-th call (from 1) of one kind, named as the API names it, e.g. ("SHDeleteKeyA", 1).
    void FailCall(const std::string& callName, int occurrence);
    // From now on a call that failed keeps failing whenever it is made again on the same key, as a missing
    // permission does, rather than failing once.
    void KeepFailingPerKey() { failuresPersist_ = true; }

    // Every call made so far, by name, in order.
    const std::vector<std::string>& Calls() const { return calls_; }
    int CountOf(const std::string& callName) const;
    // Keys handed out by a successful open or create through the table and not closed since.
    const std::set<HKEY>& OpenKeys() const { return openKeys_; }
    // Closes of keys the table never handed out (closed twice, or never opened).
    int StrayCloses() const { return strayCloses_; }
    // Deletes of a tree that still held its "CLSID" value when the delete began: one cut short at any point would
    // leave a registration without its whole tree.
    int RegisteredTreesDeleted() const { return registeredTreesDeleted_; }

    // Used by the stand-ins. A call is about one key: a handle, or a parent handle and a subkey name.
    bool Fails(const char* callName, HKEY key, const char* subkeyName = nullptr);
    void Opened(HKEY key, HKEY parent, const char* subkeyName);
    void Closed(HKEY key);
    void Deleting(HKEY parent, const char* subkeyName);

private:
    // The key's path from the root it was opened under, in one letter case, so that handles of one key compare equal.
    std::string PathOf(HKEY key, const char* subkeyName) const;

    RegistryCalls previous_;
    RegistryFaults* outer_ = nullptr;
    std::set<int> failingNumbers_;
    std::set<std::pair<std::string, int>> failingOccurrences_;
    std::vector<std::string> calls_;
    std::map<std::string, int> counts_;
    std::set<HKEY> openKeys_;
    std::map<HKEY, std::string> paths_;
    bool failuresPersist_ = false;
    std::set<std::pair<std::string, std::string>> failingOnKey_;
    int strayCloses_ = 0;
    int registeredTreesDeleted_ = 0;
};
