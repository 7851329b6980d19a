#pragma once
// What the stage scenes (3 to 5), the sokai stage (8) and their drawing
// share: the scene textures, the sounds and keys of the scenes, the loading
// picture, the clock and the world's frame.
#include <cstdint>

#include "actors/EnemyClasses.h"
#include "app/Application.h"
#include "platform/SoundManager.h"

namespace stage {

// The scene textures by load index.
enum HudTexture : int {
  kStageText = 0,
  kFont = 1,
  kChargeFrame = 2,
  kChargeBar = 3,
  kStunFrame = 4,
  kStunBar = 5,
  kPauseText = 6,
  kCursor = 7,
  kWhite = 8,
  kSokaiText = 9,  // the sokai stage only
};
constexpr int kStageHudTextures = 9;
constexpr int kSokaiHudTextures = 10;

// Stage sounds of the scenes, and system sounds of the introduction.
enum SceneSound : int32_t {
  kSoundBossEntry = 3,
  kSoundReady = 21,  // the first spoken cue
  kSoundGo = 22,     // the second
  kSoundGameOver = 23,
  kSoundTimeOver = 24,
  kSoundTick = 25,  // each of the last ten hundreds of frames
  kSoundAreaEntry = 40,
};
constexpr int32_t kCueOffset = kQuieter10dB;  // the cues, the tick, the boss and game-over sounds
constexpr int32_t kTimeOverOffset = kQuieter5dB;
constexpr int32_t kMusicOffset = kQuieter15dB;

// Music shared by the stages and the sokai stage.
inline constexpr const char* kClearMusic = "sound/bgm/rari_gm.mid";

// The introduction phase: the cues and its end.
constexpr int32_t kReadyFrame = 30;
constexpr int32_t kGoFrame = 140;
constexpr int32_t kIntroFrames = 230;

// Clears to the opaque blue, shows the picture once over the whole screen
// and presents. A missing picture shows the blue.
void ShowLoadingPicture(const char* path);
// Empties the scene textures and loads the HUD's, nine or ten (sokai).
void LoadHudTextures(Application& app, int count);
// Entry i of the scene textures, or null.
Texture* HudTexture(Application& app, int index);
// 3 (toon effect) when the application has it, else 2 (software skinning).
int RenderMethod(const Application& app);
// The device, the effect and the ramp the class loaders take.
EnemyLoad ClassLoad(const Application& app);
// Loads a piece of music and starts it from the start (it loops); what
// played before is stopped by the caller.
void PlayMusic(const char* path);

// One frame of the clock: time passes, the bonus is paid 100 a frame, the
// last ten hundreds tick; past 0 the time is over (phase 8). stageMode.framesUsed
// is counted when countUsed is true.
void RunClock(Application& app, bool countUsed);
// The frame's world: the camera's matrices to the device, the player, the
// characters, the objects and the effects.
void UpdateWorld();
// The lists and the field a stage leaves behind.
void ReleaseWorld(Application& app);

}  // namespace stage
