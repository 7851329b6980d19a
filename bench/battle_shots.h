#pragma once
// Every 40 frames a new set of every character's shots, fired away from the
// middle: the long-lived ones pile up to a busy four-player match's worth.
#include "actors/BattlePlayer.h"
#include "actors/Player1Shots.h"
#include "actors/Player2Shots.h"
#include "actors/Player3Shots.h"
#include "actors/Player4Shots.h"
#include "actors/PlayerTamas.h"
#include "world/ObjectList.h"

inline void TopUpEveryShot(BattlePlayer* players, int& frame) {
  if (frame++ % 40 != 0) return;
  for (int i = 0; i < 4; ++i) {
    const BattlePlayer& p = players[i];
    const int32_t id = p.id;
    const float h = p.angle.y + 180.0f;
    const port::Vec3& x = p.position;
    switch (i) {
      case 0:
        Tama::Spawn({.at = x, .heading = h, .owner = id});
        Player1LargeTama1::Spawn({.at = x, .heading = h + 20, .owner = id, .battleMode = 1});
        break;
      case 1:
        Player2Tama::Spawn({.at = x, .heading = h, .owner = id});
        Player2LargeTama1::Spawn({.at = x,
                                  .heading = h,
                                  .owner = id,
                                  .curve = static_cast<int32_t>(g_objects.Size() % 4)});
        Player2HitBox::Spawn({.at = {x.x + 1, x.y, x.z}, .heading = h, .owner = id});
        break;
      case 2:
        Player3Tama::Spawn({.at = x, .heading = h, .owner = id});
        Player3LargeTama1::Spawn({.at = x, .heading = h, .owner = id, .target = &players[2]});
        Player3LargeTama2::Spawn({.at = {x.x + 2, 0.3f, x.z}, .heading = h, .owner = id});
        break;
      default:
        Player4Tama::Spawn({.at = x, .heading = h, .owner = id});
        Player4LargeTama1::Spawn({.at = {x.x - 2, 1, x.z + 2}, .heading = h, .owner = id});
        Player4LargeTama2::Spawn({.at = {x.x, 0.8f, x.z - 2}, .heading = h, .owner = id});
        Player4LargeTama3::Spawn({.at = {x.x - 3, 1, x.z}, .heading = h, .owner = id});
        break;
    }
  }
}
