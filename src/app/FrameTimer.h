#pragma once
// Paces the main loop at a fixed number of frames a second. The clock is the
// high-resolution counter when there is one, else the millisecond timer.
#include <cstdint>

class FrameTimer {
 public:
  // Where the timer reads time; the default reads the platform clock.
  struct Clock {
    virtual ~Clock() = default;
    // Ticks a second of the high-resolution counter; false when there is none.
    virtual bool QueryFrequency(int64_t* frequency) = 0;
    virtual int64_t QueryCounter() = 0;
    virtual uint32_t TimeMs() = 0;
    // Sleeps about ms milliseconds (never much less).
    virtual void Sleep(double ms) = 0;
  };

  // Sleeping ends this long before the due tick; the rest passes in naps of
  // kNapMs, so a frame starts within about a nap of its tick without the
  // loop spinning on the clock.
  static constexpr double kWakeEarlyMs = 0.3;
  static constexpr double kNapMs = 0.05;

  FrameTimer() = default;

  void Init();
  void SetRate(int32_t framesPerSecond);
  void Sample();
  bool IsFrameDue() const;
  void Advance();

  // Null restores the platform clock.
  void SetClock(Clock* clock);
  // Milliseconds left until the next frame can fall due (0 when it is due).
  double MsUntilDue() const;
  // Sleeps toward the next frame from the last sample: to kWakeEarlyMs short
  // of it, or one nap when closer. Nothing when a frame is due. The caller
  // samples again afterwards; whether a frame is due is decided only there.
  void Wait();
  // Sleeps about ms milliseconds on the timer's clock, whatever the schedule.
  void Sleep(double ms);

  int64_t now = 0;
  int32_t ticksPerFrame = 16;
  int64_t frequency = 0;
  int32_t useHighResolution = 0;
  int64_t next = 0;
  int64_t last = 0;
  double elapsedSeconds = 0.0;
  double secondsPerTick = 0.0;
  uint8_t quit = 0;  // the program's quit flag, g_quit

 private:
  int64_t Read();
  Clock* clock_ = nullptr;
};

extern FrameTimer g_frameTimer;
// Setting it ends the main loop.
extern uint8_t& g_quit;
