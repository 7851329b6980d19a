#pragma once
// Sound effects (WAV) and music (Standard MIDI Files, played with a General
// MIDI soundfont). Volumes are in hundredths of a decibel: 0 is full volume,
// -1000 is -10 dB; anything above 0 plays at full volume.
#include <cstdint>
#include <string>
#include <vector>

namespace port {

constexpr int kAudioChannels = 64;

// The samples of all effects loaded at once, in the mixer's format. The data
// set's 50 effects take about 3 MiB; one clip may take 64 MiB
// (port/audio_wav.h). 256 MiB holds four of the longest clips and keeps a
// data folder of oversized effects to a fraction of a machine's memory.
constexpr uint64_t kEffectMemoryLimit = uint64_t{256} << 20;

// Opens the audio device with 64 mixing channels. False, with a reason, when
// there is no device; everything below then does nothing.
bool OpenAudio(std::string* error);
void CloseAudio();
bool IsAudioOpen();

// The General MIDI soundfont used for music: SDL_SOUNDFONTS when it names an
// existing file, else the first one found among the distribution's. Empty
// when there is none.
std::string FindSoundFont();

enum class AudioKind { Music, Effect };

// One loaded sound. Any number of instances of an effect may sound at once;
// one piece of music plays at a time and loops until stopped.
class AudioSegment;

// Null when audio is not open or the file is missing, empty, unreadable or
// over its limit (port/file.h), for effects that CheckWavFile
// (port/audio_wav.h) refuses or that convert to no samples at the mixer's
// rate (a frame or two above it), that would take the effects loaded past
// kEffectMemoryLimit or that there is no memory for, and for music that
// CheckMidiFile (port/midi_file.h) refuses, with the sound font's presets; a
// refused file is named on standard error with the reason, in one line. An
// effect keeps only its converted samples. The synthesiser's own messages
// about a piece of music pass to standard error up to 16 per load, then one
// line says the rest are not shown.
AudioSegment* LoadAudioSegment(const char* path, AudioKind kind);
void FreeAudioSegment(AudioSegment* segment);
// Starts the segment at its volume: an effect mixes over everything, music
// replaces the music playing and repeats forever (a piece shorter than a
// tenth of a second plays once: the synthesiser reparses the file at each
// pass, inside the audio callback).
void PlayAudioSegment(AudioSegment* segment);
// Sets the volume of the segment's next starts and of its instances sounding now.
void SetAudioSegmentVolume(AudioSegment* segment, int32_t hundredthsDb);
void StopAudioSegment(AudioSegment* segment);
void StopAllAudio();

// Hundredths of a decibel to the mixer's 0..128.
int MixerVolume(int32_t hundredthsDb);

// Test seam: every start is recorded while a log is set.
struct AudioStart {
  std::string path;
  AudioKind kind = AudioKind::Effect;
  int32_t volume = 0;  // hundredths of a decibel, as set
};
void SetAudioStartLog(std::vector<AudioStart>* log);
// Test seams: the limit of all effects together (0 for kEffectMemoryLimit),
// and the bytes of samples the effects loaded hold now.
void SetEffectMemoryLimit(uint64_t bytes);
uint64_t EffectMemoryInUse();

}  // namespace port
