// The placement file: key=value lines whose keys are never read; the count,
// then per record x, y, z, the heading and the kind.
#include "app/AppearRecord.h"

#include <cmath>

#include "world/KvFile.h"

namespace {

bool Plausible(float v) { return std::isfinite(v) && std::fabs(v) <= kAppearFarthest; }

bool Plausible(const AppearRecord& r) {
  return Plausible(r.x) && Plausible(r.y) && Plausible(r.z) && Plausible(r.param);
}

}  // namespace

bool ReadAppearRecords(const char* path, std::vector<AppearRecord>* records) {
  if (!records) return false;
  records->clear();
  if (!path || !OpenKvFile(path, "r+b")) return false;
  int32_t count = 0;
  if (ReadKvInt(&count)) {
    const int32_t n = count < kMaxAppearRecords ? count : kMaxAppearRecords;
    for (int32_t i = 0; i < n; ++i) {
      AppearRecord r;
      // A record the file ends inside is left out.
      if (!ReadKvFloat(&r.x) || !ReadKvFloat(&r.y) || !ReadKvFloat(&r.z) ||
          !ReadKvFloat(&r.param) || !ReadKvInt(&r.kind)) {
        break;
      }
      if (Plausible(r)) records->push_back(r);
    }
  }
  CloseKvFile();
  return true;
}
