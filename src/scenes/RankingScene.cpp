// The ranking pages (scenes 18 to 21, one per table): five rows of place,
// name, and the time with the stages reached or the score. Left and right
// turn the page in place; any confirm, cancel or Escape returns to the title.
#include "app/Application.h"
#include "platform/SoundManager.h"
#include "render/UiDraw.h"
#include "scenes/MenuScene.h"
#include "scenes/RankingView.h"

namespace {

using ranking::TableId;

// Key counters: 0 the leave latch, 1 the page keys.
constexpr int kLeaveLatch = 0;
constexpr int kPageCounter = 1;

// Pages turned by left and by right, from page 18 on.
constexpr int32_t kLeftOf[] = {SceneRanking1 + 1, SceneRanking1, SceneRanking1 + 1,
                               SceneRanking1 + 2};
constexpr int32_t kRightOf[] = {SceneRanking1 + 1, SceneRanking1, SceneRanking1 + 3, SceneRanking1};

using menu::Caption;
using menu::NumberPlace;

// Every page's heading.
constexpr Caption kHeadings[] = {{ranking::kOptionText, 8, 10, 10, 0.8f, 1.0f},
                                 {ranking::kRankingText, 113, 310, 15, 1.0f, 1.0f}};

// Heading and column captions of each page; sprite 0 ends a list.
constexpr Caption kPageCaptions[ranking::kTableCount][4] = {
    {{ranking::kCourse, 3, 374, 10, 0.8f, 0.72f},
     {ranking::kRankingText, 95, 167, 85, 0.4f, 0.5f},
     {ranking::kRankingText, 97, 353, 85, 0.4f, 0.5f},
     {ranking::kRankingText, 96, 515, 85, 0.3f, 0.5f}},
    {{ranking::kCourse, 4, 345, 10, 0.6f, 0.72f},
     {ranking::kRankingText, 95, 167, 85, 0.4f, 0.5f},
     {ranking::kSokaiText, 84, 398, 85, 0.4f, 0.5f}},
    {{ranking::kCourse, 5, 341, 10, 0.8f, 0.72f},
     {ranking::kRankingText, 95, 200, 85, 0.4f, 0.5f},
     {ranking::kRankingText, 97, 445, 85, 0.4f, 0.5f}},
    {{ranking::kCourse, 6, 334, 10, 0.75f, 0.72f},
     {ranking::kRankingText, 95, 167, 85, 0.4f, 0.5f},
     {ranking::kRankingText, 97, 353, 85, 0.4f, 0.5f},
     {ranking::kRankingText, 99, 530, 85, 0.3f, 0.5f}},
};

// The place numerals "1st" to "5th" (sprites + row), 10 pixels above their row.
constexpr Caption kPlaceNumeral = {ranking::kRankingText, 90, 5, 0, 0.7f, 0.7f};
constexpr float kFirstRowY = 150;
constexpr float kRowStep = 70;
constexpr float kPlaceNumeralDy = -10;
constexpr float kLetterStep = 28;
constexpr float kLettersX = 140, kLettersXSpare3 = 173;
constexpr float kLetterScale = 1.0f;
// The stages or the score on a row's line; the stage pictures stand 10
// pixels above it.
constexpr NumberPlace kStagesValue = {ranking::kFont, 1, 551, 0, 1.0f};
constexpr NumberPlace kScoreValue = {ranking::kFont, 0, 495, 0, 1.0f};
constexpr float kStagesPictureDy = -10;

constexpr ranking::TimeLayout kRowTime = {341, 366, 403, 428, 465, 3, 1.0f, 0.6f};
constexpr ranking::TimeLayout kRowTimeSpare3 = {431, 456, 493, 518, 555, 3, 1.0f, 0.6f};

// The stages column of page 18: the digit, or for 6 the sign of its own.
constexpr int32_t kSignStages = 6;
constexpr Caption kStagesSign = {ranking::kRankingText, 98, 504, 0, 0.85f, 0.7f};

// Page 21 shows the stages as a picture: 0 to 9 digits, 10 to 12 words.
struct StagesPicture {
  int sprite;
  float x, scaleX, scaleY;
};
constexpr StagesPicture kStagesPictures[] = {
    {100, 545, 0.5f, 0.45f},  {101, 545, 0.5f, 0.45f},  {102, 545, 0.5f, 0.45f},
    {103, 545, 0.5f, 0.45f},  {104, 545, 0.5f, 0.45f},  {105, 545, 0.5f, 0.45f},
    {106, 545, 0.5f, 0.45f},  {107, 545, 0.5f, 0.45f},  {108, 545, 0.5f, 0.45f},
    {109, 545, 0.5f, 0.45f},  {110, 508, 0.45f, 0.45f}, {111, 507, 0.35f, 0.45f},
    {112, 508, 0.45f, 0.45f},
};
constexpr int kStagesPictureCount =
    static_cast<int>(sizeof kStagesPictures / sizeof kStagesPictures[0]);

bool IsRankingPage(int32_t scene) { return scene >= SceneRanking1 && scene <= SceneRanking4; }

// The place on another line.
template <typename Place>
Place OnLine(Place place, float y) {
  place.y = y;
  return place;
}

}  // namespace

void Application::InitRanking() {
  menus.keys[kLeaveLatch] = 1;
  sceneFrame = 0;
  result.rankingPicture = KeptPicture{};
  ranking::LoadTextures(*this);
}

void Application::UpdateRanking() {
  ++sceneFrame;
  InputRanking();
}

void Application::InputRanking() {
  menu::Poll();

  const bool leave = menu::ConfirmHeld() || menu::CancelHeld() || menu::EscapeHeld();
  if (menu::Latched(menus.keys[kLeaveLatch], leave) && menu::LeaveFor(*this, SceneTitle)) return;

  const bool left = menu::LeftHeld();
  if (menu::CountPress(menus.keys[kPageCounter], left || menu::RightHeld()) &&
      IsRankingPage(currentScene)) {
    g_sound.PlaySystemSound(menu::kSoundCursor, menu::kMenuSoundOffset);
    // The page changes in place: the enter routine does not run again.
    const int k = currentScene - SceneRanking1;
    currentScene = left ? kLeftOf[k] : kRightOf[k];
  }
}

void Application::DrawRanking() {
  // A page does not move: while it stays, its picture is presented again.
  const uint64_t look = static_cast<uint32_t>(currentScene);
  if (menu::PresentKept(result.rankingPicture, look)) return;
  const TableId table = ranking::TableOfPage(currentScene);
  Texture* text = menu::SceneTexture(*this, ranking::kRankingText);
  Texture* font = menu::SceneTexture(*this, ranking::kFont);

  menu::BeginFrame();
  menu::Draw(*this, kHeadings);
  for (const Caption& c : kPageCaptions[table]) {
    if (c.sprite == 0) break;
    menu::Draw(*this, c);
  }

  for (int r = 0; r < kRankingRows; ++r) {
    const float y = kFirstRowY + kRowStep * static_cast<float>(r);
    Caption numeral = OnLine(kPlaceNumeral, y + kPlaceNumeralDy);
    numeral.sprite += r;
    menu::Draw(*this, numeral);
    if (r >= ranking::RowCount(*this, table)) continue;
    const ranking::RowView row = ranking::ReadRow(*this, table, r);

    const float lettersX = table == ranking::kSpareTable3 ? kLettersXSpare3 : kLettersX;
    for (int i = 0; i < kNameLength; ++i)
      DrawGlyph(font, lettersX + kLetterStep * static_cast<float>(i), y, kLetterScale,
                row.letters[i]);

    switch (table) {
      case ranking::kNormalTable:
        ranking::DrawTime(font, text, kRowTime, y, row.value);
        if (row.stages == kSignStages)
          menu::Draw(*this, OnLine(kStagesSign, y + kStagesPictureDy));
        else
          menu::Draw(*this, OnLine(kStagesValue, y), row.stages);
        break;
      case ranking::kSokaiTable:
        menu::Draw(*this, OnLine(kScoreValue, y), row.value);
        break;
      case ranking::kSpareTable3:
        ranking::DrawTime(font, text, kRowTimeSpare3, y, row.value);
        break;
      case ranking::kSpareTable4:
        ranking::DrawTime(font, text, kRowTime, y, row.value);
        if (row.stages >= 0 && row.stages < kStagesPictureCount) {
          const StagesPicture& p = kStagesPictures[row.stages];
          menu::Draw(*this,
                     {ranking::kEndText, p.sprite, p.x, y + kStagesPictureDy, p.scaleX, p.scaleY});
        }
        break;
      default:
        break;
    }
  }
  menu::EndFrameKept(result.rankingPicture, look);
}
