// Files that lie about their size or kind: each reader refuses them from what
// the file can hold, with one line on standard error naming the file, and
// keeps nothing of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "port/audio.h"
#include "port/audio_wav.h"
#include "port/file.h"
#include "port/midi_file.h"
#include "port/path.h"
#include "support/hostile_files.h"
#include "support/leak_check.h"
#include "support/sound_files.h"
#include "support/temp_dir.h"
#include "world/KvFile.h"

namespace {

using testsupport::Bytes;

size_t Lines(const std::string& s) {
  return static_cast<size_t>(std::count(s.begin(), s.end(), '\n'));
}

TEST(FileLimits, EveryKindIsRefusedPastItsLimitFromItsSizeAlone) {
  testsupport::TempDir dir;
  for (const port::FileLimit& limit : port::kFileLimits) {
    SCOPED_TRACE(limit.name);
    EXPECT_GE(limit.maxBytes, uint64_t{1} << 20);  // far above the largest shipped file
    const std::string at = (dir.path() / "at").string(), over = (dir.path() / "over").string();
    ASSERT_TRUE(testsupport::MakeSparseFile(at, limit.maxBytes, "x"));
    ASSERT_TRUE(testsupport::MakeSparseFile(over, limit.maxBytes + 1, "x"));
    std::vector<uint8_t> bytes;
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(port::ReadGameFile(at, &bytes, limit.kind));
    EXPECT_EQ(bytes.size(), limit.maxBytes);
    EXPECT_FALSE(port::ReadGameFile(over, &bytes, limit.kind));
    EXPECT_TRUE(bytes.empty());
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(Lines(err), 1u) << err;
    EXPECT_NE(err.find(over), std::string::npos) << err;
  }
}

TEST(FileLimits, AGibibyteOptionFileReadsAsMissingAtOnce) {
  testsupport::TempDir dir;
  const std::string path = (dir.path() / "option.sav").string();
  ASSERT_TRUE(testsupport::MakeSparseFile(path, uint64_t{1} << 30, "vol=5\r\n"));
  ::testing::internal::CaptureStderr();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(OpenKvFile(path.c_str(), "r+t"));
  const auto took = std::chrono::steady_clock::now() - start;
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(g_kvFile, nullptr);
  EXPECT_EQ(Lines(err), 1u) << err;
  EXPECT_NE(err.find("option.sav"), std::string::npos) << err;
  EXPECT_LT(took, std::chrono::seconds(1));  // refused from its size, nothing scanned
  // One at the limit still reads.
  ASSERT_TRUE(testsupport::MakeSparseFile(path, port::LimitOf(port::FileKind::KeyValue).maxBytes,
                                          "vol=5\r\n"));
  ASSERT_TRUE(OpenKvFile(path.c_str(), "r+t"));
  int32_t v = 0;
  EXPECT_TRUE(ReadKvInt(&v));
  EXPECT_EQ(v, 5);
  CloseKvFile();
}

Bytes Wav(uint16_t format, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t dataLength,
          uint32_t dataBytes) {
  Bytes v = {'R', 'I', 'F', 'F'};
  soundtest::PutLe(v, 36 + dataBytes, 4);
  for (char c : std::string("WAVEfmt ")) v.push_back(static_cast<uint8_t>(c));
  soundtest::PutLe(v, 16, 4);
  soundtest::PutLe(v, format, 2);
  soundtest::PutLe(v, channels, 2);
  soundtest::PutLe(v, rate, 4);
  soundtest::PutLe(v, rate * channels * bits / 8, 4);
  soundtest::PutLe(v, channels * bits / 8, 2);
  soundtest::PutLe(v, bits, 2);
  for (char c : std::string("data")) v.push_back(static_cast<uint8_t>(c));
  soundtest::PutLe(v, dataLength, 4);
  v.resize(v.size() + dataBytes, 0x80);
  return v;
}

TEST(WavCheck, OnlyPcmWaveWhoseSamplesLieInTheFile) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool playable;
  };
  const Bytes tone = soundtest::ToneWav(0.25);
  Bytes withList = tone;  // a LIST chunk before fmt, as editors write
  withList.insert(withList.begin() + 12, {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0});
  withList[4] += 12;
  const Case cases[] = {
      {"16-bit mono tone", tone, true},
      {"a LIST chunk first", withList, true},
      {"8-bit mono 8 kHz", Wav(1, 1, 8000, 8, 800, 800), true},
      {"16-bit stereo 48 kHz", Wav(1, 2, 48000, 16, 4000, 4000), true},
      {"40-byte VOC", testsupport::LyingVoc(), false},
      {"9-byte fLaC", testsupport::FlacStub(), false},
      {"data longer than the file", Wav(1, 1, 22050, 16, 1u << 30, 100), false},
      {"data of 0xFFFFFFFF", Wav(1, 1, 22050, 16, 0xFFFFFFFF, 100), false},
      {"no samples", Wav(1, 1, 22050, 16, 0, 0), false},
      {"ADPCM", Wav(2, 1, 22050, 4, 100, 100), false},
      {"IEEE float", Wav(3, 1, 22050, 32, 100, 100), false},
      {"six channels", Wav(1, 6, 22050, 16, 120, 120), false},
      {"4 kHz", Wav(1, 1, 4000, 8, 800, 800), false},
      {"truncated header", Bytes(tone.begin(), tone.begin() + 30), false},
      {"RIFF of length 0", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const port::WavCheck check = port::CheckWavFile(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(check.playable, c.playable) << check.reason;
    if (!check.playable) continue;
    EXPECT_LE(check.dataOffset + check.dataBytes, c.bytes.size());
    EXPECT_LE(check.decodedBytes, 24 * c.bytes.size());
  }
  // Decoded in proportion: 8-bit mono at 8 kHz grows 22.05 times into 16-bit stereo at 44.1 kHz.
  const Bytes low = Wav(1, 1, 8000, 8, 8000, 8000);
  EXPECT_EQ(port::CheckWavFile(low.data(), low.size()).decodedBytes, 44100u * 4);
}

class HostileSoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(port::OpenAudio(nullptr));
  }
  void TearDown() override { port::CloseAudio(); }
  testsupport::TempDir dir_;
};

TEST_F(HostileSoundTest, EffectsOfOtherFormatsAreRefusedAndKeepNothing) {
  const std::string good = dir_.Write("good.wav", soundtest::ToneWav(0.25));
  port::AudioSegment* tone = port::LoadAudioSegment(good.c_str(), port::AudioKind::Effect);
  ASSERT_NE(tone, nullptr);
  port::PlayAudioSegment(tone);
  port::FreeAudioSegment(tone);
  EXPECT_TRUE(testsupport::NoLeaksSoFar());

  const testsupport::Resident before = testsupport::ResidentOf();
  for (const auto& [name, bytes] : {std::pair{"voc.wav", testsupport::LyingVoc()},
                                    std::pair{"flac.wav", testsupport::FlacStub()}}) {
    SCOPED_TRACE(name);
    const std::string path = dir_.Write(name, bytes);
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 20; ++i) {
      port::AudioSegment* s = port::LoadAudioSegment(path.c_str(), port::AudioKind::Effect);
      EXPECT_EQ(s, nullptr);
      port::PlayAudioSegment(s);  // silence, as a missing file
    }
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(Lines(err), 20u) << err;
    EXPECT_NE(err.find(path), std::string::npos) << err;
  }
  EXPECT_LT(testsupport::ResidentOf().nowKb, before.nowKb + 50 * 1024);
  EXPECT_TRUE(testsupport::NoLeaksSoFar());
}

TEST_F(HostileSoundTest, AProgramChangeStormIsRefusedAndTheSynthesiserStaysQuiet) {
  const Bytes storm = testsupport::ProgramChangeStorm();
  const port::MidiCheck check = port::CheckMidiFile(storm.data(), storm.size());
  EXPECT_FALSE(check.playable);
  // Spread so that no 10 ms is too dense: only the bound per pass refuses it.
  const Bytes sparse = testsupport::ProgramChangeStorm(150);
  EXPECT_FALSE(port::CheckMidiFile(sparse.data(), sparse.size()).playable);

  if (port::FindSoundFont().empty()) GTEST_SKIP() << "no General MIDI soundfont installed";
  const std::string path = dir_.Write("storm.mid", storm);
  const testsupport::Resident before = testsupport::ResidentOf();
  ::testing::internal::CaptureStderr();
  port::AudioSegment* music = port::LoadAudioSegment(path.c_str(), port::AudioKind::Music);
  EXPECT_EQ(music, nullptr);
  port::PlayAudioSegment(music);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(Lines(err), 1u) << err.substr(0, 2000);
  EXPECT_NE(err.find(path), std::string::npos) << err.substr(0, 2000);
  EXPECT_LT(testsupport::ResidentOf().nowKb, before.nowKb + 50 * 1024);
}

TEST(MidiCheckPresets, ProgramsTheFontLacksAreBoundedPerMinuteOfTheLoop) {
  port::SoundFontPresets font;
  font.ids = {0, 24, 128 * 128};  // piano, guitar, the standard kit
  auto piece = [](std::vector<std::pair<uint8_t, uint8_t>> programs, uint32_t seconds) {
    // Tempo 500000 at 96 ticks a beat: 192 ticks a second.
    Bytes track;
    for (auto [channel, program] : programs)
      track.insert(track.end(), {0x00, static_cast<uint8_t>(0xC0 | channel), program});
    track.insert(track.end(), {0x00, 0x90, 60, 100});
    uint32_t t = seconds * 192;
    Bytes delta{static_cast<uint8_t>(t & 0x7F)};
    while (t >>= 7) delta.insert(delta.begin(), static_cast<uint8_t>(0x80 | (t & 0x7F)));
    track.insert(track.end(), delta.begin(), delta.end());
    track.insert(track.end(), {0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00});
    Bytes v = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k'};
    testsupport::PutBe(v, static_cast<uint32_t>(track.size()), 4);
    v.insert(v.end(), track.begin(), track.end());
    return v;
  };
  auto playable = [&](const Bytes& b) {
    return port::CheckMidiFile(b.data(), b.size(), &font).playable;
  };
  EXPECT_TRUE(playable(piece({{0, 24}, {9, 0}, {1, 0}}, 10)));  // all in the font
  EXPECT_FALSE(playable(piece({{0, 50}}, 10)));                 // one lacking in a 10 s loop
  EXPECT_TRUE(playable(piece({{0, 50}}, 15)));                  // 4 a minute
  EXPECT_FALSE(playable(piece({{9, 50}, {9, 50}}, 20)));        // a kit the font lacks
  EXPECT_TRUE(playable(piece({{9, 50}, {9, 50}}, 30)));

  // The data set's music plays with the installed font.
  const std::string fontPath = port::FindSoundFont();
  if (fontPath.empty()) GTEST_SKIP() << "no General MIDI soundfont installed";
  port::SoundFontPresets installed;
  ASSERT_TRUE(port::ReadSoundFontPresets(fontPath, &installed));
  EXPECT_TRUE(installed.Has(0, 0));
  for (const char* name : {"bsj_gm.mid", "bsyt_gm.mid", "fb_gm.mid", "mjdm_gm.mid",
                           "nangoku_gm.mid", "nyu-dou_gm.mid", "rari_gm.mid", "y-maf_gm.mid"}) {
    std::vector<uint8_t> bytes;
    if (!port::ReadFileBytes(std::string(POMELVANE_RUN_DIR) + "/sound/bgm/" + name, &bytes))
      continue;
    const port::MidiCheck check = port::CheckMidiFile(bytes.data(), bytes.size(), &installed);
    EXPECT_TRUE(check.playable) << name << ": " << check.reason;
  }
}

}  // namespace
