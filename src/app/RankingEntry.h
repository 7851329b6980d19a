#pragma once
// One row of a ranking table, and the letter codes of its name. Tables hold
// five rows, best first; place 5 means a result did not enter a table.
#include <cstdint>

// Name letters: glyph cells 0 to 46 of the font texture.
enum NameLetter : int32_t {
  kLetterFirst = 0,
  kLetterBlank = 10,  // every new row starts with five of these
  kLetterBackSpace = 45,
  kLetterLast = 46,
};
constexpr int32_t kLetterCount = kLetterLast + 1;
constexpr int kNameLength = 5;

constexpr int kRankingRows = 5;
constexpr int32_t kNotPlaced = kRankingRows;

struct RankingEntry {
  int32_t letters[kNameLength] = {};
  int32_t value = 0;   // normal table: frames used (fewer is better); sokai table: score
  int32_t stages = 0;  // normal table: stages reached, 4 when stage 3 was cleared
  int32_t extra1 = 0;  // set by the default tables only; never saved
  int32_t extra2 = 0;

  // A row of the normal table before its values are read: blank name, stage 1.
  void ResetNormal();
  // Blank name, everything else 0.
  void Reset();
  void SetLetter(int index, int32_t code);
};

// The rows of spare table 3.
struct CompactRankingEntry {
  int32_t letters[kNameLength] = {};
  int32_t time = 0;
  int32_t a = 0;
  int32_t b = 0;

  void Reset();
  void SetLetter(int index, int32_t code);
};

// Whether a code read from a file names a letter.
constexpr bool IsNameLetter(int32_t code) { return code >= kLetterFirst && code <= kLetterLast; }
