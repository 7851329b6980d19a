// The boss's close-up: the figure posed at the origin and drawn from the
// front into the class's 128 by 128 render target. (Temporary: no target
// until the device can make them.)
#include "actors/Boss.h"

void BossClass::MakeCloseUpTarget(port::gpu::Device*) {}
void BossClass::ReleaseCloseUpTarget() {}
void Boss::DrawCloseUp(const port::Matrix&) {}
void Boss::DrawCloseUpPicture(port::Sprite*) const {}
