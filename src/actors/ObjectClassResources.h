#pragma once
// The class-wide models and textures of every object class of the object
// list, loaded when the list starts (ObjectList::Init) and released when it
// ends. The game's object list is made with these two.
namespace port::gpu {
class Device;
}

void LoadObjectClassResources(port::gpu::Device* device);
void ReleaseObjectClassResources();
