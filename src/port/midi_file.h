#pragma once
// The full check of a Standard MIDI File before the synthesiser sees it. The
// synthesiser parses a file only when it plays, again at every pass of a
// loop, inside the audio callback: a file it cannot parse, or one that ends
// as soon as it starts, makes a looping piece spin there forever. So music
// is played only when every chunk and event parses here, by rules at least
// as strict as the synthesiser's, and the piece has a note and a length.
#include <cstddef>
#include <cstdint>

namespace port {

struct MidiCheck {
  bool playable = false;
  const char* reason = "";  // why not, when not playable
  uint32_t tracks = 0;
  uint32_t notes = 0;        // note-ons with a velocity
  uint32_t events = 0;       // channel, system exclusive and meta events
  uint64_t lengthTicks = 0;  // the end of the longest track
  double seconds = 0.0;      // the same through the tempo changes
};

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
// reports each note it has no voice for on standard error.
MidiCheck CheckMidiFile(const uint8_t* data, size_t size);

}  // namespace port
