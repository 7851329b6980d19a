#include "app/FrameTimer.h"

#include <cmath>

#include "port/window.h"

namespace {

class PlatformClock final : public FrameTimer::Clock {
 public:
  bool QueryFrequency(int64_t* frequency) override {
    uint64_t f = port::PerformanceFrequency();
    *frequency = static_cast<int64_t>(f);
    return f != 0;
  }
  int64_t QueryCounter() override { return static_cast<int64_t>(port::PerformanceCounter()); }
  uint32_t TimeMs() override { return port::TickCountMs(); }
  void Sleep(double ms) override { port::SleepPrecise(ms); }
};

PlatformClock g_platformClock;

// Whole seconds toward zero, kept inside 32 bits.
int32_t TruncSeconds(double seconds) {
  if (!(seconds > -2147483648.0)) return seconds != seconds ? 0 : INT32_MIN;
  if (!(seconds < 2147483648.0)) return INT32_MAX;
  return static_cast<int32_t>(seconds);
}

}  // namespace

void FrameTimer::SetClock(Clock* clock) { clock_ = clock; }

int64_t FrameTimer::Read() {
  Clock* c = clock_ ? clock_ : &g_platformClock;
  // The millisecond timer is 32 bits, widened with zeros.
  return useHighResolution ? c->QueryCounter() : static_cast<int64_t>(c->TimeMs());
}

void FrameTimer::Init() {
  Clock* c = clock_ ? clock_ : &g_platformClock;
  int64_t f = 0;
  if (c->QueryFrequency(&f)) {
    frequency = f;
    ticksPerFrame = static_cast<int32_t>(static_cast<uint32_t>(f)) / 60;
    useHighResolution = 1;
    next = c->QueryCounter();
    last = next;
    secondsPerTick = 1.0 / static_cast<double>(f);
  } else {
    frequency = f;
    useHighResolution = 0;
    next = static_cast<int64_t>(c->TimeMs());
    last = next;
    secondsPerTick = 0.001;
  }
}

void FrameTimer::SetRate(int32_t framesPerSecond) {
  if (framesPerSecond <= 0) return;  // a zero rate would divide by zero
  if (useHighResolution) {
    ticksPerFrame = static_cast<int32_t>(frequency / framesPerSecond);
    next = Read();
    secondsPerTick = 1.0 / static_cast<double>(frequency);
  } else {
    ticksPerFrame = 1000 / framesPerSecond;
    next = Read();
  }
}

void FrameTimer::Sample() { now = Read(); }

bool FrameTimer::IsFrameDue() const { return now > next; }

void FrameTimer::Advance() {
  int64_t delta = now - last;
  last = now;
  elapsedSeconds = static_cast<double>(delta) * secondsPerTick;
  // The schedule restarts from this sample: a late frame is never caught up.
  next = now + ticksPerFrame - TruncSeconds(elapsedSeconds);
}

double FrameTimer::MsUntilDue() const {
  if (now > next) return 0.0;
  return static_cast<double>(next - now) * secondsPerTick * 1000.0;
}

void FrameTimer::Wait() {
  if (IsFrameDue()) return;
  const double ms = MsUntilDue();
  Sleep(ms > kWakeEarlyMs + kNapMs ? ms - kWakeEarlyMs : kNapMs);
}

void FrameTimer::Sleep(double ms) { (clock_ ? clock_ : &g_platformClock)->Sleep(ms); }
