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
  };

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
