#pragma once
// The full main menu: sub-menus by position, their items by command id, 0 for a separator.
// Captions come from the string tables (menuTextId); simple mode prunes a copy of this layout.
#include <vector>

struct MenuLayout {
    int position; // 1-based: the caption's id
    std::vector<int> items;
};

constexpr int kMainMenu = 128;
constexpr int kShotMenu = 256;

const std::vector<MenuLayout>& fullMainMenu();
const std::vector<int>& shotContextMenu();

// Removes the items simple mode leaves out, then leading, trailing and doubled separators.
std::vector<int> prunedForSimpleMode(const std::vector<int>& items);
