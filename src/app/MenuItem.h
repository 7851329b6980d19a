#pragma once
// The items of the game's menus, the values of Application::menuCursor.
#include <cstdint>

enum MenuItem : int32_t {
  // The title's items, left to right; 2 and 3 are not used.
  kItemStageMode = 0,
  kItemSokai = 1,
  kItemBattle = 4,
  kItemRanking = 5,
  kItemOptions = 6,
  kItemExit = 7,
  // The pause menu of the stages and the sokai stage.
  kItemResume = 28,
  kItemQuitToTitle = 29,
};
