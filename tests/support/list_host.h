// A real top-level window holding the two driver lists (ids 124 and 121) as the main dialog has them.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

constexpr int kActiveListId = 124;
constexpr int kHiddenListId = 121;

class ListHost {
public:
    ListHost();
    ~ListHost();

    ListHost(const ListHost&) = delete;
    ListHost& operator=(const ListHost&) = delete;

    HWND Window() const { return window_; }
    HWND List(int listId) const { return GetDlgItem(window_, listId); }
    void Add(int listId, const std::string& name) const;
    void Select(int listId, int index) const;
    std::vector<std::string> Items(int listId) const;
    std::vector<std::string> SelectedItems(int listId) const;

private:
    HWND window_ = nullptr;
};
