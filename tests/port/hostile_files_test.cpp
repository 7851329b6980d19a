// Files that lie about their size or kind: each reader refuses them from what
// the file can hold, with one line on standard error naming the file, and
// keeps nothing of them.
#include <gtest/gtest.h>

#include <SDL_mixer.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "port/audio.h"
#include "port/audio_wav.h"
#include "port/file.h"
#include "port/midi_file.h"
#include "port/midi_files.h"
#include "port/path.h"
#include "support/hostile_files.h"
#include "support/leak_check.h"
#include "support/mixed_audio.h"
#include "support/sound_files.h"
#include "support/temp_dir.h"
#include "support/waiting.h"
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
  const uint64_t read = testsupport::BytesReadSoFar();
  EXPECT_FALSE(OpenKvFile(path.c_str(), "r+t"));
  const uint64_t scanned = testsupport::BytesReadSoFar() - read;
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(g_kvFile, nullptr);
  EXPECT_EQ(Lines(err), 1u) << err;
  EXPECT_NE(err.find("option.sav"), std::string::npos) << err;
  EXPECT_LT(scanned, 64u << 10);  // refused from its size, nothing scanned
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
      {"a byte short of one frame", Wav(1, 2, 22050, 16, 3, 3), false},
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
  // A music refused on load, played all the same (silence) for half a
  // second of sound: what standard error got meanwhile.
  std::string RefusedMusicSays(const std::string& path) {
    ::testing::internal::CaptureStderr();
    port::AudioSegment* music = port::LoadAudioSegment(path.c_str(), port::AudioKind::Music);
    EXPECT_EQ(music, nullptr);
    testsupport::MixedAudio mixed;
    port::PlayAudioSegment(music);
    EXPECT_TRUE(mixed.WaitUntil(0.5));
    return ::testing::internal::GetCapturedStderr();
  }
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

TEST_F(HostileSoundTest, ClipsOfAFrameOrTwoAtAnyRatePlayOrAreRefusedWithALine) {
  // One frame above the mixer's rate may convert to no samples at all.
  struct Loaded {
    std::string path;
    port::AudioSegment* clip;
  };
  std::vector<Loaded> loaded;
  const uint64_t held = port::EffectMemoryInUse();  // what other tests left loaded
  for (uint32_t rate : {8000u, 11025u, 16000u, 22050u, 32000u, 44100u, 48000u, 96000u}) {
    for (uint16_t bits : {8, 16}) {
      for (uint16_t channels : {1, 2}) {
        for (uint32_t frames : {0u, 1u, 2u}) {
          const std::string name = std::to_string(rate) + "-" + std::to_string(bits) + "bit-" +
                                   std::to_string(channels) + "ch-" + std::to_string(frames) +
                                   ".wav";
          SCOPED_TRACE(name);
          const std::string path =
              dir_.Write(name, soundtest::SilentWav(rate, bits, channels, frames));
          ::testing::internal::CaptureStderr();
          port::AudioSegment* clip = port::LoadAudioSegment(path.c_str(), port::AudioKind::Effect);
          const std::string err = ::testing::internal::GetCapturedStderr();
          if (clip) {
            EXPECT_EQ(err, "");
            loaded.push_back({path, clip});
          } else {
            EXPECT_EQ(Lines(err), 1u) << err;
            EXPECT_EQ(err.rfind(path + ": not played: ", 0), 0u) << err;
          }
          if (frames == 0) {
            EXPECT_EQ(clip, nullptr);
          } else if (frames == 2 && rate <= 44100) {
            EXPECT_NE(clip, nullptr);
          }
        }
      }
    }
  }
  // Each one kept plays, to its end, and goes.
  std::vector<port::AudioStart> starts;
  port::SetAudioStartLog(&starts);
  for (const Loaded& l : loaded) port::PlayAudioSegment(l.clip);
  port::SetAudioStartLog(nullptr);
  std::vector<std::string> started, kept;
  for (const port::AudioStart& s : starts) started.push_back(s.path);
  for (const Loaded& l : loaded) kept.push_back(l.path);
  EXPECT_EQ(started, kept);
  EXPECT_TRUE(testsupport::WaitFor([] { return Mix_Playing(-1) == 0; }));
  for (const Loaded& l : loaded) port::FreeAudioSegment(l.clip);
  EXPECT_EQ(port::EffectMemoryInUse(), held);
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
  const std::string err = RefusedMusicSays(path);
  EXPECT_EQ(Lines(err), 1u) << err.substr(0, 2000);
  EXPECT_NE(err.find(path), std::string::npos) << err.substr(0, 2000);
  EXPECT_LT(testsupport::ResidentOf().nowKb, before.nowKb + 50 * 1024);
}

TEST_F(HostileSoundTest, ADrumPartFloodIsRefusedAndTheSynthesiserStaysQuiet) {
  using miditest::Cat;
  using testsupport::GsDataSet;
  using testsupport::ProgramChangeLoop;
  const Bytes flood = testsupport::DrumPartFlood();
  auto playable = [](const Bytes& b) { return port::CheckMidiFile(b.data(), b.size()).playable; };
  EXPECT_FALSE(playable(flood));
  // Each rule alone: a loop of a second has room for the events, but not for
  // changes to kits that do not exist; 150 fit a tenth of a second, and
  // without the message that makes channel 0 a drum part they are piano sounds.
  const Bytes drums = testsupport::GsChannel0Drums();
  EXPECT_FALSE(playable(ProgramChangeLoop(drums, 1980, 1.0)));
  EXPECT_TRUE(playable(ProgramChangeLoop({}, 1980, 1.0)));
  EXPECT_FALSE(playable(ProgramChangeLoop({}, 1980, 0.1)));  // the loop's true length
  EXPECT_FALSE(playable(ProgramChangeLoop(drums, 150, 0.1)));
  EXPECT_TRUE(playable(ProgramChangeLoop({}, 150, 0.1)));
  struct Case {
    const char* name;
    Bytes head;
    bool playable;
  };
  const Bytes xgReset = {0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
  const Case cases[] = {
      {"GS reset", GsDataSet(0x40007F, 0x00), true},
      {"GM system on", {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, true},
      {"channel 0 back to a melodic part", GsDataSet(0x401115, 0x00), true},
      {"channel 0 a drum part, any device number",
       {0x00, 0xF0, 0x0A, 0x41, 0x7F, 0x42, 0x12, 0x40, 0x11, 0x15, 0x02, 0x18, 0xF7},
       false},
      {"a rhythm part message with a wrong checksum", GsDataSet(0x401115, 0x01, 0x33), false},
      {"bank LSB 5 without XG", {0x00, 0xB0, 32, 5}, true},
      {"bank LSB 5 after an XG reset", Cat({xgReset, {0x00, 0xB0, 32, 5}}), false},
      {"bank MSB 127 after an XG reset", Cat({xgReset, {0x00, 0xB0, 0, 127}}), false},
      {"XG part mode drum for part 1",
       {0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x08, 0x00, 0x07, 0x01, 0xF7},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes once = ProgramChangeLoop(c.head, 1, 60.0);
    EXPECT_TRUE(playable(once));  // one program change a minute is allowed
    EXPECT_EQ(playable(ProgramChangeLoop(c.head, 100, 5.0)), c.playable);
  }
  // Data set messages the synthesiser drops are each a line on standard error.
  Bytes wrongSums, rightSums;
  for (int i = 0; i < 100; ++i) {
    wrongSums = Cat({wrongSums, GsDataSet(0x400130, 0x04, 0x00)});
    rightSums = Cat({rightSums, GsDataSet(0x400130, 0x04)});
  }
  EXPECT_FALSE(playable(ProgramChangeLoop(wrongSums, 0, 5.0)));
  EXPECT_TRUE(playable(ProgramChangeLoop(rightSums, 0, 5.0)));

  if (port::FindSoundFont().empty()) GTEST_SKIP() << "no General MIDI soundfont installed";
  const std::string path = dir_.Write("flood.mid", flood);
  const std::string err = RefusedMusicSays(path);
  EXPECT_EQ(Lines(err), 1u) << err.substr(0, 2000);
  EXPECT_NE(err.find(path), std::string::npos) << err.substr(0, 2000);
}

// 2.79 MB of 8-bit mono at 8 kHz: 61.5 MB in the mixer's format, inside the
// rule of 24 times the file.
constexpr uint32_t kLongEffectBytes = 2790000;

TEST_F(HostileSoundTest, ALongEffectKeepsOnlyItsConvertedSamples) {
  const std::string path = dir_.Write("long.wav", testsupport::LowRateWav(kLongEffectBytes));
  const uint64_t decoded = (uint64_t{kLongEffectBytes} * 44100 + 7999) / 8000 * 4;
  const uint64_t held = port::EffectMemoryInUse();  // what other tests left loaded
  const testsupport::Resident before = testsupport::ResidentOf();
  port::AudioSegment* effect = port::LoadAudioSegment(path.c_str(), port::AudioKind::Effect);
  ASSERT_NE(effect, nullptr);
  const testsupport::Resident after = testsupport::ResidentOf();
  port::PlayAudioSegment(effect);
  const Mix_Chunk* chunk = nullptr;
  for (int ch = 0; ch < port::kAudioChannels && !chunk; ++ch)
    if (Mix_Playing(ch)) chunk = Mix_GetChunk(ch);
  ASSERT_NE(chunk, nullptr);
  EXPECT_NEAR(static_cast<double>(chunk->alen), static_cast<double>(decoded), 4096.0);
  EXPECT_EQ(port::EffectMemoryInUse(), held + chunk->alen);
  // The block holding the samples is no larger than they are.
  EXPECT_LE(malloc_usable_size(chunk->abuf), chunk->alen + 65536u);
#if !defined(__SANITIZE_ADDRESS__)
  // The sanitizer's allocator keeps freed blocks resident for a while.
  EXPECT_LT(after.nowKb - before.nowKb, decoded / 1024 * 5 / 4)
      << "resident before " << before.nowKb;
#endif
  (void)after;
  port::FreeAudioSegment(effect);
  EXPECT_EQ(port::EffectMemoryInUse(), held);
}

TEST_F(HostileSoundTest, AnEffectThereIsNoMemoryForIsRefusedWithALine) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer reserves more address space than any limit left";
#else
  const std::string path = dir_.Write("long.wav", testsupport::LowRateWav(kLongEffectBytes));
  // In a child whose address space ends 32 MiB past what it holds now, well
  // short of the conversion's buffer; started afresh, as the audio thread
  // does not survive a fork.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto loadShortOfMemory = [&path] {
    std::ifstream status("/proc/self/status");
    std::string key;
    uint64_t kb = 0;
    while (status >> key)
      if (key == "VmSize:") status >> kb;
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = (kb << 10) + (32u << 20);
    setrlimit(RLIMIT_AS, &limit);
    port::AudioSegment* s = port::LoadAudioSegment(path.c_str(), port::AudioKind::Effect);
    std::exit(s == nullptr ? 0 : 1);
  };
  EXPECT_EXIT(loadShortOfMemory(), ::testing::ExitedWithCode(0),
              "long.wav: not played: no memory to convert the clip\n");
#endif
}

TEST_F(HostileSoundTest, EffectsPastTheirMemoryLimitTogetherAreRefusedWithALine) {
  // 100,000 samples: 2.2 MB each once converted; room for two.
  const std::string clip = dir_.Write("clip.wav", testsupport::LowRateWav(100000));
  const uint64_t held = port::EffectMemoryInUse();  // what other tests left loaded
  port::SetEffectMemoryLimit(held + (5u << 20));
  std::vector<port::AudioSegment*> loaded;
  ::testing::internal::CaptureStderr();
  for (int i = 0; i < 5; ++i)
    if (auto* s = port::LoadAudioSegment(clip.c_str(), port::AudioKind::Effect))
      loaded.push_back(s);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(loaded.size(), 2u);
  EXPECT_EQ(Lines(err), 3u) << err;
  EXPECT_NE(err.find(clip + ": not played: all effects together over their memory limit"),
            std::string::npos)
      << err;
  EXPECT_LE(port::EffectMemoryInUse(), held + (5u << 20));
  // Room again once one is freed.
  port::FreeAudioSegment(loaded.back());
  loaded.pop_back();
  auto* again = port::LoadAudioSegment(clip.c_str(), port::AudioKind::Effect);
  EXPECT_NE(again, nullptr);
  port::FreeAudioSegment(again);
  for (auto* s : loaded) port::FreeAudioSegment(s);
  EXPECT_EQ(port::EffectMemoryInUse(), held);
  port::SetEffectMemoryLimit(0);
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
