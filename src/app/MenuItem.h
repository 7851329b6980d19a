#pragma once
// The items of the game's menus, the values of Application::menus.cursor.
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
  // The battle settings, in the order the down key walks them.
  kItemPlayers = 8,
  kItemMatchTime = 9,
  kItemDrawInterval = 10,
  kItemButtons2P4P = 24,
  kItemStart = 11,
  kItemBack = 12,
  // The stage select: the field, then start and back.
  kItemBattleStage = 13,
  // The result menu of the battle match, in the order the right key walks them.
  kItemOnceMore = 14,
  kItemToSettings = 15,
  kItemToCharacterSelect = 16,
  kItemToStageSelect = 17,
  kItemToTitle = 18,
  // The options page (with 10 the draw interval, 24 the button page and 12
  // back) and the button pages (with 23 the defaults and 12 back).
  kItemScreenMode = 20,
  kItemViewType = 21,
  kItemVolume = 22,
  kItemDefaults = 23,
  kItemButtons1P = 24,
  kItemAttackButton = 25,
  kItemShiftButton = 26,
  kItemJumpButton = 27,
};
