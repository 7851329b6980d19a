#include <benchmark/benchmark.h>

#include <cstdlib>

#include "platform/SoundManager.h"
#include "support/sound_files.h"

namespace {

// Every clip of both tables queued, then one end-of-frame flush, on the
// silent audio driver.
void FlushEveryClip(benchmark::State& state, bool withMusic) {
  soundtest::TempDir dir;
  for (const char* f : kSystemSoundFiles)
    soundtest::WriteBytes(dir.path() / f, soundtest::ToneWav(0.05));
  for (const char* f : kStageSoundFiles)
    soundtest::WriteBytes(dir.path() / f, soundtest::ToneWav(0.05));
  soundtest::WriteBytes(dir.path() / "sound/bgm/bench_gm.mid", soundtest::NoteMidi());
  soundtest::ScopedCwd cwd(dir.path());
  setenv("SDL_AUDIODRIVER", "dummy", 1);

  SoundManager sound;
  if (!sound.Init(nullptr)) {
    state.SkipWithError("no audio");
    return;
  }
  sound.LoadSystemSounds();
  sound.LoadStageSounds();
  if (withMusic) sound.LoadMusic("sound/bgm/bench_gm.mid");
  sound.masterVolume = 500;
  for (auto _ : state) {
    if (withMusic) sound.PlaySound(kMusicSoundId, -500);
    for (int id = 0; id < kSystemSoundCount; ++id) sound.PlaySystemSound(id, -1000);
    for (int id = 0; id < kStageSoundCount; ++id) sound.PlaySoundAt(0.0f, 0.0f, 20.0f, id, -500);
    sound.Flush();
  }
  state.SetItemsProcessed(state.iterations() *
                          (kSystemSoundCount + kStageSoundCount + (withMusic ? 1 : 0)));
  sound.Shutdown();
}

void BM_SoundFlushEveryEffect(benchmark::State& state) { FlushEveryClip(state, false); }
void BM_SoundFlushEveryEffectAndMusic(benchmark::State& state) { FlushEveryClip(state, true); }

BENCHMARK(BM_SoundFlushEveryEffect)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SoundFlushEveryEffectAndMusic)->Unit(benchmark::kMicrosecond);

}  // namespace
