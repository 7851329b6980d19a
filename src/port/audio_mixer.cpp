// Sound effects and music on SDL2_mixer.
#include "port/audio.h"

#include "port/audio_wav.h"
#include "port/midi_file.h"
#include "port/path.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace port {

class AudioSegment {
 public:
  AudioKind kind = AudioKind::Effect;
  Mix_Chunk* chunk = nullptr;
  Mix_Music* music = nullptr;
  std::string path;
  std::vector<uint8_t> bytes;  // the music's file, read by the synthesiser while it plays
  int32_t volume = 0;
  bool loops = true;      // music: repeats until stopped, else plays once
  int synthMessages = 0;  // music: what its synthesiser said since the load (g_synthMutex)
};

namespace {

bool g_open = false;
SoundFontPresets g_presets;
bool g_presetsKnown = false;
AudioSegment* g_playingMusic = nullptr;
std::vector<AudioStart>* g_startLog = nullptr;
uint64_t g_effectBytes = 0;  // the samples of every effect loaded
uint64_t g_effectLimit = kEffectMemoryLimit;

// The synthesiser (FluidSynth, which the mixer links) writes its own
// warnings on standard error, from inside the audio callback, at every pass
// of a loop. Its log hook counts them against the music that speaks, the one
// loading or the one last started, and lets a few through per load.
constexpr int kSynthMessagesPerLoad = 16;
using SynthLogFunction = void (*)(int level, const char* message, void* data);
using SetSynthLogFunction = SynthLogFunction (*)(int level, SynthLogFunction f, void* data);
constexpr int kSynthLevels[] = {1, 2, 3};  // error, warning, information
void* g_synthLibrary = nullptr;
SetSynthLogFunction g_setSynthLog = nullptr;
SynthLogFunction g_synthDefaultLog[3] = {};
std::mutex g_synthMutex;
AudioSegment* g_synthSpeaker = nullptr;
int g_synthOtherMessages = 0;  // said with no music loading or started

void SynthSays(int level, const char* message, void*) {
  std::lock_guard<std::mutex> lock(g_synthMutex);
  int& said = g_synthSpeaker ? g_synthSpeaker->synthMessages : g_synthOtherMessages;
  if (said > kSynthMessagesPerLoad) return;
  ++said;
  if (said <= kSynthMessagesPerLoad) {
    const char* kind = level == 1 ? "error: " : level == 2 ? "warning: " : "";
    std::fprintf(stderr, "fluidsynth: %s%s\n", kind, message ? message : "");
  } else {
    std::fprintf(stderr, "%s: more than %d messages from the synthesiser; the rest are not shown\n",
                 g_synthSpeaker ? g_synthSpeaker->path.c_str() : "music", kSynthMessagesPerLoad);
  }
}

void SetSynthSpeaker(AudioSegment* segment) {
  std::lock_guard<std::mutex> lock(g_synthMutex);
  g_synthSpeaker = segment;
}

void HookSynthLog() {
  for (const char* name : {"libfluidsynth.so.3", "libfluidsynth.so.2", "libfluidsynth.so.1"}) {
    g_synthLibrary = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (g_synthLibrary) break;
  }
  if (!g_synthLibrary) return;  // no synthesiser, nothing to bound
  g_setSynthLog =
      reinterpret_cast<SetSynthLogFunction>(dlsym(g_synthLibrary, "fluid_set_log_function"));
  if (!g_setSynthLog) return;
  for (int i = 0; i < 3; ++i)
    g_synthDefaultLog[i] = g_setSynthLog(kSynthLevels[i], SynthSays, nullptr);
}

void UnhookSynthLog() {
  if (g_setSynthLog)
    for (int i = 0; i < 3; ++i) g_setSynthLog(kSynthLevels[i], g_synthDefaultLog[i], nullptr);
  g_setSynthLog = nullptr;
  if (g_synthLibrary) dlclose(g_synthLibrary);
  g_synthLibrary = nullptr;
  SetSynthSpeaker(nullptr);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

// The presets of every font in the list (separated by semicolons); false
// when one cannot be read, and then a General MIDI set is assumed.
bool ReadPresets(const std::string& fonts, SoundFontPresets* out) {
  out->ids.clear();
  size_t start = 0;
  bool all = true;
  while (start <= fonts.size()) {
    size_t end = fonts.find(';', start);
    if (end == std::string::npos) end = fonts.size();
    const std::string font = fonts.substr(start, end - start);
    if (!font.empty() && !ReadSoundFontPresets(font, out)) all = false;
    start = end + 1;
  }
  return all && !out->ids.empty();
}

void Refused(const char* path, const char* reason) {
  std::fprintf(stderr, "%s: not played: %s\n", path, reason);
}

constexpr const char* kOverLimit = "all effects together over their memory limit";

// The clip converted to the mixer's format, or null. Nothing is kept on failure.
Mix_Chunk* LoadWav(const char* path, const std::vector<uint8_t>& bytes) {
  int rate = 0, channels = 0;
  Uint16 format = 0;
  if (!Mix_QuerySpec(&rate, &format, &channels)) return nullptr;
  MixFormat mix;
  mix.rate = static_cast<uint32_t>(rate);
  mix.channels = static_cast<uint16_t>(channels);
  mix.bytesPerSample = static_cast<uint16_t>(SDL_AUDIO_BITSIZE(format) / 8);
  const WavCheck wav = CheckWavFile(bytes.data(), bytes.size(), mix);
  if (!wav.playable) {
    Refused(path, wav.reason);
    return nullptr;
  }
  if (wav.decodedBytes > g_effectLimit - std::min(g_effectBytes, g_effectLimit)) {
    Refused(path, kOverLimit);
    return nullptr;
  }
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, wav.bits == 8 ? AUDIO_U8 : AUDIO_S16LSB,
                        static_cast<Uint8>(wav.channels), static_cast<int>(wav.rate), format,
                        static_cast<Uint8>(channels), rate) < 0) {
    Refused(path, SDL_GetError());
    return nullptr;
  }
  cvt.len = static_cast<int>(wav.dataBytes);
  // The conversion works in place through wider formats: its buffer is many
  // times the clip it leaves.
  cvt.buf = static_cast<Uint8*>(SDL_malloc(size_t{wav.dataBytes} * cvt.len_mult));
  if (!cvt.buf) {
    Refused(path, "no memory to convert the clip");
    return nullptr;
  }
  std::memcpy(cvt.buf, bytes.data() + wav.dataOffset, wav.dataBytes);
  if (cvt.needed && SDL_ConvertAudio(&cvt) != 0) {
    SDL_free(cvt.buf);
    Refused(path, SDL_GetError());
    return nullptr;
  }
  const Uint32 length = static_cast<Uint32>(cvt.needed ? cvt.len_cvt : cvt.len);
  // A frame or two above the mixer's rate may convert to nothing at all.
  if (length == 0) {
    SDL_free(cvt.buf);
    Refused(path, "no samples at the mixer's rate");
    return nullptr;
  }
  // The resampler pads the clip a little past the estimate above.
  if (g_effectBytes + length > g_effectLimit) {
    SDL_free(cvt.buf);
    Refused(path, kOverLimit);
    return nullptr;
  }
  // Only the converted samples stay: a shrunk block gives the rest back, and
  // a block that cannot shrink is kept whole.
  Uint8* samples = cvt.buf;
  if (auto* shrunk = static_cast<Uint8*>(SDL_realloc(cvt.buf, length))) samples = shrunk;
  Mix_Chunk* chunk = Mix_QuickLoad_RAW(samples, length);
  if (!chunk) {
    SDL_free(samples);
    Refused(path, "no memory for the clip");
    return nullptr;
  }
  chunk->allocated = 1;  // Mix_FreeChunk frees the samples with the chunk
  g_effectBytes += length;
  return chunk;
}

void HaltChannelsOf(const Mix_Chunk* chunk) {
  const int channels = Mix_AllocateChannels(-1);
  for (int ch = 0; ch < channels; ++ch) {
    if (Mix_Playing(ch) && Mix_GetChunk(ch) == chunk) Mix_HaltChannel(ch);
  }
}

}  // namespace

int MixerVolume(int32_t hundredthsDb) {
  if (hundredthsDb > 0) hundredthsDb = 0;
  if (hundredthsDb < -9600) hundredthsDb = -9600;
  return static_cast<int>(std::lround(MIX_MAX_VOLUME * std::pow(10.0, hundredthsDb / 2000.0)));
}

std::string FindSoundFont() {
  if (const char* env = SDL_getenv("SDL_SOUNDFONTS"); env && *env) {
    // A list separated by semicolons; any existing entry will do.
    std::string list = env;
    size_t start = 0;
    while (start <= list.size()) {
      size_t end = list.find(';', start);
      if (end == std::string::npos) end = list.size();
      if (FileExists(list.substr(start, end - start))) return list;
      start = end + 1;
    }
  }
  // The small GM set first: it loads in a fraction of the time of the large ones.
  static const char* const kCandidates[] = {
      "/usr/share/sounds/sf2/TimGM6mb.sf2",          "/usr/share/sounds/sf2/FluidR3_GM.sf2",
      "/usr/share/sounds/sf2/default-GM.sf2",        "/usr/share/sounds/sf3/default-GM.sf3",
      "/usr/share/sounds/sf3/MuseScore_General.sf3", "/usr/share/soundfonts/default.sf2",
      "/usr/share/soundfonts/FluidR3_GM.sf2",
  };
  for (const char* c : kCandidates) {
    if (FileExists(c)) return c;
  }
  return {};
}

bool OpenAudio(std::string* error) {
  if (g_open) return true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    if (error) *error = SDL_GetError();
    return false;
  }
  if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) != 0) {
    if (error) *error = Mix_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  Mix_AllocateChannels(kAudioChannels);
  HookSynthLog();
  const std::string soundFont = FindSoundFont();
  if (!soundFont.empty()) Mix_SetSoundFonts(soundFont.c_str());
  g_presetsKnown = !soundFont.empty() && ReadPresets(soundFont, &g_presets);
  g_open = true;
  return true;
}

void CloseAudio() {
  if (!g_open) return;
  Mix_HaltChannel(-1);
  Mix_HaltMusic();
  g_playingMusic = nullptr;
  Mix_CloseAudio();
  UnhookSynthLog();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  g_open = false;
}

bool IsAudioOpen() { return g_open; }

AudioSegment* LoadAudioSegment(const char* path, AudioKind kind) {
  if (!g_open || !path) return nullptr;
  std::vector<uint8_t> bytes;
  if (!ReadGameFile(path, &bytes, kind == AudioKind::Music ? FileKind::Music : FileKind::Sound) ||
      bytes.empty())
    return nullptr;
  auto* segment = new AudioSegment;
  segment->kind = kind;
  segment->path = path;
  if (kind == AudioKind::Music) {
    const MidiCheck midi =
        CheckMidiFile(bytes.data(), bytes.size(), g_presetsKnown ? &g_presets : nullptr);
    if (!midi.playable) Refused(path, midi.reason);
    if (midi.playable) {
      segment->loops = midi.seconds >= kMinMidiLoopSeconds;
      segment->bytes = std::move(bytes);
      // The synthesiser loads its font here: what it says counts against this piece.
      SetSynthSpeaker(segment);
      if (SDL_RWops* rw =
              SDL_RWFromConstMem(segment->bytes.data(), static_cast<int>(segment->bytes.size())))
        segment->music = Mix_LoadMUSType_RW(rw, MUS_MID, 1);
      SetSynthSpeaker(g_playingMusic);
    }
  } else {
    segment->chunk = LoadWav(path, bytes);
  }
  if (!segment->chunk && !segment->music) {
    delete segment;
    return nullptr;
  }
  return segment;
}

void FreeAudioSegment(AudioSegment* segment) {
  if (!segment) return;
  StopAudioSegment(segment);
  if (segment->chunk) {
    g_effectBytes -= std::min<uint64_t>(g_effectBytes, segment->chunk->alen);
    Mix_FreeChunk(segment->chunk);
  }
  if (segment->music) Mix_FreeMusic(segment->music);
  {
    std::lock_guard<std::mutex> lock(g_synthMutex);
    if (g_synthSpeaker == segment) g_synthSpeaker = nullptr;
  }
  delete segment;
}

void PlayAudioSegment(AudioSegment* segment) {
  if (!g_open || !segment) return;
  const int volume = MixerVolume(segment->volume);
  if (segment->kind == AudioKind::Music) {
    Mix_VolumeMusic(volume);
    SetSynthSpeaker(segment);
    if (Mix_PlayMusic(segment->music, segment->loops ? -1 : 1) != 0) {
      SetSynthSpeaker(g_playingMusic);
      return;
    }
    Mix_VolumeMusic(volume);
    g_playingMusic = segment;
  } else {
    // Pick the channel first so the instance never sounds at a stale volume;
    // with all channels busy the oldest one gives way.
    int channel = Mix_GroupAvailable(-1);
    if (channel < 0) channel = Mix_GroupOldest(-1);
    if (channel < 0) return;
    Mix_HaltChannel(channel);
    Mix_Volume(channel, volume);
    if (Mix_PlayChannel(channel, segment->chunk, 0) < 0) return;
  }
  if (g_startLog) g_startLog->push_back(AudioStart{segment->path, segment->kind, segment->volume});
}

void SetAudioSegmentVolume(AudioSegment* segment, int32_t hundredthsDb) {
  if (!segment) return;
  segment->volume = hundredthsDb;
  if (!g_open) return;
  const int volume = MixerVolume(hundredthsDb);
  if (segment->kind == AudioKind::Music) {
    if (g_playingMusic == segment) Mix_VolumeMusic(volume);
    return;
  }
  const int channels = Mix_AllocateChannels(-1);
  for (int ch = 0; ch < channels; ++ch) {
    if (Mix_Playing(ch) && Mix_GetChunk(ch) == segment->chunk) Mix_Volume(ch, volume);
  }
}

void StopAudioSegment(AudioSegment* segment) {
  if (!g_open || !segment) return;
  if (segment->kind == AudioKind::Music) {
    if (g_playingMusic == segment) {
      Mix_HaltMusic();
      g_playingMusic = nullptr;
    }
  } else {
    HaltChannelsOf(segment->chunk);
  }
}

void StopAllAudio() {
  if (!g_open) return;
  Mix_HaltChannel(-1);
  Mix_HaltMusic();
  g_playingMusic = nullptr;
}

void SetAudioStartLog(std::vector<AudioStart>* log) { g_startLog = log; }

void SetEffectMemoryLimit(uint64_t bytes) { g_effectLimit = bytes ? bytes : kEffectMemoryLimit; }

uint64_t EffectMemoryInUse() { return g_effectBytes; }

}  // namespace port
