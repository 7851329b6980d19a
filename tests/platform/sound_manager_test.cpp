#include <gtest/gtest.h>

#include <SDL_mixer.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/SoundManager.h"
#include "port/audio.h"
#include "support/mixed_audio.h"
#include "support/scoped_env.h"
#include "support/sound_files.h"
#include "support/temp_dir.h"
#include "support/waiting.h"

namespace {

using soundtest::NoteMidi;
using soundtest::ToneWav;
using soundtest::WriteBytes;

constexpr const char* kMusic = "sound/bgm/test_gm.mid";

// A data folder with every sound of both tables and one piece of music, the
// working directory while the test runs, and a sound manager started on the
// silent audio driver.
class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    for (const char* f : kSystemSoundFiles) WriteBytes(dir_.path() / f, ToneWav(0.05));
    for (const char* f : kStageSoundFiles) WriteBytes(dir_.path() / f, ToneWav(0.05));
    WriteBytes(dir_.path() / kMusic, NoteMidi());
    cwd_.emplace(dir_.path());
    port::SetAudioStartLog(&starts_);
  }
  void TearDown() override {
    sound_.Shutdown();
    port::SetAudioStartLog(nullptr);
    cwd_.reset();
  }
  void Start() {
    ASSERT_TRUE(sound_.Init(nullptr));
    sound_.LoadSystemSounds();
    sound_.LoadStageSounds();
  }
  std::filesystem::path File(const char* relative) const { return dir_.path() / relative; }

  testsupport::ScopedEnv audioDriver_{"SDL_AUDIODRIVER", "dummy"};
  testsupport::TempDir dir_;
  std::optional<testsupport::ScopedCwd> cwd_;
  std::vector<port::AudioStart> starts_;
  SoundManager sound_;
};

TEST_F(SoundTest, QueuedSoundsStartOnlyAtFlushOnceWithTheLastVolume) {
  Start();
  sound_.masterVolume = 500;
  sound_.PlaySound(3, -500);
  sound_.PlaySound(3, -1200);
  sound_.PlaySystemSound(1, -1000);
  sound_.PlaySound(45, 0);
  EXPECT_TRUE(starts_.empty());
  EXPECT_EQ(Mix_Playing(-1), 0);

  sound_.Flush();
  ASSERT_EQ(starts_.size(), 3u);
  // System sounds first, then the stage sounds in id order.
  EXPECT_EQ(starts_[0].path, kSystemSoundFiles[1]);
  EXPECT_EQ(starts_[0].volume, -500);
  EXPECT_EQ(starts_[1].path, kStageSoundFiles[3]);
  EXPECT_EQ(starts_[1].volume, -700);
  EXPECT_EQ(starts_[2].path, kStageSoundFiles[45]);
  EXPECT_EQ(starts_[2].volume, 500);
  EXPECT_GT(Mix_Playing(-1), 0);

  sound_.Flush();  // nothing queued since
  EXPECT_EQ(starts_.size(), 3u);
}

TEST_F(SoundTest, PositionalVolumeFallsWithDistanceFromTheListener) {
  Start();
  sound_.masterVolume = 300;
  const port::Vec3 player{100.0f, 5.0f, -20.0f};
  sound_.SetListenerSource([player] { return player; });
  struct Case {
    float distance;
    int32_t expected;
  };
  const Case cases[] = {{0.0f, 0}, {10.0f, 0}, {20.0f, -660}, {40.0f, -1320}, {50.0f, -1000}};
  for (const Case& c : cases) {
    starts_.clear();
    sound_.PlaySoundAt(player.x, player.y + c.distance, player.z, 7, -100);
    sound_.Flush();
    ASSERT_EQ(starts_.size(), 1u) << c.distance;
    EXPECT_EQ(starts_[0].volume, 300 - 100 + c.expected) << c.distance;
  }
  EXPECT_EQ(SoundManager::DistanceAttenuation(10.0), 0);
  EXPECT_EQ(SoundManager::DistanceAttenuation(10.01), -330);
  EXPECT_EQ(SoundManager::DistanceAttenuation(42.99), -1418);
  EXPECT_EQ(SoundManager::DistanceAttenuation(43.0), -1000);
}

TEST_F(SoundTest, WithoutAListenerSoundsAreHeardFromTheOrigin) {
  Start();
  sound_.PlaySoundAt(0.0f, 0.0f, 20.0f, 0, 0);
  sound_.Flush();
  ASSERT_EQ(starts_.size(), 1u);
  EXPECT_EQ(starts_[0].volume, -660);
}

TEST_F(SoundTest, IdsOutsideTheTablesAreIgnored) {
  Start();
  for (int id : {-1, 46, 999, 1001, 100000}) {
    sound_.PlaySound(id, 0);
    sound_.PlaySoundAt(1.0f, 2.0f, 3.0f, id, 0);
    sound_.StopSound(id);
  }
  for (int id : {-1, 4, 1000}) sound_.PlaySystemSound(id, 0);
  sound_.PlaySoundAt(1.0f, 2.0f, 3.0f, 1000, 0);  // music is never positional
  sound_.Flush();
  EXPECT_TRUE(starts_.empty());
}

TEST_F(SoundTest, MusicStartedById1000LoopsUntilStoppedOrReplaced) {
  Start();
  sound_.LoadMusic(kMusic);
  ASSERT_NE(sound_.musicClip.segment, nullptr);
  sound_.PlaySound(kMusicSoundId, -200);
  EXPECT_FALSE(Mix_PlayingMusic());
  std::optional<testsupport::MixedAudio> mixed(std::in_place);
  sound_.Flush();
  ASSERT_EQ(starts_.size(), 1u);
  EXPECT_EQ(starts_[0].kind, port::AudioKind::Music);
  EXPECT_EQ(starts_[0].volume, -200);
  // The piece lasts half a second; well past its end it is still playing.
  ASSERT_TRUE(mixed->WaitUntil(0.9));
  mixed.reset();
  EXPECT_TRUE(Mix_PlayingMusic());

  sound_.StopSound(kMusicSoundId);
  EXPECT_FALSE(Mix_PlayingMusic());

  // A scene's change of music: stop everything, load, queue.
  sound_.PlaySound(kMusicSoundId, 0);
  sound_.Flush();
  ASSERT_TRUE(Mix_PlayingMusic());
  WriteBytes(File("sound/bgm/other_gm.mid"), NoteMidi(192));
  sound_.StopAll();
  sound_.LoadMusic("sound/bgm/other_gm.mid");
  sound_.PlaySound(kMusicSoundId, 0);
  sound_.Flush();
  ASSERT_EQ(starts_.size(), 3u);
  EXPECT_EQ(starts_[2].path, "sound/bgm/other_gm.mid");
  EXPECT_TRUE(Mix_PlayingMusic());
}

TEST_F(SoundTest, StopSoundAndStopAllSilenceWhatPlays) {
  WriteBytes(File(kStageSoundFiles[9]), ToneWav(2.0));
  WriteBytes(File(kStageSoundFiles[10]), ToneWav(2.0));
  Start();
  sound_.PlaySound(9, 0);
  sound_.PlaySound(10, 0);
  sound_.Flush();
  ASSERT_EQ(Mix_Playing(-1), 2);
  sound_.StopSound(9);
  EXPECT_EQ(Mix_Playing(-1), 1);
  sound_.StopAll();
  EXPECT_EQ(Mix_Playing(-1), 0);
}

TEST_F(SoundTest, FileNamesMatchRegardlessOfCaseAndSeparator) {
  ASSERT_TRUE(port::OpenAudio(nullptr));
  WriteBytes(File("sound/system/Click.WAV"), ToneWav(0.05));
  port::AudioSegment* clip =
      port::LoadAudioSegment("sound\\SYSTEM\\click.wav", port::AudioKind::Effect);
  EXPECT_NE(clip, nullptr);
  port::FreeAudioSegment(clip);
  port::CloseAudio();
}

TEST_F(SoundTest, BrokenFilesLeaveOnlyTheirOwnClipSilent) {
  std::filesystem::remove(File(kStageSoundFiles[0]));           // missing
  WriteBytes(File(kStageSoundFiles[1]), {});                    // empty
  WriteBytes(File(kStageSoundFiles[2]), {'R', 'I', 'F', 'F'});  // cut after four bytes
  std::vector<uint8_t> junk(3000);
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(i * 151 + 7);
  WriteBytes(File(kStageSoundFiles[3]), junk);  // not a sound at all
  std::vector<uint8_t> lying = ToneWav(0.05);
  lying.resize(lying.size() / 2);  // header promises twice the data there is
  WriteBytes(File(kStageSoundFiles[4]), lying);
  std::filesystem::remove(File(kSystemSoundFiles[2]));
  Start();
  EXPECT_EQ(sound_.stageClips[0].segment, nullptr);
  EXPECT_EQ(sound_.stageClips[1].segment, nullptr);
  EXPECT_EQ(sound_.stageClips[2].segment, nullptr);
  EXPECT_EQ(sound_.stageClips[3].segment, nullptr);
  EXPECT_EQ(sound_.systemClips[2].segment, nullptr);

  for (int id = 0; id < kStageSoundCount; ++id) sound_.PlaySound(id, 0);
  for (int id = 0; id < kSystemSoundCount; ++id) sound_.PlaySystemSound(id, 0);
  sound_.Flush();
  std::vector<std::string> started;
  for (const auto& s : starts_) started.push_back(s.path);
  // Everything else started (a truncated data block may still be playable).
  const size_t silent = 5 + (sound_.stageClips[4].segment ? 0 : 1);
  EXPECT_EQ(started.size(), kStageSoundCount + kSystemSoundCount - silent);
  EXPECT_NE(std::find(started.begin(), started.end(), kStageSoundFiles[5]), started.end());
  EXPECT_NE(std::find(started.begin(), started.end(), kSystemSoundFiles[3]), started.end());
}

TEST_F(SoundTest, ASoundOfOneFrameAboveTheMixersRateIsRefusedAndTheRestPlay) {
  // One 8-bit frame at 48 kHz converts to no samples at 44.1 kHz.
  WriteBytes(File(kSystemSoundFiles[0]), soundtest::SilentWav(48000, 8, 1, 1));
  WriteBytes(File(kStageSoundFiles[7]), soundtest::SilentWav(96000, 16, 2, 2));
  ::testing::internal::CaptureStderr();
  Start();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, std::string(kSystemSoundFiles[0]) +
                     ": not played: no samples at the mixer's rate\n" + kStageSoundFiles[7] +
                     ": not played: no samples at the mixer's rate\n");
  EXPECT_EQ(sound_.systemClips[0].segment, nullptr);
  EXPECT_EQ(sound_.stageClips[7].segment, nullptr);
  for (int frame = 0; frame < 3; ++frame) {
    starts_.clear();
    for (int id = 0; id < kSystemSoundCount; ++id) sound_.PlaySystemSound(id, 0);
    for (int id = 0; id < kStageSoundCount; ++id) sound_.PlaySound(id, 0);
    sound_.Flush();
    EXPECT_EQ(starts_.size(), kSystemSoundCount + kStageSoundCount - 2u);
  }
  sound_.Shutdown();
  EXPECT_FALSE(port::IsAudioOpen());
}

TEST_F(SoundTest, BrokenMusicStaysSilentAndTheEffectsStillPlay) {
  std::vector<uint8_t> truncated = NoteMidi();
  truncated.resize(truncated.size() - 6);
  std::vector<uint8_t> badHeader = NoteMidi();
  badHeader[0] = 'X';
  std::vector<uint8_t> noTracks = NoteMidi();
  noTracks.resize(14);
  const std::pair<const char*, std::vector<uint8_t>> files[] = {
      {"sound/bgm/truncated.mid", truncated},
      {"sound/bgm/header.mid", badHeader},
      {"sound/bgm/notracks.mid", noTracks},
      {"sound/bgm/empty.mid", {}},
  };
  Start();
  for (const auto& [path, bytes] : files) {
    WriteBytes(File(path), bytes);
    sound_.LoadMusic(path);
    EXPECT_EQ(sound_.musicClip.segment, nullptr) << path;
    sound_.PlaySound(kMusicSoundId, 0);
    sound_.PlaySound(6, 0);
    sound_.Flush();
  }
  sound_.LoadMusic("sound/bgm/missing.mid");
  EXPECT_EQ(sound_.musicClip.segment, nullptr);
  EXPECT_FALSE(Mix_PlayingMusic());
  EXPECT_EQ(starts_.size(), 4u);  // the effect, each time
}

TEST_F(SoundTest, WithoutAnAudioDeviceEverythingIsSilentAndSafe) {
  audioDriver_.Set("no-such-driver");
  EXPECT_FALSE(sound_.Init(nullptr));
  sound_.LoadSystemSounds();
  sound_.LoadStageSounds();
  sound_.LoadMusic(kMusic);
  EXPECT_EQ(sound_.stageClips.size(), static_cast<size_t>(kStageSoundCount));
  for (const SoundClip& clip : sound_.stageClips) EXPECT_EQ(clip.segment, nullptr);
  EXPECT_EQ(sound_.musicClip.segment, nullptr);
  sound_.PlaySound(0, 0);
  sound_.PlaySound(kMusicSoundId, 0);
  sound_.PlaySystemSound(0, 0);
  sound_.PlaySoundAt(1.0f, 2.0f, 3.0f, 5, 0);
  sound_.Flush();
  sound_.StopSound(0);
  sound_.StopSound(kMusicSoundId);
  sound_.StopAll();
  EXPECT_TRUE(starts_.empty());
  sound_.Shutdown();
  sound_.Shutdown();
}

TEST_F(SoundTest, ShutdownReleasesEverythingAndCanRunTwice) {
  Start();
  sound_.LoadMusic(kMusic);
  sound_.PlaySound(kMusicSoundId, 0);
  sound_.PlaySound(1, 0);
  sound_.Flush();
  sound_.Shutdown();
  EXPECT_TRUE(sound_.stageClips.empty());
  EXPECT_TRUE(sound_.systemClips.empty());
  EXPECT_EQ(sound_.musicClip.segment, nullptr);
  EXPECT_FALSE(port::IsAudioOpen());
  sound_.Shutdown();
  sound_.PlaySound(1, 0);
  sound_.Flush();
  EXPECT_EQ(starts_.size(), 2u);
}

TEST(SoundVolume, HundredthsOfADecibelMapToTheMixerClampedAtFullVolume) {
  EXPECT_EQ(port::MixerVolume(0), 128);
  EXPECT_EQ(port::MixerVolume(500), 128);  // the master volume cannot go above full
  EXPECT_EQ(port::MixerVolume(-1000), 40);
  EXPECT_EQ(port::MixerVolume(-2000), 13);
  EXPECT_EQ(port::MixerVolume(-9600), 0);
  EXPECT_EQ(port::MixerVolume(-1000000), 0);
}

// Runs the real mixer into a file and reads back what it wrote.
class DiskAudioTest : public SoundTest {
 protected:
  static constexpr int kLoud = 1000;
  // Plays what `queue` queues and returns the peak sample written once it
  // passes kLoud (or after 30 s of waiting), or -1 when the output was not
  // silent before the flush.
  int PeakOfPlayback(const char* name, const std::function<void(SoundManager&)>& queue) {
    const std::string out = (dir_.path() / name).string();
    audioDriver_.Set("disk");
    testsupport::ScopedEnv diskFile("SDL_DISKAUDIOFILE", out.c_str());
    SoundManager sound;
    EXPECT_TRUE(sound.Init(nullptr));
    sound.LoadSystemSounds();
    sound.LoadStageSounds();
    sound.LoadMusic(kMusic);
    queue(sound);
    Output output(out);
    // A tenth of a second of 16-bit stereo at 44.1 kHz written before the flush.
    EXPECT_TRUE(testsupport::WaitFor([&] { return output.Read() >= 44100 * 4 / 10; }));
    const int before = output.Peak();
    sound.Flush();
    testsupport::WaitFor([&] {
      output.Read();
      return output.Peak() > kLoud;
    });
    sound.Shutdown();
    output.Read();
    return before == 0 ? output.Peak() : -1;
  }
  // The disk driver's file as it grows: the bytes read so far and their peak.
  class Output {
   public:
    explicit Output(const std::string& path) : path_(path) {}
    ~Output() {
      if (file_) std::fclose(file_);
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    uint64_t Read() {
      if (!file_) file_ = std::fopen(path_.c_str(), "rb");
      if (!file_) return 0;
      uint8_t bytes[4096];
      size_t n;
      while ((n = std::fread(bytes, 1, sizeof bytes, file_)) > 0) {
        for (size_t i = 0; i < n; ++i, ++read_) {
          if (read_ % 2 == 0) {
            low_ = bytes[i];
            continue;
          }
          const int16_t sample = static_cast<int16_t>(low_ | (bytes[i] << 8));
          peak_ = std::max(peak_, std::abs(int{sample}));
        }
      }
      std::clearerr(file_);  // at the end for now; the driver writes on
      return read_;
    }
    int Peak() const { return peak_; }

   private:
    std::string path_;
    FILE* file_ = nullptr;
    uint64_t read_ = 0;
    uint8_t low_ = 0;  // the first byte of a sample read in halves
    int peak_ = 0;
  };
};

TEST_F(DiskAudioTest, QueuedWavAndMidiMusicReallyProduceSound) {
  EXPECT_GT(PeakOfPlayback("effect.raw", [](SoundManager& s) { s.PlaySound(12, 0); }), kLoud);

  ASSERT_FALSE(port::FindSoundFont().empty()) << "no General MIDI soundfont installed";
  EXPECT_GT(PeakOfPlayback("music.raw", [](SoundManager& s) { s.PlaySound(kMusicSoundId, 0); }),
            kLoud);
}

}  // namespace
