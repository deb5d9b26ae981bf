// A real top-level window holding the two driver lists (kActiveList and kHiddenList) as the main dialog has them.
#pragma once

#include "app_driver.h"

#include <gtest/gtest.h>
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
    // Empties both lists.
    void Clear() const;
    std::vector<std::string> Items(int listId) const { return ListItems(window_, listId); }
    std::vector<std::string> SelectedItems(int listId) const { return ::SelectedItems(window_, listId); }
    // Paints whatever is pending, so that a later change shows as a region waiting to be repainted.
    void PaintNow() const;
    // True when the list has a change not yet drawn, which the next paint will draw.
    bool AwaitsRepaint(int listId) const;
    // Both lists shown and drawing their changes: an item put in at the top of a list's view asks for a repaint.
    // The contents are as before afterwards.
    ::testing::AssertionResult ListsShowTheirChanges() const;

private:
    HWND window_ = nullptr;
};
