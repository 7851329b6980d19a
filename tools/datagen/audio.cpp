// Sound effects synthesised by purpose (shots, hits, jumps, voices, menu
// clicks) and a short looping tune of its own for every music file.
#include <algorithm>
#include <cmath>

#include "datagen/generate.h"
#include "datagen/manifest.h"

namespace datagen {

namespace {

constexpr int kRate = 22050;
constexpr float kTau = 6.28318531f;

// The classic 15-bit generator, seeded per sound, for noise.
struct Lcg {
  uint32_t state;
  float Next() {
    state = state * 214013u + 2531011u;
    return static_cast<float>((state >> 16) & 0x7FFF) / 16383.5f - 1.0f;
  }
};

uint32_t Hash(const std::string& s) {
  uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return h;
}

std::vector<uint8_t> Wav(const std::vector<float>& samples) {
  std::vector<uint8_t> o;
  auto str = [&](const char* s) {
    for (int k = 0; k < 4; ++k) o.push_back(static_cast<uint8_t>(s[k]));
  };
  auto u32 = [&](uint32_t v) {
    for (int k = 0; k < 4; ++k) o.push_back(static_cast<uint8_t>(v >> (8 * k)));
  };
  auto u16 = [&](uint32_t v) {
    o.push_back(static_cast<uint8_t>(v));
    o.push_back(static_cast<uint8_t>(v >> 8));
  };
  uint32_t data = static_cast<uint32_t>(samples.size() * 2);
  str("RIFF");
  u32(36 + data);
  str("WAVE");
  str("fmt ");
  u32(16);
  u16(1);
  u16(1);
  u32(kRate);
  u32(kRate * 2);
  u16(2);
  u16(16);
  str("data");
  u32(data);
  for (float s : samples) {
    int v = static_cast<int>(std::lround(std::clamp(s, -1.0f, 1.0f) * 30000));
    u16(static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(v))));
  }
  return o;
}

enum class Kind {
  Shot,
  Blast,
  Click,
  Beep,
  Charge,
  Mechanical,
  Hiss,
  Growl,
  Whistle,
  Voice,
  Bell,
  Echo
};

Kind KindOf(const std::string& name) {
  auto has = [&](const char* w) { return name.find(w) != std::string::npos; };
  if (has("voice")) return Kind::Voice;
  if (has("shoot") || has("gun")) return Kind::Shot;
  if (has("crash") || has("bom")) return Kind::Blast;
  if (has("power")) return Kind::Charge;
  if (has("mecha")) return Kind::Mechanical;
  if (has("flame") || has("noise") || has("sha")) return Kind::Hiss;
  if (has("unari")) return Kind::Growl;
  if (has("pyoro") || has("puu")) return Kind::Whistle;
  if (has("bell")) return Kind::Bell;
  if (has("eco")) return Kind::Echo;
  if (has("kachi") || has("push") || has("close")) return Kind::Click;
  return Kind::Beep;  // pi, beep
}

std::vector<float> Synth(const std::string& path) {
  uint32_t h = Hash(path);
  Lcg rng{h};
  float vary = static_cast<float>(h % 1000) / 1000.0f;  // 0..1, per file
  Kind kind = KindOf(path);
  float seconds = 0.25f;
  switch (kind) {
    case Kind::Blast:
    case Kind::Charge:
    case Kind::Voice:
    case Kind::Growl:
      seconds = 0.55f;
      break;
    case Kind::Bell:
    case Kind::Echo:
      seconds = 0.7f;
      break;
    case Kind::Click:
    case Kind::Beep:
      seconds = 0.12f;
      break;
    default:
      break;
  }
  size_t n = static_cast<size_t>(seconds * kRate);
  std::vector<float> out(n);
  float phase = 0, lp = 0, f1 = 0, f1v = 0, f2 = 0, f2v = 0;
  for (size_t i = 0; i < n; ++i) {
    float t = static_cast<float>(i) / kRate, u = t / seconds;
    float env = std::pow(1 - u, 2.0f) * std::min(1.0f, t * 400);
    float s = 0;
    switch (kind) {
      case Kind::Shot: {  // a falling zap over a noise crack
        float f = (900 + 600 * vary) * std::pow(0.15f, u);
        phase += f / kRate;
        s = 0.6f * (std::fmod(phase, 1.0f) < 0.5f ? 1.0f : -1.0f) + 0.4f * rng.Next() * (1 - u);
        break;
      }
      case Kind::Blast: {  // low rumble of filtered noise
        lp += (rng.Next() - lp) * (0.08f + 0.1f * vary) * (1 - u * 0.8f);
        s = 2.5f * lp + 0.3f * std::sin(kTau * 55 * t) * (1 - u);
        env = std::pow(1 - u, 1.5f) * std::min(1.0f, t * 200);
        break;
      }
      case Kind::Click:
        s = (t < 0.01f ? rng.Next() : 0.0f) +
            std::sin(kTau * (1800 + 800 * vary) * t) * std::exp(-t * 60);
        break;
      case Kind::Beep:
        s = std::sin(kTau * (700 + 900 * vary) * t) > 0 ? 0.5f : -0.5f;
        env = std::min(1.0f, (1 - u) * 8);
        break;
      case Kind::Charge: {  // rising sweep with tremolo
        float f = (200 + 300 * vary) * std::pow(4.0f, u);
        phase += f / kRate;
        s = std::sin(kTau * phase) * (0.7f + 0.3f * std::sin(kTau * 18 * t));
        env = std::min(1.0f, u * 6) * std::min(1.0f, (1 - u) * 10);
        break;
      }
      case Kind::Mechanical: {  // ratchet clicks
        float tick = std::fmod(t * (30 + 20 * vary), 1.0f);
        s = (tick < 0.15f ? rng.Next() : 0.0f) + 0.3f * std::sin(kTau * 220 * t) * (tick < 0.3f);
        break;
      }
      case Kind::Hiss:
        lp += (rng.Next() - lp) * 0.5f;
        s = rng.Next() - lp;
        env = std::min(1.0f, u * 10) * (1 - u);
        break;
      case Kind::Growl: {
        float f = 70 + 20 * vary + 10 * std::sin(kTau * 7 * t);
        phase += f / kRate;
        s = 0.8f * (2 * std::fmod(phase, 1.0f) - 1) + 0.2f * rng.Next();
        env = std::min(1.0f, u * 5) * std::min(1.0f, (1 - u) * 4);
        break;
      }
      case Kind::Whistle: {  // a gliding slide whistle
        float f = (500 + 400 * vary) * (1 + 0.8f * std::sin(kTau * u * (1 + vary)));
        phase += f / kRate;
        s = std::sin(kTau * phase);
        env = std::min(1.0f, u * 20) * std::min(1.0f, (1 - u) * 5);
        break;
      }
      case Kind::Bell: {
        float f = 880 + 440 * vary;
        s = std::sin(kTau * f * t) + 0.5f * std::sin(kTau * f * 2.76f * t) * std::exp(-t * 6);
        env = std::exp(-t * 5) * std::min(1.0f, t * 400);
        break;
      }
      case Kind::Echo: {
        float f = 600 + 300 * vary;
        for (int k = 0; k < 4; ++k) {
          float tk = t - 0.15f * static_cast<float>(k);
          if (tk > 0)
            s += std::pow(0.5f, static_cast<float>(k)) * std::sin(kTau * f * tk) *
                 std::exp(-tk * 25);
        }
        env = 1;
        break;
      }
      case Kind::Voice: {  // a sung vowel: buzz through two formants
        float pitch = (180 + 140 * vary) * (1 + 0.25f * std::sin(kTau * u * (0.5f + vary))) *
                      (1 + 0.02f * std::sin(kTau * 6 * t));
        phase += pitch / kRate;
        float buzz = 2 * std::fmod(phase, 1.0f) - 1;
        static const float vowels[5][2] = {
            {800, 1200}, {300, 2300}, {350, 1400}, {450, 1900}, {500, 850}};
        const float* v = vowels[(h >> 8) % 5];
        const float* w = vowels[(h >> 12) % 5];
        float fa = v[0] + (w[0] - v[0]) * u, fb = v[1] + (w[1] - v[1]) * u;
        // Two resonators (state-variable form).
        float qa = 2 * std::sin(3.14159265f * fa / kRate),
              qb = 2 * std::sin(3.14159265f * fb / kRate);
        f1 += qa * f1v;
        f1v += qa * (buzz - f1 - 0.15f * f1v);
        f2 += qb * f2v;
        f2v += qb * (buzz - f2 - 0.15f * f2v);
        s = 0.6f * f1 + 0.4f * f2;
        env = std::min(1.0f, u * 12) * std::min(1.0f, (1 - u) * 5);
        break;
      }
    }
    out[i] = 0.8f * env * s;
  }
  float peak = 0;
  for (float s : out) peak = std::max(peak, std::fabs(s));
  if (peak > 0)
    for (float& s : out) s *= 0.85f / peak;
  return out;
}

// Standard MIDI File pieces.
void Var(std::vector<uint8_t>& o, uint32_t v) {
  uint8_t buf[5];
  int n = 0;
  buf[n++] = v & 0x7F;
  while (v >>= 7) buf[n++] = static_cast<uint8_t>(0x80 | (v & 0x7F));
  while (n) o.push_back(buf[--n]);
}

struct Event {
  uint32_t tick;
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> Track(std::vector<Event> ev) {
  std::stable_sort(ev.begin(), ev.end(),
                   [](const Event& a, const Event& b) { return a.tick < b.tick; });
  std::vector<uint8_t> body;
  uint32_t last = 0;
  for (const Event& e : ev) {
    Var(body, e.tick - last);
    last = e.tick;
    body.insert(body.end(), e.bytes.begin(), e.bytes.end());
  }
  Var(body, 0);
  body.insert(body.end(), {0xFF, 0x2F, 0x00});
  std::vector<uint8_t> o = {'M', 'T', 'r', 'k'};
  uint32_t len = static_cast<uint32_t>(body.size());
  for (int k = 3; k >= 0; --k) o.push_back(static_cast<uint8_t>(len >> (8 * k)));
  o.insert(o.end(), body.begin(), body.end());
  return o;
}

struct Tune {
  const char* path;
  int bpm, root, program, bassProgram;
  bool minor;
};

std::vector<uint8_t> Midi(const Tune& tune) {
  const uint32_t q = 480;  // ticks per quarter note
  Lcg rng{Hash(tune.path)};
  auto pick = [&](int n) {
    return static_cast<int>((rng.Next() + 1) * 0.5f * static_cast<float>(n) * 0.999f);
  };
  static const int major[7] = {0, 2, 4, 5, 7, 9, 11}, minor[7] = {0, 2, 3, 5, 7, 8, 10};
  const int* scale = tune.minor ? minor : major;
  static const int progression[4] = {0, 5, 3, 4};  // I vi IV V
  std::vector<Event> meta, melody, bass, drums;
  uint32_t usPerQuarter = 60000000u / static_cast<uint32_t>(tune.bpm);
  meta.push_back({0,
                  {0xFF, 0x51, 0x03, static_cast<uint8_t>(usPerQuarter >> 16),
                   static_cast<uint8_t>(usPerQuarter >> 8), static_cast<uint8_t>(usPerQuarter)}});
  meta.push_back({0, {0xFF, 0x58, 0x04, 4, 2, 24, 8}});
  melody.push_back({0, {0xC0, static_cast<uint8_t>(tune.program)}});
  bass.push_back({0, {0xC1, static_cast<uint8_t>(tune.bassProgram)}});
  auto note = [](std::vector<Event>& ev, int ch, uint32_t at, uint32_t len, int key, int vel) {
    ev.push_back(
        {at,
         {static_cast<uint8_t>(0x90 | ch), static_cast<uint8_t>(key), static_cast<uint8_t>(vel)}});
    ev.push_back({at + len - 10, {static_cast<uint8_t>(0x80 | ch), static_cast<uint8_t>(key), 0}});
  };
  int degree = 0;
  for (int bar = 0; bar < 8; ++bar) {
    int chord = progression[bar % 4];
    uint32_t start = static_cast<uint32_t>(bar) * 4 * q;
    for (int beat = 0; beat < 4; ++beat) {
      int d = chord + (beat % 2 ? 4 : 0);
      note(bass, 1, start + static_cast<uint32_t>(beat) * q, q,
           tune.root - 24 + scale[d % 7] + 12 * (d / 7), 90);
      note(drums, 9, start + static_cast<uint32_t>(beat) * q, q / 2, beat % 2 ? 38 : 36, 100);
      note(drums, 9, start + static_cast<uint32_t>(beat) * q + q / 2, q / 2, 42, 70);
    }
    uint32_t t = start;
    while (t < start + 4 * q) {
      uint32_t len = (pick(3) == 0 ? q : q / 2);
      if (bar % 4 == 3 && t >= start + 2 * q)
        len = start + 4 * q - t;  // phrase ends on a long note
      degree = std::clamp(degree + pick(5) - 2, -2, 9);
      if (t == start) degree = chord + 2 * pick(2);
      int key = tune.root + scale[(degree + 14) % 7] + 12 * ((degree + 14) / 7 - 2);
      note(melody, 0, t, len, key, 100);
      t += len;
    }
  }
  std::vector<uint8_t> o = {'M',
                            'T',
                            'h',
                            'd',
                            0,
                            0,
                            0,
                            6,
                            0,
                            1,
                            0,
                            4,
                            static_cast<uint8_t>(q >> 8),
                            static_cast<uint8_t>(q)};
  for (auto* tr : {&meta, &melody, &bass, &drums}) {
    std::vector<uint8_t> b = Track(*tr);
    o.insert(o.end(), b.begin(), b.end());
  }
  return o;
}

}  // namespace

void GenerateSounds(Output& out) {
  for (const ManifestEntry& e : Manifest())
    if (e.kind == DataKind::Sound) out.Write(e.path, Wav(Synth(e.path)));
}

void GenerateMusic(Output& out) {
  const Tune tunes[] = {
      {"sound/bgm/nyu-dou_gm.mid", 100, 62, 11, 33, false},   // introduction: vibraphone
      {"sound/bgm/nangoku_gm.mid", 132, 67, 114, 33, false},  // stage 1: steel drums
      {"sound/bgm/bsyt_gm.mid", 118, 64, 81, 38, true},       // stage 2: synth lead
      {"sound/bgm/y-maf_gm.mid", 140, 57, 30, 34, true},      // stage 3: distortion guitar
      {"sound/bgm/bsj_gm.mid", 156, 52, 61, 38, true},        // boss: brass
      {"sound/bgm/rari_gm.mid", 120, 72, 9, 32, false},       // clear: glockenspiel
      {"sound/bgm/mjdm_gm.mid", 150, 69, 80, 38, false},      // sokai: square lead
      {"sound/bgm/fb_gm.mid", 128, 60, 0, 33, false},         // battle menus: piano
  };
  for (const Tune& t : tunes) out.Write(t.path, Midi(t));
}

}  // namespace datagen
