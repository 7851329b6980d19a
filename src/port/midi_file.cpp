#include "port/midi_file.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace port {

namespace {

constexpr uint64_t kMaxTicks = uint64_t{1} << 30;
constexpr uint32_t kDefaultTempo = 500000;  // microseconds per quarter note
// The synthesiser plays every event that is due inside the audio callback,
// and a note it has no voice for costs a warning on standard error. A burst
// must stay small: no more notes at once than its voices, and a bounded
// number of events in any short stretch.
constexpr double kBurstWindowSeconds = 0.01;
constexpr uint32_t kMaxNotesPerBurst = 128;
constexpr uint32_t kMaxEventsPerBurst = 2048;
constexpr uint32_t kMaxEvents = 1u << 20;

uint32_t Be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint32_t Be16(const uint8_t* p) { return (uint32_t{p[0]} << 8) | p[1]; }

struct TempoChange {
  uint64_t tick;
  uint32_t tempo;
};

struct Event {
  uint64_t tick;
  bool note;
};

// Reads one track chunk's events; false with a reason when one is broken.
class TrackReader {
 public:
  TrackReader(const uint8_t* data, size_t size, MidiCheck* check, std::vector<Event>* events,
              std::vector<TempoChange>* tempos)
      : p_(data), end_(data + size), check_(check), events_(events), tempos_(tempos) {}

  bool Read() {
    uint8_t running = 0;  // the last channel status; 0 when none may run
    while (true) {
      uint32_t delta = 0;
      if (!VarLen(&delta)) return Fail("delta time past the end of its track");
      tick_ += delta;
      if (tick_ > kMaxTicks) return Fail("track too long");
      if (p_ >= end_) return Fail("event past the end of its track");
      uint8_t status = *p_;
      if (status & 0x80) {
        ++p_;
      } else if (running) {
        status = running;  // running status: the byte is the first data byte
      } else {
        return Fail("data byte without a status");
      }
      if (++check_->events > kMaxEvents) return Fail("too many events");
      events_->push_back({tick_, false});
      if (status < 0xF0) {
        running = status;
        const int length = (status & 0xE0) == 0xC0 ? 1 : 2;  // program, channel pressure
        if (end_ - p_ < length) return Fail("channel message past the end of its track");
        for (int i = 0; i < length; ++i)
          if (p_[i] & 0x80) return Fail("channel message data byte above 0x7F");
        if ((status & 0xF0) == 0x90 && p_[1] != 0) {
          ++check_->notes;
          events_->back().note = true;
        }
        p_ += length;
        continue;
      }
      running = 0;  // system exclusive and meta events cancel running status
      if (status == 0xF0) {
        uint32_t length = 0;
        if (!VarLen(&length) || length > static_cast<size_t>(end_ - p_))
          return Fail("system exclusive message past the end of its track");
        p_ += length;
        continue;
      }
      if (status != 0xFF) return Fail("unsupported status byte");
      if (p_ >= end_) return Fail("meta event past the end of its track");
      const uint8_t type = *p_++;
      uint32_t length = 0;
      if ((type & 0x80) || !VarLen(&length) || length > static_cast<size_t>(end_ - p_))
        return Fail("meta event past the end of its track");
      const uint8_t* body = p_;
      p_ += length;
      switch (type) {
        case 0x2F:  // End of Track; anything after it in the chunk is ignored
          if (length != 0) return Fail("End of Track with data");
          end = tick_;
          return true;
        case 0x51: {
          if (length != 3) return Fail("tempo of the wrong length");
          const uint32_t tempo = (uint32_t{body[0]} << 16) | (uint32_t{body[1]} << 8) | body[2];
          if (tempo == 0) return Fail("tempo of 0");
          tempos_->push_back({tick_, tempo});
          break;
        }
        case 0x54:
          if (length != 5) return Fail("SMPTE offset of the wrong length");
          break;
        case 0x58:
          if (length != 4) return Fail("time signature of the wrong length");
          break;
        case 0x59:
          if (length != 2) return Fail("key signature of the wrong length");
          break;
        default:
          break;
      }
    }
  }

  uint64_t end = 0;  // the tick of End of Track

 private:
  // A variable-length number of at most four bytes inside the chunk.
  bool VarLen(uint32_t* out) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      if (p_ >= end_) return false;
      const uint8_t b = *p_++;
      v = (v << 7) | (b & 0x7Fu);
      if (!(b & 0x80)) {
        *out = v;
        return true;
      }
    }
    return false;
  }
  bool Fail(const char* reason) {
    check_->reason = reason;
    return false;
  }

  const uint8_t* p_;
  const uint8_t* end_;
  MidiCheck* check_;
  std::vector<Event>* events_;
  std::vector<TempoChange>* tempos_;
  uint64_t tick_ = 0;
};

MidiCheck Refuse(MidiCheck check, const char* reason) {
  check.playable = false;
  check.reason = reason;
  return check;
}

// Converts ticks to seconds through the tempo changes, for ticks asked in
// rising order.
class Clock {
 public:
  Clock(std::vector<TempoChange> tempos, uint32_t division)
      : tempos_(std::move(tempos)), division_(division) {
    std::stable_sort(tempos_.begin(), tempos_.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
  }
  double Seconds(uint64_t tick) {
    while (next_ < tempos_.size() && tempos_[next_].tick <= tick) {
      micros_ += static_cast<double>(tempos_[next_].tick - at_) * tempo_ / division_;
      at_ = tempos_[next_].tick;
      tempo_ = tempos_[next_].tempo;
      ++next_;
    }
    return (micros_ + static_cast<double>(tick - at_) * tempo_ / division_) / 1e6;
  }

 private:
  std::vector<TempoChange> tempos_;
  uint32_t division_;
  size_t next_ = 0;
  uint64_t at_ = 0;
  uint32_t tempo_ = kDefaultTempo;
  double micros_ = 0.0;
};

// Whether some stretch of kBurstWindowSeconds holds too many events or notes.
bool HasBurst(std::vector<Event>& events, Clock& clock) {
  std::stable_sort(events.begin(), events.end(),
                   [](const Event& a, const Event& b) { return a.tick < b.tick; });
  std::vector<double> at(events.size());
  for (size_t i = 0; i < events.size(); ++i) at[i] = clock.Seconds(events[i].tick);
  size_t first = 0;
  uint32_t notes = 0;
  for (size_t i = 0; i < events.size(); ++i) {
    notes += events[i].note ? 1 : 0;
    while (at[i] - at[first] >= kBurstWindowSeconds) notes -= events[first++].note ? 1 : 0;
    if (notes > kMaxNotesPerBurst || i - first + 1 > kMaxEventsPerBurst) return true;
  }
  return false;
}

}  // namespace

MidiCheck CheckMidiFile(const uint8_t* data, size_t size) {
  MidiCheck check;
  if (!data || size < 14 || std::memcmp(data, "MThd", 4) != 0)
    return Refuse(check, "not a MIDI file");
  if (Be32(data + 4) != 6) return Refuse(check, "header of the wrong length");
  const uint32_t format = Be16(data + 8);
  const uint32_t trackCount = Be16(data + 10);
  const uint32_t division = Be16(data + 12);
  if (format > 1) return Refuse(check, "unsupported format");
  if (trackCount == 0 || trackCount > 255 || (format == 0 && trackCount != 1))
    return Refuse(check, "unsupported track count");
  if (division & 0x8000) return Refuse(check, "SMPTE division");
  if (division == 0) return Refuse(check, "division of 0");

  std::vector<TempoChange> tempos;
  std::vector<Event> events;
  size_t pos = 14;
  while (check.tracks < trackCount) {
    if (size - pos < 8) return Refuse(check, "missing tracks");
    const uint8_t* chunk = data + pos;
    // The synthesiser does not find a track after a chunk of another kind.
    if (std::memcmp(chunk, "MTrk", 4) != 0) return Refuse(check, "a chunk among the tracks");
    const uint32_t length = Be32(chunk + 4);
    if (length > size - pos - 8) return Refuse(check, "chunk past the end of the file");
    TrackReader track(chunk + 8, length, &check, &events, &tempos);
    if (!track.Read()) return Refuse(check, check.reason);
    check.lengthTicks = std::max(check.lengthTicks, track.end);
    ++check.tracks;
    pos += 8 + size_t{length};
  }
  if (check.notes == 0) return Refuse(check, "no notes");
  if (check.lengthTicks == 0) return Refuse(check, "no length");
  Clock clock(std::move(tempos), division);
  if (HasBurst(events, clock)) return Refuse(check, "too many events at once");
  check.seconds = clock.Seconds(check.lengthTicks);
  check.playable = true;
  check.reason = "";
  return check;
}

}  // namespace port
