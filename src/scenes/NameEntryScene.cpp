// The name entry (scenes 22 to 25): follows a run whose result took a place
// (result.rankPlace) in a table. It inserts the result at its place once, on entry,
// lets the player pick five letters, and returns to the title.
//
// A stage or the sokai stage hands a result over by calling
// NormalRankPosition or SokaiRankPosition and, when the place is below
// kNotPlaced, requesting SceneNameEntry1 (normal) or SceneNameEntrySokai (sokai).
#include <type_traits>
#include <vector>

#include "app/Application.h"
#include "platform/SoundManager.h"
#include "render/UiDraw.h"
#include "scenes/MenuScene.h"
#include "scenes/RankingView.h"

namespace {

using ranking::TableId;

// Key counters: 0 the confirm latch (shared by cancel), 1 the letter keys.
constexpr int kConfirmLatch = 0;
constexpr int kLetterCounter = 1;

constexpr int32_t kNameDone = kNameLength;  // the cursor once the five letters are chosen
constexpr int32_t kFramesShownWhenDone = 121;
// The letter under the cursor blinks: hidden 9 frames of every 30.
constexpr int kBlinkPeriod = 30;
constexpr int kBlinkShown = 21;

// Shifts rows p to 3 down one (the old last row is lost) and writes the
// result into row p with a blank name. Only the name and the time or score
// (and the stages outside the sokai table) move; the default tables' extra
// values stay where they are, on purpose
// (NameEntryTest.ResultIsInsertedAtItsPlaceAndTheRowsBelowMoveDown).
template <typename Row, typename Write>
void InsertAt(std::vector<Row>& table, int place, bool moveStages, Write writeResult) {
  const int last = static_cast<int>(table.size()) - 1;
  for (int r = last; r >= place; --r) {
    Row& row = table[static_cast<size_t>(r)];
    if (r < last) {
      Row& below = table[static_cast<size_t>(r + 1)];
      for (int i = 0; i < kNameLength; ++i) below.letters[i] = row.letters[i];
      if constexpr (std::is_same_v<Row, CompactRankingEntry>) {
        below.time = row.time;
      } else {
        below.value = row.value;
        if (moveStages) below.stages = row.stages;
      }
    }
    if (r == place) {
      writeResult(row);
      for (int i = 0; i < kNameLength; ++i) row.SetLetter(i, kLetterBlank);
    }
  }
}

// The letters of the row being named.
int32_t* NameOf(Application& app, TableId table, int place) {
  switch (table) {
    case ranking::kNormalTable:
      return app.normalRanking[static_cast<size_t>(place)].letters;
    case ranking::kSokaiTable:
      return app.sokaiRanking[static_cast<size_t>(place)].letters;
    case ranking::kSpareTable3:
      return app.spareRanking3[static_cast<size_t>(place)].letters;
    case ranking::kSpareTable4:
      return app.spareRanking4[static_cast<size_t>(place)].letters;
    default:
      return nullptr;
  }
}

bool IsNameEntry(int32_t scene) { return scene >= SceneNameEntry1 && scene <= SceneNameEntry4; }

// Whether the place names a row of the page's table; a stale place, or a
// scene requested without a place, returns to the title instead.
bool HasRow(const Application& app) {
  if (!IsNameEntry(app.currentScene)) return false;
  const TableId table = ranking::TableOfPage(app.currentScene);
  return app.result.rankPlace >= 0 && app.result.rankPlace < ranking::RowCount(app, table);
}

using menu::Caption;
constexpr float kCaptionScale = 0.7f;
// The heading, the place numeral ("1st" to "5th": sprite + place) and the
// name caption.
constexpr Caption kHeading = {ranking::kSokaiText, 78, 119, 20, 1.0f, 1.0f};
constexpr Caption kPlaceNumeral = {ranking::kRankingText, 90, 10, 110, 1.0f, 1.0f};
constexpr Caption kNameCaption = {ranking::kRankingText, 95,           237, 120,
                                  kCaptionScale,         kCaptionScale};
// Captions of each page; sprite 0 ends a list.
constexpr Caption kPageCaptions[ranking::kTableCount][2] = {
    {{ranking::kRankingText, 97, 371, 250, kCaptionScale, kCaptionScale},
     {ranking::kRankingText, 96, 50, 250, kCaptionScale, kCaptionScale}},
    {{ranking::kSokaiText, 84, 235, 250, kCaptionScale, kCaptionScale}},
    {{ranking::kRankingText, 97, 235, 250, kCaptionScale, kCaptionScale}},
    {{ranking::kRankingText, 97, 371, 250, kCaptionScale, kCaptionScale},
     {ranking::kRankingText, 99, 90, 250, kCaptionScale, kCaptionScale}},
};

constexpr float kLettersX = 246;
constexpr float kLetterStep = 37;
constexpr float kLettersY = 175;
constexpr float kBigScale = 1.5f;
constexpr ranking::TimeLayout kBigTime = {356, 398, 458, 500, 560, 0, kBigScale, 1.0f};
constexpr float kTimeY = 310;
constexpr menu::NumberPlace kScoreValue = {ranking::kFont, 0, 394, 305, kBigScale};
constexpr menu::NumberPlace kStagesValue = {ranking::kFont, 1, 146, kTimeY, kBigScale};
// The stages of a cleared run show as the sign of their own.
constexpr int32_t kSignStages = 6;
constexpr Caption kStagesSign = {ranking::kRankingText, 98, 97, 300, 1.0f, 1.0f};

}  // namespace

void Application::InitNameEntry() {
  menus.keys[kConfirmLatch] = 1;
  sceneFrame = 0;
  g_sound.StopAll();
  ranking::LoadTextures(*this);

  if (HasRow(*this)) {
    const int p = result.rankPlace;
    switch (ranking::TableOfPage(currentScene)) {
      case ranking::kNormalTable:
        InsertAt(normalRanking, p, true, [&](RankingEntry& row) {
          row.value = result.time;
          row.stages = result.stages;
        });
        break;
      case ranking::kSokaiTable:
        InsertAt(sokaiRanking, p, false, [&](RankingEntry& row) { row.value = result.score; });
        break;
      case ranking::kSpareTable3:
        InsertAt(spareRanking3, p, false,
                 [&](CompactRankingEntry& row) { row.time = result.time; });
        break;
      case ranking::kSpareTable4:
        InsertAt(spareRanking4, p, true, [&](RankingEntry& row) { row.value = result.time; });
        break;
      default:
        break;
    }
  }
  result.nameCursor = 0;
}

void Application::UpdateNameEntry() {
  ++sceneFrame;
  const bool finished = result.nameCursor == kNameDone && sceneFrame >= kFramesShownWhenDone;
  if (finished || !HasRow(*this)) {
    requestedScene = SceneTitle;
    currentScene = SceneNone;
    LeaveScene();
    return;
  }
  InputNameEntry();
}

void Application::InputNameEntry() {
  menu::Poll();
  if (!HasRow(*this)) return;
  int32_t* name = NameOf(*this, ranking::TableOfPage(currentScene), result.rankPlace);

  if (menu::ConfirmHeld()) {
    if (menu::CountPress(menus.keys[kConfirmLatch], true) && result.nameCursor < kNameDone) {
      g_sound.PlaySystemSound(menu::kSoundDecide, menu::kMenuSoundOffset);
      const int32_t old = result.nameCursor++;
      // Confirming the back-space sign steps back to the letter before it; the
      // sign stays where it was until changed (NameEntryTest.BackSpaceAndCancelRules).
      if (name[old] == kLetterBackSpace && result.nameCursor >= 2) result.nameCursor -= 2;
      if (result.nameCursor == kNameDone) sceneFrame = 0;
    }
  } else if (menu::CancelHeld()) {
    if (menu::CountPress(menus.keys[kConfirmLatch], true) && result.nameCursor >= 1 &&
        result.nameCursor < kNameDone) {
      g_sound.PlaySystemSound(menu::kSoundCursor, menu::kMenuSoundOffset);
      --result.nameCursor;
    }
  } else {
    menus.keys[kConfirmLatch] = 0;
  }

  const bool right = menu::RightHeld();
  if (menu::CountPress(menus.keys[kLetterCounter], right || menu::LeftHeld()) &&
      result.nameCursor < kNameDone) {
    g_sound.PlaySystemSound(menu::kSoundCursor, menu::kMenuSoundOffset);
    int32_t& letter = name[result.nameCursor];
    letter = right ? (letter + 1) % kLetterCount : (letter + kLetterCount - 1) % kLetterCount;
  }
}

void Application::DrawNameEntry() {
  const TableId table = ranking::TableOfPage(currentScene);
  Texture* text = menu::SceneTexture(*this, ranking::kRankingText);
  Texture* font = menu::SceneTexture(*this, ranking::kFont);

  menu::BeginFrame();
  menu::Draw(*this, kHeading);
  if (HasRow(*this)) {
    Caption place = kPlaceNumeral;
    place.sprite += result.rankPlace;
    menu::Draw(*this, place);
    menu::Draw(*this, kNameCaption);
    for (const Caption& c : kPageCaptions[table]) {
      if (c.sprite == 0) break;
      menu::Draw(*this, c);
    }

    const ranking::RowView row = ranking::ReadRow(*this, table, result.rankPlace);
    const bool cursorHidden = sceneFrame % kBlinkPeriod >= kBlinkShown;
    for (int i = 0; i < kNameLength; ++i) {
      if (i == result.nameCursor && cursorHidden) continue;
      DrawGlyph(font, kLettersX + kLetterStep * static_cast<float>(i), kLettersY, kBigScale,
                row.letters[i]);
    }

    if (table == ranking::kSokaiTable) {
      menu::Draw(*this, kScoreValue, row.value);
    } else {
      ranking::DrawTime(font, text, kBigTime, kTimeY, row.value);
      if (table == ranking::kNormalTable) {
        if (row.stages == kSignStages)
          menu::Draw(*this, kStagesSign);
        else
          menu::Draw(*this, kStagesValue, row.stages);
      }
    }
  }
  menu::EndFrame();
}
