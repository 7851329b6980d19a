#include "world/CharacterList.h"

#include "port/gpu.h"

using port::gpu::RenderState;

CharacterList::~CharacterList() = default;

int CharacterList::FindReusable(int kind) const {
  for (size_t i = 0; i < slots_.size(); ++i) {
    const Character* c = slots_[i].get();
    if (c && c->GetKind() == kind && !c->IsAlive()) return static_cast<int>(i);
  }
  return -1;
}

int CharacterList::CountAlive() const {
  int n = 0;
  for (const auto& c : slots_) {
    if (c && c->IsAlive()) ++n;
  }
  return n;
}

void CharacterList::UpdateAll() {
  ForEach([](Character* c) { c->Update(); });
}

void CharacterList::DrawAll(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection) {
  if (!device_) return;
  device_->LightEnable(0, true);
  device_->SetRenderState(RenderState::Lighting, 1);
  ForEach([&](Character* c) { c->Draw(view, projection, lightDirection); });
}

void CharacterList::DrawSlice(float parts, float part, port::Matrix view, port::Matrix projection,
                              port::Vec4 lightDirection) {
  const float perShare = static_cast<float>(slots_.size()) / parts;
  // Written so that NaN also draws nothing.
  if (!(parts > 0.0f) || !(part > 0.0f) || !(part <= parts)) return;
  if (!device_) return;
  device_->LightEnable(0, true);
  device_->SetRenderState(RenderState::Lighting, 1);
  const long first = static_cast<long>((part - 1.0f) * perShare);
  const long last = static_cast<long>(perShare * part);
  for (long i = first; i < last && i < static_cast<long>(slots_.size()); ++i) {
    if (i < 0) continue;
    if (Character* c = slots_[static_cast<size_t>(i)].get()) c->Draw(view, projection, lightDirection);
  }
  device_->SetRenderState(RenderState::Lighting, 0);
}

void CharacterList::Draw2DAll(port::Sprite* sprite) {
  ForEach([&](Character* c) { c->Draw2D(sprite); });
}
