// Sound effects and music on SDL2_mixer.
#include "port/audio.h"

#include "port/audio_wav.h"
#include "port/midi_file.h"
#include "port/path.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <sys/stat.h>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace port {

class AudioSegment {
 public:
  AudioKind kind = AudioKind::Effect;
  Mix_Chunk* chunk = nullptr;
  Mix_Music* music = nullptr;
  std::string path;
  std::vector<uint8_t> bytes;  // the music's file, read by the synthesiser while it plays
  int32_t volume = 0;
  bool loops = true;  // music: repeats until stopped, else plays once
};

namespace {

bool g_open = false;
SoundFontPresets g_presets;
bool g_presetsKnown = false;
AudioSegment* g_playingMusic = nullptr;
std::vector<AudioStart>* g_startLog = nullptr;

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
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, wav.bits == 8 ? AUDIO_U8 : AUDIO_S16LSB,
                        static_cast<Uint8>(wav.channels), static_cast<int>(wav.rate), format,
                        static_cast<Uint8>(channels), rate) < 0) {
    Refused(path, SDL_GetError());
    return nullptr;
  }
  cvt.len = static_cast<int>(wav.dataBytes);
  cvt.buf = static_cast<Uint8*>(SDL_malloc(size_t{wav.dataBytes} * cvt.len_mult));
  if (!cvt.buf) return nullptr;
  std::memcpy(cvt.buf, bytes.data() + wav.dataOffset, wav.dataBytes);
  if (cvt.needed && SDL_ConvertAudio(&cvt) != 0) {
    SDL_free(cvt.buf);
    Refused(path, SDL_GetError());
    return nullptr;
  }
  const Uint32 length = static_cast<Uint32>(cvt.needed ? cvt.len_cvt : cvt.len);
  Mix_Chunk* chunk = Mix_QuickLoad_RAW(cvt.buf, length);
  if (!chunk) {
    SDL_free(cvt.buf);
    return nullptr;
  }
  chunk->allocated = 1;  // Mix_FreeChunk frees the samples with the chunk
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
      if (SDL_RWops* rw =
              SDL_RWFromConstMem(segment->bytes.data(), static_cast<int>(segment->bytes.size())))
        segment->music = Mix_LoadMUSType_RW(rw, MUS_MID, 1);
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
  if (segment->chunk) Mix_FreeChunk(segment->chunk);
  if (segment->music) Mix_FreeMusic(segment->music);
  delete segment;
}

void PlayAudioSegment(AudioSegment* segment) {
  if (!g_open || !segment) return;
  const int volume = MixerVolume(segment->volume);
  if (segment->kind == AudioKind::Music) {
    Mix_VolumeMusic(volume);
    if (Mix_PlayMusic(segment->music, segment->loops ? -1 : 1) != 0) return;
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

}  // namespace port
