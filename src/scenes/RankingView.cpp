#include "scenes/RankingView.h"

#include <type_traits>
#include <vector>

#include "render/UiDraw.h"
#include "scenes/MenuScene.h"

namespace ranking {

namespace {

constexpr int32_t kFramesPerSecond = 60;
constexpr int32_t kFramesPerMinute = 60 * kFramesPerSecond;
constexpr int kSeparatorSprite = 113;

template <typename Row>
RowView View(const std::vector<Row>& table, int row) {
  RowView v;
  if (row < 0 || row >= static_cast<int>(table.size())) return v;
  const Row& r = table[static_cast<size_t>(row)];
  for (int i = 0; i < kNameLength; ++i) v.letters[i] = r.letters[i];
  if constexpr (std::is_same_v<Row, CompactRankingEntry>) {
    v.value = r.time;
  } else {
    v.value = r.value;
    v.stages = r.stages;
  }
  return v;
}

}  // namespace

void LoadTextures(Application& app) {
  menu::LoadSceneTextures(
      app, {"texture/rankingtext.png", "texture/font.png", "texture/sokaitext.png",
            "texture/optiontext.png", "texture/endresstext.png", "texture/title/course.png"});
}

TableId TableOfPage(int32_t scene) {
  const int32_t first = scene >= SceneNameEntry1 ? SceneNameEntry1 : SceneRanking1;
  const int32_t k = scene - first;
  return k >= 0 && k < kTableCount ? static_cast<TableId>(k) : kNormalTable;
}

int RowCount(const Application& app, TableId table) {
  switch (table) {
    case kNormalTable:
      return static_cast<int>(app.normalRanking.size());
    case kSokaiTable:
      return static_cast<int>(app.sokaiRanking.size());
    case kSpareTable3:
      return static_cast<int>(app.spareRanking3.size());
    case kSpareTable4:
      return static_cast<int>(app.spareRanking4.size());
    default:
      return 0;
  }
}

RowView ReadRow(const Application& app, TableId table, int row) {
  switch (table) {
    case kNormalTable:
      return View(app.normalRanking, row);
    case kSokaiTable:
      return View(app.sokaiRanking, row);
    case kSpareTable3:
      return View(app.spareRanking3, row);
    case kSpareTable4:
      return View(app.spareRanking4, row);
    default:
      return RowView{};
  }
}

TimeParts SplitTime(int32_t frames) {
  return {frames / kFramesPerMinute, (frames % kFramesPerMinute) / kFramesPerSecond,
          (frames % kFramesPerSecond) * 100 / kFramesPerSecond};
}

void DrawTime(Texture* font, Texture* signs, const TimeLayout& layout, float y, int32_t frames) {
  const TimeParts t = SplitTime(frames);
  const float s = layout.separatorScale;
  DrawNumber(font, 0, layout.minutesX, y, layout.digitScale, t.minutes);
  menu::Sprite(signs, kSeparatorSprite, layout.separator1X, y + layout.separatorDy, s, s);
  DrawNumber(font, 2, layout.secondsX, y, layout.digitScale, t.seconds);
  menu::Sprite(signs, kSeparatorSprite, layout.separator2X, y + layout.separatorDy, s, s);
  DrawNumber(font, 2, layout.hundredthsX, y, layout.digitScale, t.hundredths);
}

}  // namespace ranking
