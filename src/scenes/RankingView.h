#pragma once
// What the ranking pages and the name entry share: which table a page works
// on, one row of any table, the six textures, and a time drawn as minutes,
// seconds and hundredths.
#include <cstdint>

#include "app/Application.h"

class Texture;

namespace ranking {

// The tables, in page order: pages 18 to 21 show them, 22 to 25 fill them.
enum TableId { kNormalTable, kSokaiTable, kSpareTable3, kSpareTable4, kTableCount };

// Scene textures of both groups, in load order.
enum PageTexture { kRankingText, kFont, kSokaiText, kOptionText, kEndText, kCourse };
void LoadTextures(Application& app);

// The table a ranking page (18 to 21) or a name entry (22 to 25) works on.
TableId TableOfPage(int32_t scene);

// One row of any table; compact rows have no stages (0).
struct RowView {
  int32_t letters[kNameLength] = {};
  int32_t value = 0;  // frames, or the score of the sokai table
  int32_t stages = 0;
};
int RowCount(const Application& app, TableId table);
// A row outside the table reads as an empty row.
RowView ReadRow(const Application& app, TableId table, int row);

// Frames at 60 a second as minutes, seconds and hundredths.
struct TimeParts {
  int32_t minutes, seconds, hundredths;
};
TimeParts SplitTime(int32_t frames);

// Where the three numbers and the two separators of a time go.
struct TimeLayout {
  float minutesX, separator1X, secondsX, separator2X, hundredthsX;
  float separatorDy;     // separator offset below the digits' top
  float digitScale;      // of the numbers
  float separatorScale;  // of the separator sprite
};
void DrawTime(Texture* font, Texture* signs, const TimeLayout& layout, float y, int32_t frames);

}  // namespace ranking
