// The bosses on screen: the figure with its blink, the shadow, and the
// announcement with the close-up picture over the world. The close-up
// itself is drawn in BossCloseUp.cpp.
#include "actors/Boss.h"
#include "port/sprite.h"
#include "render/CircleShadow.h"

namespace {

struct BossDrawNumbers {
  int32_t announcementPeriod = 40;  // life frames: shown for the first 20
  int32_t announcementShown = 20;
  int32_t closeUpPeriod = 30;  // life frames: shown for the first 20
  int32_t closeUpShown = 20;
  port::Vec2 announcementAt{30.0f, 50.0f};  // screen pixels
  int32_t shadowAlpha = 255;
};
constexpr BossDrawNumbers kBossDraw;

}  // namespace

void Boss::Draw(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection) {
  if (!alive) return;
  const port::Matrix world = PrepareModel(view, projection, lightDirection);
  DrawFigure(world, view, projection);
  DrawExtras(view, projection);
  DrawShadow(kBossDraw.shadowAlpha);
  if (announcement) DrawCloseUp(projection);
}

void Boss::DrawFigure(const port::Matrix& world, const port::Matrix& view,
                      const port::Matrix& projection) {
  if (!TestOnScreen(world, view, projection)) return;
  Pose(true);
  Render();
}

void Boss::Draw2D(port::Sprite* sprite) {
  if (!alive || !announcement || !sprite) return;
  if (lifeFrames % kBossDraw.announcementPeriod < kBossDraw.announcementShown) {
    bossClass.announcement.DrawSprite(sprite, nullptr, &kBossDraw.announcementAt, nullptr,
                                      0xFFFFFFFFu);
  }
  if (lifeFrames % kBossDraw.closeUpPeriod < kBossDraw.closeUpShown) DrawCloseUpPicture(sprite);
}
