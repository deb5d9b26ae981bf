// A real top-level window holding the two driver lists (kActiveList and kHiddenList) as the main dialog has them.
#pragma once

#include "app_driver.h"

#include <windows.h>
#include <string>
#include <vector>

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
    std::vector<std::string> Items(int listId) const { return ListItems(window_, listId); }
    std::vector<std::string> SelectedItems(int listId) const { return ::SelectedItems(window_, listId); }

private:
    HWND window_ = nullptr;
};
