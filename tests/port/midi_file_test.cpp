#include "port/midi_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "port/midi_files.h"

namespace {

TEST(MidiCheck, PlaysOnlyWholeFilesWithNotesAndALength) {
  for (const miditest::Case& c : miditest::Cases()) {
    const port::MidiCheck check = port::CheckMidiFile(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(check.playable, c.playable) << c.name << ": " << check.reason;
    if (check.playable) {
      EXPECT_GT(check.notes, 0u) << c.name;
      EXPECT_GT(check.lengthTicks, 0u) << c.name;
      if (c.seconds >= 0) {
        EXPECT_NEAR(check.seconds, c.seconds, 1e-9) << c.name;
      }
    } else {
      EXPECT_STRNE(check.reason, "") << c.name;
    }
  }
}

TEST(MidiCheck, EveryCutOfAGoodFileIsRefusedOrStillTheWholePiece) {
  for (const miditest::Case& c : miditest::Cases()) {
    if (!c.playable) continue;
    const port::MidiCheck whole = port::CheckMidiFile(c.bytes.data(), c.bytes.size());
    for (size_t cut = 0; cut < c.bytes.size(); ++cut) {
      // A copy of exactly `cut` bytes, so a read past it is caught by the sanitizer build.
      const std::vector<uint8_t> part(c.bytes.begin(), c.bytes.begin() + static_cast<long>(cut));
      const port::MidiCheck check = port::CheckMidiFile(part.data(), part.size());
      // Only what follows the tracks may go.
      if (check.playable) {
        EXPECT_EQ(check.events, whole.events) << c.name << ", cut at " << cut;
        EXPECT_EQ(check.lengthTicks, whole.lengthTicks) << c.name << ", cut at " << cut;
      }
    }
  }
  EXPECT_FALSE(port::CheckMidiFile(nullptr, 100).playable);
}

TEST(MidiCheck, LongestTrackSetsTheLengthThroughTheTempoMap) {
  using namespace miditest;
  // Two tracks of different lengths; the tempo halves after one beat.
  const Bytes file = Cat({Header(1, 3, 96), Track(Cat({Tempo(96, 1000000), kEndOfTrack})),
                          Track(HeldNote(96)), Track(HeldNote(288, 1))});
  const port::MidiCheck check = port::CheckMidiFile(file.data(), file.size());
  ASSERT_TRUE(check.playable) << check.reason;
  EXPECT_EQ(check.tracks, 3u);
  EXPECT_EQ(check.notes, 2u);
  EXPECT_EQ(check.lengthTicks, 288u);
  EXPECT_DOUBLE_EQ(check.seconds, 0.5 + 2 * 1.0);
  // Just under the tick limit is still a piece.
  const Bytes longest = OneTrackFile(LongTrack(4));
  EXPECT_TRUE(port::CheckMidiFile(longest.data(), longest.size()).playable);
}

TEST(MidiCheck, EveryPieceOfTheDataSetIsPlayable) {
  namespace fs = std::filesystem;
  const fs::path bgm = fs::path(POMELVANE_RUN_DIR) / "sound" / "bgm";
  if (!fs::exists(bgm)) GTEST_SKIP() << "no generated data";
  int count = 0;
  for (const auto& entry : fs::directory_iterator(bgm)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
    const port::MidiCheck check = port::CheckMidiFile(bytes.data(), bytes.size());
    EXPECT_TRUE(check.playable) << entry.path() << ": " << check.reason;
    EXPECT_GT(check.seconds, 1.0) << entry.path();
    ++count;
  }
  EXPECT_GT(count, 0);
}

}  // namespace
