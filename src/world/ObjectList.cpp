#include "world/ObjectList.h"

#include "port/gpu.h"

using port::gpu::RenderState;

ObjectList::~ObjectList() { Release(); }

void ObjectList::Init(port::gpu::Device* device) {
  device_ = device;
  if (loadClasses_) loadClasses_(device);
  classesLoaded_ = true;
}

void ObjectList::Release() {
  if (classesLoaded_) {
    if (releaseClasses_) releaseClasses_();
    classesLoaded_ = false;
  }
  Clear();
}

int ObjectList::FindReusable(int type) const {
  for (size_t i = 0; i < slots_.size(); ++i) {
    const DynamicObject* o = slots_[i].get();
    if (o && o->GetType() == type && !o->IsAlive()) return static_cast<int>(i);
  }
  return -1;
}

int ObjectList::CountAlive() const {
  int n = 0;
  for (const auto& o : slots_) {
    if (o && o->IsAlive()) ++n;
  }
  return n;
}

void ObjectList::UpdateAll() {
  ForEach([](DynamicObject* o) { o->Update(); });
}

void ObjectList::DrawAll() {
  if (!device_) return;
  device_->LightEnable(0, false);
  device_->SetRenderState(RenderState::Lighting, 1);
  ForEach([](DynamicObject* o) { o->Draw(); });
  ForEach([](DynamicObject* o) { o->DrawSecondPass(); });
  device_->LightEnable(0, true);
}
