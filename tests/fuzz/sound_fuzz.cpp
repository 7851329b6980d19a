// Feeds arbitrary bytes to the checks every effect sound and piece of music
// passes before the mixer sees it. An accepted clip must lie inside the file
// and decode in proportion to it; an accepted piece must keep to its bounds
// per pass.
#include <cstddef>
#include <cstdint>

#include "port/audio_wav.h"
#include "port/midi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const port::WavCheck wav = port::CheckWavFile(data, size);
  if (wav.playable) {
    if (wav.dataOffset > size || wav.dataBytes > size - wav.dataOffset) __builtin_trap();
    if (wav.dataBytes == 0 || wav.decodedBytes > uint64_t{24} * size) __builtin_trap();
    volatile uint8_t last = data[wav.dataOffset + wav.dataBytes - 1];
    (void)last;
  }
  static const port::SoundFontPresets kSmallFont = [] {
    port::SoundFontPresets p;
    p.ids = {0, 1, 24, 128 * 128};
    return p;
  }();
  const port::MidiCheck midi = port::CheckMidiFile(data, size);
  const port::MidiCheck small = port::CheckMidiFile(data, size, &kSmallFont);
  // A smaller font can only refuse more.
  if (small.playable && !midi.playable) __builtin_trap();
  if (midi.playable && (midi.notes == 0 || midi.seconds <= 0.0)) __builtin_trap();
  // What one pass costs and what the synthesiser can be made to say in it.
  if (midi.playable) {
    const bool loops = midi.seconds >= port::kMinMidiLoopSeconds;
    if (midi.events > 2000.0 * (loops ? midi.seconds : 1.0)) __builtin_trap();
    const double reports = midi.unknownPrograms + midi.rejectedSysex;
    if (reports > (loops ? 4.0 * midi.seconds / 60.0 : 4.0)) __builtin_trap();
  }
  return 0;
}
