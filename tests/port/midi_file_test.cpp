#include "port/midi_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "port/midi_files.h"
#include "support/hostile_files.h"

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

TEST(MidiCheck, AGsRhythmPartMessageMakesADrumPartOfEachOfTheSixteenParts) {
  using namespace miditest;
  // Every melodic program of bank 0 and the standard kit alone in the drum bank.
  port::SoundFontPresets font;
  for (uint32_t program = 0; program < 128; ++program) font.ids.push_back(program);
  font.ids.push_back(128 * 128);
  // The part of each block of addresses 40 1x 15: block 0 is channel 10.
  const uint8_t channelOfBlock[16] = {9, 0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15};
  // A 10 s loop: one program change to program 50, in bank 0 but no kit,
  // is past the bound a drum part has.
  auto piece = [](const Bytes& head, uint8_t channel) {
    return OneTrackFile(
        Cat({head, {0x00, static_cast<uint8_t>(0xC0 | channel), 50}, HeldNote(1920, channel)}));
  };
  auto playable = [&font](const Bytes& b) {
    return port::CheckMidiFile(b.data(), b.size(), &font).playable;
  };
  for (uint8_t channel = 0; channel < 16; ++channel)
    EXPECT_EQ(playable(piece({}, channel)), channel != 9) << "channel " << channel + 1;
  for (uint32_t block = 0; block < 16; ++block) {
    const Bytes drums = testsupport::GsDataSet(0x401015 | (block << 8), 0x01);
    for (uint8_t channel = 0; channel < 16; ++channel) {
      const bool drumPart = channel == 9 || channel == channelOfBlock[block];
      EXPECT_EQ(playable(piece(drums, channel)), !drumPart)
          << "block 0x" << std::hex << 0x10 + block << std::dec << ", channel " << channel + 1;
    }
  }
  // Channel 10 is a drum part from the start: its own block shows the other
  // way, making it a melodic part, where a program only a kit has is refused.
  port::SoundFontPresets kits;
  kits.ids = {0, 128 * 128, 128 * 128 + 50};
  auto withKits = [&kits](const Bytes& b) {
    return port::CheckMidiFile(b.data(), b.size(), &kits).playable;
  };
  EXPECT_TRUE(withKits(piece({}, 9)));
  for (uint32_t block = 0; block < 16; ++block) {
    const Bytes melodic = testsupport::GsDataSet(0x401015 | (block << 8), 0x00);
    EXPECT_EQ(withKits(piece(melodic, 9)), block != 0) << "block 0x" << std::hex << 0x10 + block;
  }
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
