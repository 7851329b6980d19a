#pragma once
// The full check of a Standard MIDI File before the synthesiser sees it. The
// synthesiser parses a file only when it plays, again at every pass of a
// loop, inside the audio callback: a file it cannot parse, or one that ends
// as soon as it starts, makes a looping piece spin there forever. So music
// is played only when every chunk and event parses here, by rules at least
// as strict as the synthesiser's, and the piece has a note and a length.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace port {

// The synthesiser parses the file again at each pass of a loop, inside the
// audio callback; a piece shorter than this plays once.
constexpr double kMinMidiLoopSeconds = 0.1;

struct MidiCheck {
  bool playable = false;
  const char* reason = "";  // why not, when not playable
  uint32_t tracks = 0;
  uint32_t notes = 0;        // note-ons with a velocity
  uint32_t events = 0;       // channel, system exclusive and meta events
  uint64_t lengthTicks = 0;  // the end of the longest track
  double seconds = 0.0;      // the same through the tempo changes
  uint32_t programChanges = 0;
  uint32_t unknownPrograms = 0;  // program changes to a preset the sound font may lack
  uint32_t rejectedSysex = 0;    // system exclusive messages the synthesiser reports and drops
};

// The presets of the sound fonts music plays with, as bank * 128 + program.
// The synthesiser writes a line on standard error at every program change to
// a preset it lacks, and at every Roland data set message it drops, at every
// pass of a loop.
struct SoundFontPresets {
  std::vector<uint32_t> ids;  // sorted
  bool Has(uint32_t bank, uint32_t program) const;
  // A General MIDI set: every program of bank 0 and the standard drum kit.
  static SoundFontPresets GeneralMidi();
};

// Adds the presets of an SF2 or SF3 file (its "phdr" list); false when the
// file is no sound font. Reads only the chunk headers and the preset list.
bool ReadSoundFontPresets(const std::string& path, SoundFontPresets* out);

// Accepted: header "MThd" of length 6; format 0 with one track or format 1
// with 1 to 255 tracks; a division in ticks per quarter note (not SMPTE, not
// 0); the tracks one after the other, "MTrk" chunks with lengths inside the
// file (chunks after the last are ignored); in each track, events inside the chunk: delta times
// of at most 4 bytes, channel messages with data bytes below 0x80 (running
// status only after a channel message of the same track), system exclusive
// (F0) and meta events with their lengths inside the chunk, the meta events
// the synthesiser checks with their fixed lengths (tempo 3 and not 0, SMPTE
// offset 5, time signature 4, key signature 2), and an End of Track (length
// 0) that ends the track. F1 to FE other than FF are refused. At least one
// note, and the longest track at least one tick long (at most 2^30). At most
// 2^20 events, and in any 10 ms of playing time at most 128 notes and 2048
// events: the synthesiser plays what is due inside the audio callback, and
// reports each note it has no voice for on standard error. A loop holds at
// most 2000 events per second of its length, a piece played once at most
// 2000. A program change may select a preset the font lacks unless its
// program exists in every bank its channel may be set to anywhere in the
// file: bank 0 and the values of bank select (controller 0, and controller 32
// after an XG reset) while the channel may be melodic, the drum bank 128
// while it may be a drum part (channel 10 from the start; a channel a GS "use
// for rhythm part" message, an XG part mode or, after an XG reset, a bank
// select of 120 or more may make one). A GS rhythm part message also selects
// program 0. Roland data set messages the synthesiser drops (too short, a
// wrong checksum, a bad mode or rhythm value) count with the program changes
// to missing presets: at most 4 in a piece played once, and a loop at most 4
// a minute. System exclusive messages are read for any device number. Without
// a preset list a General MIDI set is assumed.
MidiCheck CheckMidiFile(const uint8_t* data, size_t size,
                        const SoundFontPresets* presets = nullptr);

}  // namespace port
