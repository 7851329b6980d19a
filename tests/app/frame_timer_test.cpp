#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/FrameTimer.h"

namespace {

// A clock the test moves by hand.
struct ManualClock : FrameTimer::Clock {
  bool hasCounter = true;
  int64_t frequency = 1'000'000'000;
  int64_t counter = 0;
  uint32_t ms = 0;
  bool QueryFrequency(int64_t* f) override {
    *f = hasCounter ? frequency : 0;
    return hasCounter;
  }
  int64_t QueryCounter() override { return counter; }
  uint32_t TimeMs() override { return ms; }
  // Time passes while sleeping, by the request plus the system's lateness.
  double overshootMs = 0;
  int sleeps = 0;
  void Sleep(double requested) override {
    ++sleeps;
    const double slept = requested + overshootMs;
    counter += static_cast<int64_t>(slept * static_cast<double>(frequency) / 1000.0);
    sleepRemainderMs += slept;
    ms += static_cast<uint32_t>(sleepRemainderMs);
    sleepRemainderMs -= static_cast<uint32_t>(sleepRemainderMs);
  }
  double sleepRemainderMs = 0;
};

struct FrameTimerTest : ::testing::Test {
  ManualClock clock;
  FrameTimer timer;
  void SetUp() override { timer.SetClock(&clock); }
  void Start() {
    timer.Init();
    timer.SetRate(60);
  }
  bool SampleDue() {
    timer.Sample();
    return timer.IsFrameDue();
  }
};

TEST_F(FrameTimerTest, HighResolutionFrameLength) {
  clock.frequency = 3'579'545;
  clock.counter = 1000;
  Start();
  EXPECT_EQ(timer.useHighResolution, 1);
  EXPECT_EQ(timer.ticksPerFrame, 59'659);
  EXPECT_EQ(timer.next, 1000);
  EXPECT_DOUBLE_EQ(timer.secondsPerTick, 1.0 / 3'579'545);
}

TEST_F(FrameTimerTest, DueOnlyStrictlyAfterTheScheduledTick) {
  clock.counter = 500;
  Start();
  // Right after SetRate nothing is due until the counter moves past its sample.
  EXPECT_FALSE(SampleDue());
  clock.counter = 501;
  ASSERT_TRUE(SampleDue());
  timer.Advance();
  EXPECT_EQ(timer.next, 501 + 16'666'666);
  clock.counter = 501 + 16'666'666;
  EXPECT_FALSE(SampleDue());  // equal is not due
  clock.counter += 1;
  EXPECT_TRUE(SampleDue());
}

TEST_F(FrameTimerTest, NoCatchUpAfterLongStall) {
  Start();
  clock.counter = 1;
  ASSERT_TRUE(SampleDue());
  timer.Advance();
  // A frame that takes 2.5 seconds.
  clock.counter = 1 + 2'500'000'000LL;
  ASSERT_TRUE(SampleDue());
  timer.Advance();
  EXPECT_DOUBLE_EQ(timer.elapsedSeconds, 2.5);
  // Scheduled from this sample, less the whole seconds counted as ticks.
  EXPECT_EQ(timer.next, clock.counter + 16'666'666 - 2);
  // The following passes find nothing due: no backlog of frames.
  clock.counter += 1000;
  EXPECT_FALSE(SampleDue());
  clock.counter += 16'666'666 - 1000 - 2;
  EXPECT_FALSE(SampleDue());
  clock.counter += 1;
  EXPECT_TRUE(SampleDue());
}

TEST_F(FrameTimerTest, MillisecondFallbackRunsEvery17Ms) {
  clock.hasCounter = false;
  clock.ms = 100;
  Start();
  EXPECT_EQ(timer.useHighResolution, 0);
  EXPECT_EQ(timer.ticksPerFrame, 16);
  EXPECT_DOUBLE_EQ(timer.secondsPerTick, 0.001);
  EXPECT_EQ(timer.next, 100);

  // Step the clock 1 ms at a time and record when frames start.
  std::vector<uint32_t> starts;
  for (int i = 0; i < 100; ++i) {
    clock.ms += 1;
    if (SampleDue()) {
      timer.Advance();
      starts.push_back(clock.ms);
    }
  }
  ASSERT_GE(starts.size(), 4u);
  EXPECT_EQ(starts[0], 101u);
  for (size_t i = 1; i < starts.size(); ++i) EXPECT_EQ(starts[i] - starts[i - 1], 17u);
}

TEST_F(FrameTimerTest, MillisecondSamplesAreWidenedWithZeros) {
  clock.hasCounter = false;
  clock.ms = 0xFFFFFFF0u;
  Start();
  timer.Sample();
  EXPECT_EQ(timer.now, int64_t{0xFFFFFFF0});
}

TEST_F(FrameTimerTest, SetRateKeepsLastAndRestartsSchedule) {
  clock.counter = 10;
  timer.Init();
  clock.counter = 400;
  timer.SetRate(30);
  EXPECT_EQ(timer.last, 10);
  EXPECT_EQ(timer.next, 400);
  EXPECT_EQ(timer.ticksPerFrame, 33'333'333);
  timer.SetRate(0);  // ignored rather than dividing by zero
  EXPECT_EQ(timer.ticksPerFrame, 33'333'333);
}

// The main loop's idle passes: sample, run a due frame, else wait. Frames
// start strictly past their tick and no more than a nap and the sleep's
// lateness after it, a frame waits in a handful of sleeps (it never spins on
// the clock), and a late sleep is never caught up.
TEST_F(FrameTimerTest, WaitingSleepsToTheTickWithoutSpinning) {
  struct Case {
    bool highResolution;
    double overshootMs;
  };
  for (const Case& c : {Case{true, 0.0}, Case{true, 0.06}, Case{true, 0.5}, Case{true, 3.0},
                        Case{false, 0.0}, Case{false, 0.06}}) {
    SCOPED_TRACE(testing::Message() << c.highResolution << " " << c.overshootMs);
    clock = ManualClock{};
    clock.hasCounter = c.highResolution;
    clock.overshootMs = c.overshootMs;
    Start();
    int frames = 0, passes = 0, maxPassesPerFrame = 0, passesThisFrame = 0;
    int64_t previousStart = -1;
    while (frames < 120 && passes < 100'000) {
      ++passes;
      ++passesThisFrame;
      const int64_t scheduled = timer.next;
      timer.Sample();
      if (!timer.IsFrameDue()) {
        timer.Wait();
        continue;
      }
      ASSERT_GT(timer.now, scheduled);
      const double lateMs = static_cast<double>(timer.now - scheduled) * timer.secondsPerTick * 1e3;
      EXPECT_LE(lateMs, FrameTimer::kNapMs + c.overshootMs + (c.highResolution ? 0.001 : 1.0));
      if (previousStart >= 0) {
        // Each frame is a whole frame after the last one started, plus lateness: no catch-up.
        const double gapMs =
            static_cast<double>(timer.now - previousStart) * timer.secondsPerTick * 1e3;
        EXPECT_GE(gapMs, c.highResolution ? 16.66 : 16.0);
      }
      previousStart = timer.now;
      timer.Advance();
      ++frames;
      maxPassesPerFrame = std::max(maxPassesPerFrame, passesThisFrame);
      passesThisFrame = 0;
    }
    EXPECT_EQ(frames, 120);
    EXPECT_LE(maxPassesPerFrame, c.highResolution ? 12 : 25);
  }
}

TEST_F(FrameTimerTest, MsUntilDue) {
  Start();
  timer.Sample();
  EXPECT_NEAR(timer.MsUntilDue(), 0.0, 1e-9);
  clock.counter = 1;
  timer.Sample();
  timer.Advance();
  EXPECT_NEAR(timer.MsUntilDue(), 16.666666, 1e-3);
  clock.counter += 16'000'000;
  timer.Sample();
  EXPECT_NEAR(timer.MsUntilDue(), 0.666666, 1e-3);
}

}  // namespace
