// Music files on the real mixer and synthesiser (silent audio driver): every
// file either is refused at load or plays without ever holding the audio
// lock, and a piece too short to loop plays once to its end.
#include <SDL_mixer.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "port/audio.h"
#include "port/midi_files.h"
#include "support/mixed_audio.h"
#include "support/temp_dir.h"
#include "support/waiting.h"

namespace {

class MusicFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (port::FindSoundFont().empty()) GTEST_SKIP() << "no General MIDI soundfont installed";
    ASSERT_TRUE(port::OpenAudio(nullptr));
  }
  void TearDown() override { port::CloseAudio(); }
  testsupport::TempDir dir_;
};

// A piece that kept the audio lock would stall the mixer and hang the calls
// below (each takes the lock): the guard ends the program, naming the piece.
TEST_F(MusicFileTest, BrokenOrEmptyPiecesAreRefusedAndNoPieceHoldsTheAudioLock) {
  testsupport::HangGuard guard(std::chrono::seconds(60));
  int n = 0;
  for (const miditest::Case& c : miditest::Cases()) {
    guard.Doing(c.name.c_str());
    const std::string path = dir_.Write("piece" + std::to_string(n++) + ".mid", c.bytes);
    port::AudioSegment* music = port::LoadAudioSegment(path.c_str(), port::AudioKind::Music);
    EXPECT_EQ(music != nullptr, c.playable) << c.name;
    if (!music) continue;
    {
      testsupport::MixedAudio mixed;
      port::PlayAudioSegment(music);
      // Several mixer callbacks go by with the piece playing.
      EXPECT_TRUE(mixed.WaitUntil(0.12)) << c.name << ": the mixer stalled";
    }
    port::SetAudioSegmentVolume(music, -300);
    port::StopAudioSegment(music);
    port::FreeAudioSegment(music);
  }
}

TEST_F(MusicFileTest, APieceTooShortToLoopPlaysOnceToItsEnd) {
  using namespace miditest;
  const std::string tick = dir_.Write(
      "tick.mid",
      OneTrackFile(Cat({Tempo(0, 1), {0x00, 0x90, 60, 100}, {0x01, 0x80, 60, 0}, kEndOfTrack}),
                   30000));
  const std::string beat = dir_.Write("beat.mid", OneTrackFile(HeldNote(96)));
  testsupport::HangGuard guard(std::chrono::seconds(60));
  guard.Doing("a piece too short to loop");
  port::AudioSegment* shortPiece = port::LoadAudioSegment(tick.c_str(), port::AudioKind::Music);
  port::AudioSegment* loop = port::LoadAudioSegment(beat.c_str(), port::AudioKind::Music);
  ASSERT_NE(shortPiece, nullptr);
  ASSERT_NE(loop, nullptr);

  port::PlayAudioSegment(shortPiece);
  EXPECT_TRUE(testsupport::WaitFor([] { return !Mix_PlayingMusic(); }))
      << "the short piece is still playing";

  // A half-second piece loops: well past its end it plays on.
  guard.Doing("a half-second loop");
  testsupport::MixedAudio mixed;
  port::PlayAudioSegment(loop);
  ASSERT_TRUE(mixed.WaitUntil(0.9));
  EXPECT_TRUE(Mix_PlayingMusic());
  port::FreeAudioSegment(loop);
  port::FreeAudioSegment(shortPiece);
}

// The synthesiser's messages go through its log, as its warnings at a
// program change do; this stands in for a piece that makes it talk on.
class SynthesiserLog {
 public:
  SynthesiserLog() {
    library_ = dlopen("libfluidsynth.so.3", RTLD_NOW | RTLD_NOLOAD);
    if (library_) log_ = reinterpret_cast<Log>(dlsym(library_, "fluid_log"));
  }
  ~SynthesiserLog() {
    if (library_) dlclose(library_);
  }
  bool Present() const { return log_ != nullptr; }
  void Warn(int times) {
    for (int i = 0; i < times; ++i)
      log_(2, "Instrument not found on channel 0 [bank=128 prog=%d]", i % 128);
  }

 private:
  using Log = int (*)(int level, const char* format, ...);
  void* library_ = nullptr;
  Log log_ = nullptr;
};

TEST_F(MusicFileTest, WhatTheSynthesiserSaysIsBoundedPerLoadAndSaidOnce) {
  SynthesiserLog synth;
  if (!synth.Present()) GTEST_SKIP() << "the mixer plays music without FluidSynth";
  auto lines = [](const std::string& s) { return std::count(s.begin(), s.end(), '\n'); };
  const std::string a = dir_.Write("a.mid", miditest::OneTrackFile(miditest::HeldNote(96)));
  const std::string b = dir_.Write("b.mid", miditest::OneTrackFile(miditest::HeldNote(192)));
  port::AudioSegment* first = port::LoadAudioSegment(a.c_str(), port::AudioKind::Music);
  ASSERT_NE(first, nullptr);
  port::PlayAudioSegment(first);

  ::testing::internal::CaptureStderr();
  synth.Warn(3);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(lines(err), 3) << err;  // a few pass as the synthesiser writes them
  EXPECT_NE(err.find("fluidsynth: warning: Instrument not found on channel 0"), std::string::npos)
      << err;
  ::testing::internal::CaptureStderr();
  synth.Warn(5000);
  err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(lines(err), 16 - 3 + 1) << err.substr(0, 2000);
  EXPECT_NE(err.find(a + ": more than 16 messages from the synthesiser; the rest are not shown"),
            std::string::npos)
      << err.substr(err.size() > 300 ? err.size() - 300 : 0);

  // Played again, the same load stays quiet; a new load has its own budget.
  port::StopAudioSegment(first);
  port::PlayAudioSegment(first);
  port::AudioSegment* second = port::LoadAudioSegment(b.c_str(), port::AudioKind::Music);
  ASSERT_NE(second, nullptr);
  ::testing::internal::CaptureStderr();
  synth.Warn(100);
  port::PlayAudioSegment(second);
  synth.Warn(100);
  err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(lines(err), 17) << err.substr(0, 2000);
  EXPECT_EQ(err.find(a + ":"), std::string::npos) << err.substr(0, 2000);
  EXPECT_NE(err.find(b + ": more than 16"), std::string::npos) << err.substr(0, 2000);
  port::FreeAudioSegment(second);
  port::FreeAudioSegment(first);
}

TEST_F(MusicFileTest, AfterALoadTheSynthesiserSpeaksForThePiecePlayingAgain) {
  SynthesiserLog synth;
  if (!synth.Present()) GTEST_SKIP() << "the mixer plays music without FluidSynth";
  auto lines = [](const std::string& s) { return std::count(s.begin(), s.end(), '\n'); };
  const std::string a = dir_.Write("a.mid", miditest::OneTrackFile(miditest::HeldNote(96)));
  const std::string b = dir_.Write("b.mid", miditest::OneTrackFile(miditest::HeldNote(192)));
  port::AudioSegment* playing = port::LoadAudioSegment(a.c_str(), port::AudioKind::Music);
  ASSERT_NE(playing, nullptr);
  port::PlayAudioSegment(playing);
  port::AudioSegment* next = port::LoadAudioSegment(b.c_str(), port::AudioKind::Music);
  ASSERT_NE(next, nullptr);

  ::testing::internal::CaptureStderr();
  synth.Warn(100);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(lines(err), 17) << err.substr(0, 2000);
  EXPECT_NE(err.find(a + ": more than 16"), std::string::npos) << err.substr(0, 2000);
  EXPECT_EQ(err.find(b + ":"), std::string::npos) << err.substr(0, 2000);
  // The piece loaded kept its own budget for when it plays.
  port::PlayAudioSegment(next);
  ::testing::internal::CaptureStderr();
  synth.Warn(100);
  err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(lines(err), 17) << err.substr(0, 2000);
  EXPECT_NE(err.find(b + ": more than 16"), std::string::npos) << err.substr(0, 2000);
  port::FreeAudioSegment(next);
  port::FreeAudioSegment(playing);
}

}  // namespace
