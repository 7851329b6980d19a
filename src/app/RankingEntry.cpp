#include "app/RankingEntry.h"

namespace {

template <typename Row>
void SetRowLetter(Row& row, int index, int32_t code) {
  // An index outside the name changes nothing.
  if (index >= 0 && index < kNameLength) row.letters[index] = code;
}

}  // namespace

void RankingEntry::ResetNormal() {
  Reset();
  stages = 1;
}

void RankingEntry::Reset() {
  *this = RankingEntry{{kLetterBlank, kLetterBlank, kLetterBlank, kLetterBlank, kLetterBlank}};
}

void RankingEntry::SetLetter(int index, int32_t code) { SetRowLetter(*this, index, code); }

void CompactRankingEntry::Reset() {
  *this =
      CompactRankingEntry{{kLetterBlank, kLetterBlank, kLetterBlank, kLetterBlank, kLetterBlank}};
}

void CompactRankingEntry::SetLetter(int index, int32_t code) { SetRowLetter(*this, index, code); }
