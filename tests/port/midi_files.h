#pragma once
// Standard MIDI Files built byte by byte for the music tests: good pieces and
// every kind of broken or empty one.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace miditest {

using Bytes = std::vector<uint8_t>;

inline void PutBe(Bytes& v, uint32_t x, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

inline Bytes VarLen(uint32_t x) {
  Bytes v{static_cast<uint8_t>(x & 0x7F)};
  while (x >>= 7) v.insert(v.begin(), static_cast<uint8_t>(0x80 | (x & 0x7F)));
  return v;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes v;
  for (const Bytes& p : parts) v.insert(v.end(), p.begin(), p.end());
  return v;
}

// A chunk; `length` overrides the length field when not -1.
inline Bytes Chunk(const char* id, const Bytes& body, int64_t length = -1) {
  Bytes v(id, id + 4);
  PutBe(v, length < 0 ? static_cast<uint32_t>(body.size()) : static_cast<uint32_t>(length), 4);
  v.insert(v.end(), body.begin(), body.end());
  return v;
}

inline Bytes Track(const Bytes& events) { return Chunk("MTrk", events); }

inline Bytes Header(uint32_t format, uint32_t tracks, uint32_t division, uint32_t length = 6) {
  Bytes v{'M', 'T', 'h', 'd'};
  PutBe(v, length, 4);
  PutBe(v, format, 2);
  PutBe(v, tracks, 2);
  PutBe(v, division, 2);
  for (uint32_t i = 6; i < length; ++i) v.push_back(0);
  return v;
}

inline const Bytes kEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

// Middle C held for `ticks`, then End of Track.
inline Bytes HeldNote(uint32_t ticks, uint8_t channel = 0) {
  return Cat({{0x00, static_cast<uint8_t>(0x90 | channel), 60, 100},
              VarLen(ticks),
              {static_cast<uint8_t>(0x80 | channel), 60, 0},
              kEndOfTrack});
}

// A tempo change after `delta` ticks (microseconds per quarter note).
inline Bytes Tempo(uint32_t delta, uint32_t tempo) {
  return Cat({VarLen(delta),
              {0xFF, 0x51, 0x03, static_cast<uint8_t>(tempo >> 16),
               static_cast<uint8_t>(tempo >> 8), static_cast<uint8_t>(tempo)}});
}

inline Bytes OneTrackFile(const Bytes& events, uint32_t division = 96) {
  return Cat({Header(0, 1, division), Track(events)});
}

// `count` notes struck together, held a beat.
inline Bytes Chord(uint32_t count) {
  Bytes events;
  for (uint32_t i = 0; i < count; ++i)
    events.insert(events.end(), {0x00, static_cast<uint8_t>(0x90 | (i % 16)),
                                 static_cast<uint8_t>(30 + i % 60), 90});
  events.insert(events.end(), {0x60, 0xB0, 123, 0});  // all notes off a beat later
  events.insert(events.end(), kEndOfTrack.begin(), kEndOfTrack.end());
  return OneTrackFile(events);
}

// A note held over `parts` of the longest delta time each (2^28 - 1 ticks).
inline Bytes LongTrack(int parts) {
  Bytes events = {0x00, 0x90, 60, 100};
  for (int i = 0; i < parts; ++i) {
    const Bytes d = VarLen(0x0FFFFFFF);
    events.insert(events.end(), d.begin(), d.end());
    events.insert(events.end(), {0xB0, 1, 0});
  }
  events.insert(events.end(), kEndOfTrack.begin(), kEndOfTrack.end());
  return events;
}

struct Case {
  std::string name;
  Bytes bytes;
  bool playable;
  double seconds = -1.0;  // the expected length when playable and not -1
};

// Good pieces and each kind of file that has nothing to play or is broken.
inline std::vector<Case> Cases() {
  const Bytes note = HeldNote(96);
  Bytes truncated = OneTrackFile(note);
  truncated.resize(truncated.size() - 3);
  return {
      // Playable.
      {"a held note", OneTrackFile(note), true, 0.5},
      {"format 1: tempo track and note track",
       Cat({Header(1, 2, 96), Track(Cat({Tempo(0, 1000000), kEndOfTrack})), Track(note)}), true,
       1.0},
      {"tempo change half way",
       OneTrackFile(
           Cat({{0x00, 0x90, 60, 100}, Tempo(48, 250000), {0x30, 0x80, 60, 0}, kEndOfTrack})),
       true, 0.25 + 0.125},
      {"running status, system exclusive, text, padding after the end",
       OneTrackFile(Cat({{0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7},
                         {0x00, 0xFF, 0x01, 0x02, 'h', 'i'},
                         {0x00, 0x90, 60, 100, 0x00, 64, 100, 0x60, 60, 0, 0x00, 64, 0},
                         kEndOfTrack,
                         {0x00, 0x00, 0x00}})),
       true, 0.5},
      {"a chunk of another kind after the tracks",
       Cat({Header(0, 1, 96), Track(note), Chunk("XFIH", {1, 2, 3})}), true, 0.5},
      {"128 notes at once", Chord(128), true, 0.5},
      {"a piece one tick long",
       OneTrackFile(Cat({Tempo(0, 1), {0x00, 0x90, 60, 100}, {0x01, 0x80, 60, 0}, kEndOfTrack}),
                    30000),
       true},
      // Nothing to play.
      {"only End of Track", OneTrackFile(kEndOfTrack), false},
      {"an empty track (22 bytes)", OneTrackFile({}), false},
      {"empty tracks", Cat({Header(1, 3, 96), Track({}), Track({}), Track({})}), false},
      {"a note of no length",
       OneTrackFile(Cat({{0x00, 0x90, 60, 100, 0x00, 0x80, 60, 0}, kEndOfTrack})), false},
      {"notes of velocity 0 only",
       OneTrackFile(Cat({{0x00, 0x90, 60, 0, 0x60, 0x90, 62, 0}, kEndOfTrack})), false},
      {"a track without End of Track", OneTrackFile({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0}),
       false},
      // Garbage events.
      {"F7 escape", OneTrackFile(Cat({{0x00, 0xF7, 0x01, 0x00}, note})), false},
      {"F1 status", OneTrackFile(Cat({{0x00, 0xF1, 0x00}, note})), false},
      {"a data byte without status", OneTrackFile(Cat({{0x00, 0x40, 0x40}, note})), false},
      {"running status after a meta event",
       OneTrackFile(Cat({{0x00, 0x90, 60, 100, 0x00, 0xFF, 0x01, 0x00, 0x60, 60, 0}, kEndOfTrack})),
       false},
      {"a data byte above 0x7F", OneTrackFile(Cat({{0x00, 0x90, 60, 0xC8}, note})), false},
      {"random bytes", OneTrackFile({0x13, 0x37, 0xBE, 0xEF, 0xDE, 0xAD, 0xFF, 0xFF, 0xFF}), false},
      {"tempo of 0", OneTrackFile(Cat({Tempo(0, 0), note})), false},
      {"tempo of two bytes", OneTrackFile(Cat({{0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1}, note})),
       false},
      {"End of Track with data", OneTrackFile(Cat({{0x00, 0xFF, 0x2F, 0x01, 0x00}, note})), false},
      {"time signature of three bytes",
       OneTrackFile(Cat({{0x00, 0xFF, 0x58, 0x03, 4, 2, 24}, note})), false},
      {"129 notes at once", Chord(129), false},
      // Header and timing.
      {"SMPTE division", OneTrackFile(note, 0xE728), false},
      {"division 0", OneTrackFile(note, 0), false},
      {"header of 8 bytes", Cat({Header(0, 1, 96, 8), Track(note)}), false},
      {"format 2", Cat({Header(2, 1, 96), Track(note)}), false},
      {"format 0 with two tracks", Cat({Header(0, 2, 96), Track(note), Track(note)}), false},
      {"no tracks", Header(1, 0, 96), false},
      {"256 tracks declared", Cat({Header(1, 256, 96), Track(note)}), false},
      {"a chunk of another kind before the track",
       Cat({Header(0, 1, 96), Chunk("XFIH", {1, 2, 3}), Track(note)}), false},
      {"a chunk name that is not text",
       Cat({Header(0, 1, 96), Chunk("\x01\x02\x03\x04", {}), Track(note)}), false},
      // Lengths past the end.
      {"a track longer than the file", Cat({Header(0, 1, 96), Chunk("MTrk", note, 1000)}), false},
      {"a track cut short", truncated, false},
      {"a missing second track", Cat({Header(1, 2, 96), Track(note)}), false},
      {"a meta event past its track", OneTrackFile(Cat({{0x00, 0xFF, 0x01, 0x7F}, note})), false},
      {"system exclusive past its track", OneTrackFile(Cat({{0x00, 0xF0, 0x40, 0x01}, note})),
       false},
      {"a delta time of five bytes", OneTrackFile(Cat({{0x81, 0x81, 0x81, 0x81, 0x01}, note})),
       false},
      {"a note cut by the end of its track", OneTrackFile({0x00, 0x90, 60, 100, 0x60, 0x80, 60}),
       false},
      {"a track of 2^30 ticks and more", OneTrackFile(LongTrack(5)), false},
  };
}

}  // namespace miditest
