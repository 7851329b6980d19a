#include "port/midi_file.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstring>
#include <utility>
#include <vector>

#include "port/file.h"

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
// The work and the warnings of one pass of a loop.
constexpr double kMaxEventsPerSecond = 2000.0;
constexpr uint32_t kMaxReportsOnce = 4;
constexpr double kMaxReportsPerMinute = 4.0;
constexpr uint32_t kDrumBank = 128;
constexpr uint32_t kDrumChannel = 9;
// In the XG bank style a bank select MSB from this value up makes the channel a drum part.
constexpr uint8_t kXgDrumBankMsb = 120;

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

struct ProgramChange {
  uint8_t channel;
  uint8_t program;
};

// What a file may do to the synthesiser's channels, in any order, since a
// loop replays it over whatever the last pass left: its program changes,
// every bank each channel is set to, and the system exclusive messages that
// reset the synthesiser or make a channel a drum or a melodic part.
struct ChannelUse {
  std::vector<ProgramChange> programs;
  std::array<std::bitset<128>, 16> bankMsb;  // controller 0
  std::array<std::bitset<128>, 16> bankLsb;  // controller 32, the bank in the XG style
  std::bitset<16> drum;                      // may play the drum bank
  std::bitset<16> melodic;                   // may play a melodic bank
  bool xg = false;                           // an XG reset: the XG bank style
  uint32_t rejectedSysex = 0;                // messages the synthesiser reports and drops
  ChannelUse() {
    melodic.set();
    melodic.reset(kDrumChannel);
    drum.set(kDrumChannel);
  }
};

// The system exclusive messages the synthesiser acts on (body without F0 and
// a closing F7), read more broadly than it does: any device number, any mode.
void ReadSysex(const uint8_t* d, size_t n, ChannelUse* use) {
  if (n < 4) return;
  if (d[0] == 0x41 && d[2] == 0x42 && d[3] == 0x12) {  // Roland GS, data set 1
    if (n < 9) {
      ++use->rejectedSysex;  // too short
      return;
    }
    uint32_t sum = 0;
    bool high = false;
    for (size_t i = 4; i < n; ++i) high |= (d[i] & 0x80) != 0;
    for (size_t i = 4; i + 1 < n; ++i) sum += d[i];
    const bool summed = !high && 0x80 - (sum & 0x7F) == d[n - 1];
    const bool valid = summed && n == 9;  // one data byte
    const uint32_t address = (uint32_t{d[4]} << 16) | (uint32_t{d[5]} << 8) | d[6];
    if (address == 0x40007F) {  // GS reset, or back to GM
      if (!valid || (d[7] != 0x00 && d[7] != 0x7F)) ++use->rejectedSysex;
      return;
    }
    if ((address & 0xFFF0FF) == 0x401015) {  // use part for rhythm
      // Block 0 is part 10, blocks 1 to 9 parts 1 to 9.
      const uint32_t block = (address >> 8) & 0x0F;
      const uint32_t channel = block >= 10 ? block : (block == 0 ? kDrumChannel : block - 1);
      if (!valid || d[7] > 2) {
        ++use->rejectedSysex;
        use->drum.set(channel);
        use->melodic.set(channel);
      } else {
        (d[7] == 0 ? use->melodic : use->drum).set(channel);
      }
      // The synthesiser selects program 0 in the part's new bank.
      use->programs.push_back({static_cast<uint8_t>(channel), 0});
      return;
    }
    if (!summed) ++use->rejectedSysex;
    return;
  }
  if (d[0] == 0x43 && d[2] == 0x4C && n >= 7) {  // Yamaha XG parameter change
    const uint32_t address = (uint32_t{d[3]} << 16) | (uint32_t{d[4]} << 8) | d[5];
    if (address == 0x00007E || address == 0x00007F) use->xg = true;  // XG reset
    // Multi part "part mode": anything but normal makes the part a drum setup.
    if ((address & 0xFF00FF) == 0x080007 && d[6] != 0) use->drum.set(d[4] & 0x0F);
  }
  // GM and GM2 system on reset every channel: nothing that the start does not.
}

// Reads one track chunk's events; false with a reason when one is broken.
class TrackReader {
 public:
  TrackReader(const uint8_t* data, size_t size, MidiCheck* check, std::vector<Event>* events,
              std::vector<TempoChange>* tempos, ChannelUse* channels)
      : p_(data),
        end_(data + size),
        check_(check),
        events_(events),
        tempos_(tempos),
        channels_(channels) {}

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
        if ((status & 0xF0) == 0xC0) {
          ++check_->programChanges;
          channels_->programs.push_back({static_cast<uint8_t>(status & 0x0F), p_[0]});
        }
        if ((status & 0xF0) == 0xB0 && p_[0] == 0) channels_->bankMsb[status & 0x0F].set(p_[1]);
        if ((status & 0xF0) == 0xB0 && p_[0] == 32) channels_->bankLsb[status & 0x0F].set(p_[1]);
        p_ += length;
        continue;
      }
      running = 0;  // system exclusive and meta events cancel running status
      if (status == 0xF0) {
        uint32_t length = 0;
        if (!VarLen(&length) || length > static_cast<size_t>(end_ - p_))
          return Fail("system exclusive message past the end of its track");
        ReadSysex(p_, length > 0 && p_[length - 1] == 0xF7 ? length - 1 : length, channels_);
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
  ChannelUse* channels_;
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

// Program changes that may select a preset the font lacks: the program must
// be in the drum bank if its channel may be a drum part, and in every bank
// the channel may be set to if it may be a melodic one.
uint32_t UnknownPrograms(const ChannelUse& use, const SoundFontPresets& presets) {
  std::bitset<16> drum = use.drum, melodic = use.melodic;
  std::array<std::bitset<128>, 16> banks = use.bankMsb;
  for (size_t ch = 0; ch < 16; ++ch) {
    banks[ch].set(0);  // the bank after a reset
    if (!use.xg) continue;
    // The XG style takes the bank from controller 32; controller 0 switches
    // the channel between drum and melodic parts.
    banks[ch] |= use.bankLsb[ch];
    for (uint32_t v = 0; v < 128; ++v)
      if (use.bankMsb[ch].test(v)) (v >= kXgDrumBankMsb ? drum : melodic).set(ch);
  }
  uint32_t unknown = 0;
  for (const ProgramChange& pc : use.programs) {
    bool known = !drum.test(pc.channel) || presets.Has(kDrumBank, pc.program);
    if (melodic.test(pc.channel))
      for (uint32_t b = 0; b < 128 && known; ++b)
        if (banks[pc.channel].test(b)) known = presets.Has(b, pc.program);
    unknown += known ? 0 : 1;
  }
  return unknown;
}

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

}  // namespace

bool SoundFontPresets::Has(uint32_t bank, uint32_t program) const {
  return std::binary_search(ids.begin(), ids.end(), bank * 128 + program);
}

SoundFontPresets SoundFontPresets::GeneralMidi() {
  SoundFontPresets p;
  for (uint32_t i = 0; i < 128; ++i) p.ids.push_back(i);
  p.ids.push_back(kDrumBank * 128);
  return p;
}

bool ReadSoundFontPresets(const std::string& path, SoundFontPresets* out) {
  std::FILE* f = OpenRegularFileStream(path);
  if (!f) return false;
  // RIFF "sfbk" holding LIST chunks; the presets are the "phdr" chunk of
  // LIST "pdta", 38 bytes a preset with the bank and program at 20 and 22.
  auto readAt = [f](uint64_t at, void* buf, size_t n) {
    return ::fseeko(f, static_cast<off_t>(at), SEEK_SET) == 0 && std::fread(buf, 1, n, f) == n;
  };
  bool found = false;
  uint8_t head[12];
  if (readAt(0, head, 12) && std::memcmp(head, "RIFF", 4) == 0 &&
      std::memcmp(head + 8, "sfbk", 4) == 0) {
    const uint64_t end = 8 + uint64_t{Le32(head + 4)};
    uint64_t at = 12;
    for (int chunks = 0; chunks < 64 && !found && at + 12 <= end; ++chunks) {
      uint8_t list[12];
      if (!readAt(at, list, 12)) break;
      const uint64_t listEnd = at + 8 + Le32(list + 4);
      if (std::memcmp(list, "LIST", 4) == 0 && std::memcmp(list + 8, "pdta", 4) == 0) {
        uint64_t sub = at + 12;
        for (int subs = 0; subs < 64 && sub + 8 <= listEnd; ++subs) {
          uint8_t h[8];
          if (!readAt(sub, h, 8)) break;
          const uint32_t length = Le32(h + 4);
          if (std::memcmp(h, "phdr", 4) == 0) {
            if (length > (uint32_t{1} << 20) || length % 38 != 0) break;
            std::vector<uint8_t> body(length);
            if (!readAt(sub + 8, body.data(), length)) break;
            // The last record only ends the list.
            for (size_t r = 0; r + 38 < length; r += 38)
              out->ids.push_back(uint32_t{Le16(&body[r + 22])} * 128 + (Le16(&body[r + 20]) & 127));
            found = true;
            break;
          }
          sub += 8 + uint64_t{length} + (length & 1);
        }
      }
      at = listEnd + ((listEnd - at) & 1);
    }
  }
  std::fclose(f);
  std::sort(out->ids.begin(), out->ids.end());
  out->ids.erase(std::unique(out->ids.begin(), out->ids.end()), out->ids.end());
  return found;
}

MidiCheck CheckMidiFile(const uint8_t* data, size_t size, const SoundFontPresets* presets) {
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
  ChannelUse channels;
  size_t pos = 14;
  while (check.tracks < trackCount) {
    if (size - pos < 8) return Refuse(check, "missing tracks");
    const uint8_t* chunk = data + pos;
    // The synthesiser does not find a track after a chunk of another kind.
    if (std::memcmp(chunk, "MTrk", 4) != 0) return Refuse(check, "a chunk among the tracks");
    const uint32_t length = Be32(chunk + 4);
    if (length > size - pos - 8) return Refuse(check, "chunk past the end of the file");
    TrackReader track(chunk + 8, length, &check, &events, &tempos, &channels);
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
  const bool loops = check.seconds >= kMinMidiLoopSeconds;
  // A loop replays its events every pass however short it is; a piece
  // played once may hold a second's worth.
  if (check.events > kMaxEventsPerSecond * (loops ? check.seconds : 1.0))
    return Refuse(check, "too many events for its length");
  static const SoundFontPresets kGeneralMidi = SoundFontPresets::GeneralMidi();
  check.unknownPrograms = UnknownPrograms(channels, presets ? *presets : kGeneralMidi);
  check.rejectedSysex = channels.rejectedSysex;
  const double reportsAllowed =
      loops ? kMaxReportsPerMinute * check.seconds / 60.0 : kMaxReportsOnce;
  if (check.unknownPrograms + check.rejectedSysex > reportsAllowed)
    return Refuse(check, check.rejectedSysex > 0 && check.unknownPrograms == 0
                             ? "too many system exclusive messages the synthesiser rejects"
                             : "too many program changes to presets the sound font lacks");
  check.playable = true;
  check.reason = "";
  return check;
}

}  // namespace port
