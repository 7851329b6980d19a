// The three save files and the placing of a result in a ranking table.
//
// Each file is a list of key=value lines whose order is the format; the keys
// are Shift-JIS text, written as they stand and never compared on reading.
// Every value read is range-checked, so a damaged file never reaches the game
// as garbage: a value missing falls back to its default; an option out of
// range is brought to the nearer end of its range (the screen mode, the one
// value not in a range, falls back to the window); a ranking row out of
// range is the default row.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "actors/Player.h"
#include "app/Application.h"
#include "platform/SoundManager.h"
#include "world/KvFile.h"

namespace {

// What a read leaves when the file ended before the value: outside every range.
constexpr int32_t kMissing = INT32_MIN;

// ---- The option file: sixteen lines ----

#define SJIS_PLAYER "\x83\x76\x83\x8c\x83\x43\x83\x84\x81\x5b\x81\x46"  // プレイヤー：
#define SJIS_ATTACK "\x83\x41\x83\x5e\x83\x62\x83\x4e\x83\x7b\x83\x5e\x83\x93"  // アタックボタン
#define SJIS_SHIFT "\x83\x56\x83\x74\x83\x67\x83\x7b\x83\x5e\x83\x93"         // シフトボタン
#define SJIS_JUMP "\x83\x57\x83\x83\x83\x93\x83\x76\x83\x7b\x83\x5e\x83\x93"  // ジャンプボタン

struct OptionLine {
  const char* key;
  int32_t minimum, maximum, fallback;
  bool clamped = true;  // out of range: the nearer end, else the fallback
};

constexpr int kButtonLimit = 127;  // pad buttons 0 to 127

enum OptionIndex {
  kScreenModeLine,
  kViewTypeLine,
  kVolumeLine,
  kDrawIntervalLine,
  kFirstButtonLine,  // then three per player, players 1 to 4
  kOptionLineCount = kFirstButtonLine + 4 * Player::kActionCount,
};

constexpr OptionLine kOptionLines[kOptionLineCount] = {
    {"\x89\xe6\x96\xca\x83\x82\x81\x5b\x83\x68", 0, 1, 0, false},        // 画面モード
    {"\x8e\x8b\x93\x5f\x83\x5e\x83\x43\x83\x76", 0, 2, 0},               // 視点タイプ
    {"\x83\x94\x83\x48\x83\x8a\x83\x85\x81\x5b\x83\x80", 0, 1000, 500},  // ヴォリューム
    {"\x95\x60\x89\xe6\x8a\xd4\x8a\x75", 1, 3, 1},                       // 描画間隔
    {"1P" SJIS_PLAYER SJIS_ATTACK, 0, kButtonLimit, 0},
    {"1P" SJIS_PLAYER SJIS_SHIFT, 0, kButtonLimit, 1},
    {"1P" SJIS_PLAYER SJIS_JUMP, 0, kButtonLimit, 2},
    {"2P" SJIS_PLAYER SJIS_ATTACK, 0, kButtonLimit, 0},
    {"2P" SJIS_PLAYER SJIS_SHIFT, 0, kButtonLimit, 1},
    {"2P" SJIS_PLAYER SJIS_JUMP, 0, kButtonLimit, 2},
    {"3P" SJIS_PLAYER SJIS_ATTACK, 0, kButtonLimit, 0},
    {"3P" SJIS_PLAYER SJIS_SHIFT, 0, kButtonLimit, 1},
    {"3P" SJIS_PLAYER SJIS_JUMP, 0, kButtonLimit, 2},
    {"4P" SJIS_PLAYER SJIS_ATTACK, 0, kButtonLimit, 0},
    {"4P" SJIS_PLAYER SJIS_SHIFT, 0, kButtonLimit, 1},
    {"4P" SJIS_PLAYER SJIS_JUMP, 0, kButtonLimit, 2},
};

#undef SJIS_PLAYER
#undef SJIS_ATTACK
#undef SJIS_SHIFT
#undef SJIS_JUMP

using OptionValues = std::array<int32_t, kOptionLineCount>;

int ButtonLine(int player, int action) {
  return kFirstButtonLine + player * Player::kActionCount + action;
}

OptionValues DefaultOptionValues() {
  OptionValues v{};
  for (int i = 0; i < kOptionLineCount; ++i) v[i] = kOptionLines[i].fallback;
  return v;
}

// ---- The ranking files ----

constexpr const char* kNameKey = "\x83\x6c\x81\x5b\x83\x80";                    // ネーム
constexpr const char* kTimeKey = "\x8e\x9e\x8a\xd4";                            // 時間
constexpr const char* kStagesKey = "\x83\x58\x83\x65\x81\x5b\x83\x57\x90\x94";  // ステージ数
constexpr const char* kScoreKey = "\x83\x58\x83\x52\x83\x41";                   // スコア

// Stages a stored row may hold: 1 to 4 from a run, 6 the row the ranking
// page shows with its own sign.
constexpr int32_t kMinStages = 1;
constexpr int32_t kMaxStages = 6;

// Row i of each default table (best first).
constexpr RankingEntry kDefaultNormal[kRankingRows] = {
    {{3, 4, 5, 6, 7}, 24123, 2, 100, 40},     {{11, 12, 13, 14, 15}, 31323, 2, 90, 38},
    {{19, 20, 21, 22, 23}, 38523, 2, 80, 36}, {{27, 28, 29, 30, 31}, 45723, 1, 70, 34},
    {{35, 36, 37, 38, 39}, 52923, 1, 60, 32},
};
constexpr RankingEntry kDefaultSokai[kRankingRows] = {
    {{10, 10, 10, 10, 10}, 500, 50, 10, 5}, {{11, 11, 11, 11, 11}, 450, 45, 9, 4},
    {{12, 12, 12, 12, 12}, 400, 40, 8, 3},  {{13, 13, 13, 13, 13}, 350, 35, 7, 2},
    {{14, 14, 14, 14, 14}, 300, 30, 6, 1},
};
constexpr RankingEntry kSpare4[kRankingRows] = {
    {{10, 10, 10, 10, 10}, 36000, 1, 100, 40}, {{11, 11, 11, 11, 11}, 43200, 1, 90, 38},
    {{12, 12, 12, 12, 12}, 50400, 1, 80, 36},  {{13, 13, 13, 13, 13}, 57600, 1, 70, 34},
    {{14, 14, 14, 14, 14}, 64800, 1, 60, 32},
};
constexpr CompactRankingEntry kSpare3[kRankingRows] = {
    {{10, 10, 10, 10, 10}, 36000, 100, 40}, {{11, 11, 11, 11, 11}, 43200, 90, 38},
    {{12, 12, 12, 12, 12}, 50400, 80, 36},  {{13, 13, 13, 13, 13}, 57600, 70, 34},
    {{14, 14, 14, 14, 14}, 64800, 60, 32},
};

template <typename Row, size_t N>
std::vector<Row> TableOf(const Row (&rows)[N]) {
  return std::vector<Row>(rows, rows + N);
}

// Reads five rows of five letters, the value and, for the normal table, the
// stages. A letter that is no letter becomes the blank; a row whose value or
// stages is missing or out of range is the default row of its place.
std::vector<RankingEntry> ReadRankingRows(const char* path, bool withStages,
                                          const RankingEntry (&defaults)[kRankingRows]) {
  std::vector<RankingEntry> table = TableOf(defaults);
  if (!OpenKvFile(path, "r+t")) return table;
  for (int r = 0; r < kRankingRows; ++r) {
    RankingEntry row;
    if (withStages)
      row.ResetNormal();
    else
      row.Reset();
    for (int i = 0; i < kNameLength; ++i) {
      int32_t letter = kMissing;
      ReadKvInt(&letter);
      row.SetLetter(i, IsNameLetter(letter) ? letter : kLetterBlank);
    }
    int32_t value = kMissing;
    ReadKvInt(&value);
    int32_t stages = withStages ? kMissing : 0;
    if (withStages) ReadKvInt(&stages);
    const bool stagesOk = !withStages || (stages >= kMinStages && stages <= kMaxStages);
    if (value < 0 || !stagesOk) continue;  // keeps the default row
    row.value = value;
    row.stages = stages;
    table[static_cast<size_t>(r)] = row;
  }
  CloseKvFile();
  return table;
}

// Makes the folder a save file goes in; the write itself reports failure.
void MakeFolderOf(const char* path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
}

// Writes the table; an empty table writes no file.
bool WriteRankingRows(const char* path, const std::vector<RankingEntry>& table, bool withStages) {
  if (table.empty()) return false;
  MakeFolderOf(path);
  if (!OpenKvFile(path, "w+t")) return false;
  for (const RankingEntry& row : table) {
    for (int32_t letter : row.letters) WriteKvInt(kNameKey, letter);
    WriteKvInt(withStages ? kTimeKey : kScoreKey, row.value);
    if (withStages) WriteKvInt(kStagesKey, row.stages);
  }
  return CloseKvFile();
}

// The place of a result: the row below the lowest row it does not beat, or
// 0 when it beats every row. A result equal to a row goes above it, on
// purpose (SaveFiles.ResultsArePlacedAgainstTheTable).
template <typename Beaten>
int32_t PlaceOf(const std::vector<RankingEntry>& table, Beaten beatsOrTies) {
  for (int r = static_cast<int>(table.size()) - 1; r >= 0; --r)
    if (!beatsOrTies(table[static_cast<size_t>(r)])) return r + 1;
  return 0;
}

}  // namespace

void Application::LoadOptions(const char* path) {
  OptionValues v = DefaultOptionValues();
  const bool opened = OpenKvFile(path, "r+t");
  if (opened) {
    for (int i = 0; i < kOptionLineCount; ++i) {
      int32_t read = kMissing;
      ReadKvInt(&read);
      const OptionLine& line = kOptionLines[i];
      if (read == kMissing) continue;
      if (read >= line.minimum && read <= line.maximum) {
        v[i] = read;
      } else if (line.clamped) {
        v[i] = std::clamp(read, line.minimum, line.maximum);
      }
    }
    CloseKvFile();
  }
  options.screenMode = static_cast<uint8_t>(v[kScreenModeLine]);
  options.viewType = v[kViewTypeLine];
  options.volume = v[kVolumeLine];
  options.drawInterval = v[kDrawIntervalLine];
  g_sound.masterVolume = options.volume;
  for (int a = 0; a < Player::kActionCount; ++a) {
    g_player.SetButton(a, v[ButtonLine(0, a)]);
    // Battle player 0 has no line: it takes the stage player's buttons when
    // the battle settings begin. Without a file it gets the defaults too.
    if (!opened) SetBattleButton(0, a, kOptionLines[ButtonLine(0, a)].fallback);
    for (int p = 1; p < 4; ++p) SetBattleButton(p, a, v[ButtonLine(p, a)]);
  }
  spareRanking3 = TableOf(kSpare3);
  spareRanking4 = TableOf(kSpare4);
}

bool Application::SaveOptions(const char* path) {
  OptionValues v{};
  v[kScreenModeLine] = options.screenMode;
  v[kViewTypeLine] = options.viewType;
  v[kVolumeLine] = options.volume;
  v[kDrawIntervalLine] = options.drawInterval;
  for (int a = 0; a < Player::kActionCount; ++a) {
    v[ButtonLine(0, a)] = g_player.GetButton(a);
    for (int p = 1; p < 4; ++p) v[ButtonLine(p, a)] = BattleButton(p, a);
  }
  MakeFolderOf(path);
  if (!OpenKvFile(path, "w+t")) return false;
  for (int i = 0; i < kOptionLineCount; ++i) WriteKvInt(kOptionLines[i].key, v[i]);
  return CloseKvFile();
}

void Application::LoadNormalRanking(const char* path) {
  normalRanking = ReadRankingRows(path, true, kDefaultNormal);
}

void Application::LoadSokaiRanking(const char* path) {
  sokaiRanking = ReadRankingRows(path, false, kDefaultSokai);
}

bool Application::SaveNormalRanking(const char* path) {
  return WriteRankingRows(path, normalRanking, true);
}

bool Application::SaveSokaiRanking(const char* path) {
  return WriteRankingRows(path, sokaiRanking, false);
}

int32_t Application::NormalRankPosition(int32_t stages) {
  const int32_t frames = stageMode.framesUsed;
  result.time = frames;
  result.stages = stages;
  // More stages first; equal stages by fewer frames.
  result.rankPlace = PlaceOf(normalRanking, [&](const RankingEntry& row) {
    return stages > row.stages || (stages == row.stages && frames <= row.value);
  });
  return result.rankPlace;
}

int32_t Application::SokaiRankPosition() {
  const int32_t score = sokai.score;
  result.score = score;
  result.rankPlace =
      PlaceOf(sokaiRanking, [&](const RankingEntry& row) { return score >= row.value; });
  return result.rankPlace;
}

// The one place that reaches the buttons of the battle players.
int32_t Application::BattleButton(int player, int action) const {
  if (player < 0 || player >= BattlePlayer::kMaxPlayers) return 0;
  return battlePlayers[player].GetButton(action);
}

void Application::SetBattleButton(int player, int action, int32_t button) {
  if (player < 0 || player >= BattlePlayer::kMaxPlayers) return;
  battlePlayers[player].SetButton(action, button);
}
