#include "render/StageResourceRecord.h"

void StageResourceRecord::Init() {
  Release();
  size = 1024;
}

void StageResourceRecord::Release() {
  for (port::Resource*& r : resources) port::SafeRelease(r);
  effect.Release();
}
